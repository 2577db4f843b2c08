#pragma once

// The Windows locale identifier that stands for the user's message language, taken from the
// POSIX locale variables (LC_ALL, then LC_MESSAGES, then LANG): zh_CN gives 2052 (simplified
// Chinese), zh_TW and zh_HK give 1028 (traditional Chinese), anything else 1033 (English).

#include <QString>
#include <cstdint>

constexpr uint32_t kLocaleSimplifiedChinese = 2052;
constexpr uint32_t kLocaleTraditionalChinese = 1028;
constexpr uint32_t kLocaleEnglish = 1033;

uint32_t ThreadLocaleId();
// The same rule for one locale name such as "zh_TW.UTF-8".
uint32_t LocaleIdOf(const char* localeName);

// One text in each of the languages a locale identifier picks from.
struct LocalizedText {
    const char* english;
    const char* simplified;
    const char* traditional;
};

// The text for lcId: simplified or traditional Chinese, English for any other identifier.
QString Localized(const LocalizedText& text, uint32_t lcId);
