#include "ThreadLocale.h"

#include <gtest/gtest.h>
#include <stdlib.h>

namespace {

TEST(ThreadLocaleTest, ChineseTerritoriesPickTheirScript) {
    const struct {
        const char* name;
        uint32_t id;
    } cases[] = {
        {"zh_CN.UTF-8", 2052}, {"zh_CN", 2052},  {"zh_CN.GB18030", 2052},
        {"zh_TW.UTF-8", 1028}, {"zh_HK", 1028},  {"zh_HK@big5", 1028},
        {"zh_SG.UTF-8", 1033}, {"zh_CNX", 1033}, {"en_US.UTF-8", 1033},
        {"C", 1033},           {"", 1033},       {nullptr, 1033},
    };
    for (const auto& c : cases) EXPECT_EQ(LocaleIdOf(c.name), c.id) << (c.name ? c.name : "null");
}

TEST(ThreadLocaleTest, FirstSetVariableDecides) {
    const char* variables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    for (const char* variable : variables) unsetenv(variable);
    EXPECT_EQ(ThreadLocaleId(), 1033u);
    setenv("LANG", "zh_TW.UTF-8", 1);
    EXPECT_EQ(ThreadLocaleId(), 1028u);
    setenv("LC_MESSAGES", "zh_CN.UTF-8", 1);
    EXPECT_EQ(ThreadLocaleId(), 2052u);
    setenv("LC_ALL", "", 1);
    EXPECT_EQ(ThreadLocaleId(), 2052u);
    setenv("LC_ALL", "en_GB.UTF-8", 1);
    EXPECT_EQ(ThreadLocaleId(), 1033u);
    for (const char* variable : variables) unsetenv(variable);
}

}  // namespace
