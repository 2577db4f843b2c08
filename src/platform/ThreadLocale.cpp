#include "ThreadLocale.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

uint32_t LocaleIdOf(const char* localeName) {
    if (localeName == nullptr || std::strncmp(localeName, "zh_", 3) != 0)
        return kLocaleEnglish;
    const char* territory = localeName + 3;
    const auto is = [territory](const char* code) {
        return std::strncmp(territory, code, 2) == 0 && std::strchr(".@", territory[2]) != nullptr;
    };
    if (is("CN"))
        return kLocaleSimplifiedChinese;
    if (is("TW") || is("HK"))
        return kLocaleTraditionalChinese;
    return kLocaleEnglish;
}

uint32_t ThreadLocaleId() {
    // The first variable that is set decides, as for every POSIX message catalogue.
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0')
            return LocaleIdOf(value);
    }
    return kLocaleEnglish;
}

QString Localized(const LocalizedText& text, uint32_t lcId) {
    switch (lcId) {
        case kLocaleSimplifiedChinese:
            return QString::fromUtf8(text.simplified);
        case kLocaleTraditionalChinese:
            return QString::fromUtf8(text.traditional);
        default:
            return QString::fromUtf8(text.english);
    }
}
