#include "WindowSettings.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "IniFile.h"

using namespace scanwindow;

namespace {

TEST(WindowSettings, ModeAndViewTypeCombinations) {
    const struct {
        const char* text;  // nullptr: no INI file
        int viewType;
        bool debugMode;
        int written;
    } cases[] = {
        {nullptr, 161, false, 161},
        {"[Main]\r\nmode=1\r\nviewtype=163\r\n", 163, true, 163},
        {"[Main]\r\nmode=0\r\nviewtype=163\r\n", 161, false, 161},
        {"[main]\r\nMODE=1\r\n", 162, true, 162},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath("VYK-10.ini");
        if (c.text) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.text);
        }
        IniFile ini(path);
        WindowSettings s = LoadSettings(ini, "design", 230400);
        EXPECT_EQ(s.viewType, c.viewType);
        EXPECT_EQ(s.debugMode, c.debugMode);
        EXPECT_EQ(s.HistoryButtonVisible(), c.debugMode);
        EXPECT_EQ(s.caption, "design");
        EXPECT_EQ(s.distanceLimit, 6000);
        EXPECT_EQ(s.baudRate, 230400);
        EXPECT_TRUE(SaveExitSettings(ini, s));
        IniFile reread(path);
        EXPECT_EQ(reread.ReadInteger("Main", "viewtype", 0), c.written);
        EXPECT_EQ(reread.ReadInteger("Main", "BandRate", 0), 230400);
        EXPECT_EQ(reread.ReadString("Main", "mode", ""), c.debugMode ? "1" : "0");
    }
}

TEST(WindowSettings, StoredValuesAreRead) {
    QTemporaryDir dir;
    IniFile ini(dir.filePath("VYK-10.ini"));
    EXPECT_TRUE(ini.WriteString("Main", "caption", QString::fromUtf8("车间一号")));
    EXPECT_TRUE(SaveDistanceLimit(ini, 3000));
    EXPECT_TRUE(ini.WriteInteger("Main", "BandRate", 921600));
    const WindowSettings s = LoadSettings(ini, "design", 230400);
    EXPECT_EQ(s.caption, QString::fromUtf8("车间一号"));
    EXPECT_EQ(s.distanceLimit, 3000);
    EXPECT_EQ(s.baudRate, 921600);
}

}  // namespace
