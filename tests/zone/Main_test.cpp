// The VYK-05 program itself, started from a copy in a temporary folder so that it keeps its INI
// file beside it: a cancelled port dialog and a closing signal both end it with exit code 0 and
// the settings and all twelve zones written.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <QFile>
#include <QTemporaryDir>
#include <thread>

#include "CatchesSignal.h"
#include "IniFile.h"
#include "SpawnedProgram.h"

namespace {

// A copy of VYK-05 in a folder of its own.
class ZoneProgram : public ::testing::Test {
protected:
    void SetUp() override {
        exe_ = dir_.filePath("VYK-05").toStdString();
        ASSERT_TRUE(QFile::copy(QStringLiteral(VYK_ZONE_TOOL_PATH), dir_.filePath("VYK-05")));
    }

    const std::string& Exe() const { return exe_; }

    // What the program leaves at exit: section Main with the zone tool's baud rate and view, and
    // every zone of the four groups.
    void ExpectSettingsAndTwelveZonesWritten() const {
        IniFile ini(dir_.filePath("VYK-05.ini"));
        EXPECT_EQ(ini.ReadString("Main", "BandRate", "-"), "115200");
        EXPECT_EQ(ini.ReadString("Main", "viewtype", "-"), "161");
        EXPECT_EQ(ini.ReadString("Protect", "IOLevel", "-"), "0");
        for (int zone = 0; zone < 12; ++zone) {
            const QString section = QStringLiteral("Poly%1").arg(zone);
            EXPECT_EQ(ini.ReadString(section, "count", "-"), "0") << zone;
            EXPECT_EQ(ini.ReadString(section, "IOTCount", "-"), "5") << zone;
        }
        EXPECT_EQ(ini.ReadString("Poly12", "count", "-"), "-") << "twelve zones, no more";
    }

private:
    QTemporaryDir dir_;
    std::string exe_;
};

TEST_F(ZoneProgram, SignalsWhileThePortDialogWaitsEndItWithExitCodeZero) {
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        SpawnedProgram program({Exe()});
        ASSERT_TRUE(program.Started());
        for (int waited = 0; !CatchesSignal(program.Pid(), number) && waited < 20000; waited += 50)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_EQ(program.WaitExit(0.5), -1) << "it waits in the port dialog";
        kill(program.Pid(), number);
        EXPECT_EQ(program.WaitExit(10), 0) << number;
        ExpectSettingsAndTwelveZonesWritten();
    }
}

// Under an X server of its own, the port dialog is cancelled with the Escape key as a user does.
TEST_F(ZoneProgram, ACancelledPortDialogEndsItWithExitCodeZero) {
    SpawnedProgram xvfb(
        {"/usr/bin/Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
    const std::string display = ":" + xvfb.ReadLine();
    ASSERT_NE(display, ":") << "Xvfb did not start";
    setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    SpawnedProgram program({Exe()});
    ASSERT_TRUE(program.Started());

    SpawnedProgram search({"/usr/bin/xdotool", "search", "--sync", "--name", "串口设置窗口"});
    std::string dialog = search.ReadAll(30);
    dialog = dialog.substr(0, dialog.find('\n'));
    ASSERT_FALSE(dialog.empty()) << "no port dialog";
    EXPECT_EQ(program.WaitExit(0.5), -1) << "it waits in the port dialog";
    SpawnedProgram escape({"/usr/bin/xdotool", "windowfocus", "--sync", dialog, "key", "Escape"});
    EXPECT_EQ(escape.WaitExit(10), 0);
    EXPECT_EQ(program.WaitExit(20), 0);
    ExpectSettingsAndTwelveZonesWritten();
}

}  // namespace
