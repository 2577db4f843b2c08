#include "Vyk10dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>

#include "IniFile.h"
#include "PortDialogAnswer.h"
#include "Process.h"
#include "PtyPair.h"
#include "ScriptedPrompt.h"
#include "SimLog.h"
#include "SimProcess.h"
#include "SimRecording.h"
#include "SystemMenu.h"
#include "Vykgraph.h"
#include "WidgetTestMain.h"
#include "WindowFixture.h"
#include "ZoneShapes.h"

using namespace zone;

namespace {

class ZoneWindow : public ::testing::Test {
protected:
    std::unique_ptr<TfrmVYK10> Make(const QByteArray& ini = {}) {
        ZoneToolOptions options;
        PrepareOptions(options, IniPath(), ini, prompt);
        options.openFile = [](const QString&) { return true; };
        return ShowWindow<TfrmVYK10>(options, {1110, 751});
    }
    QString IniPath() const { return dir.filePath("VYK-05.ini"); }
    QByteArray PortsSection() const { return "[Ports]\nCOM7=" + pty.SlavePath().toUtf8() + "\n"; }

    QTemporaryDir dir;
    ScriptedPrompt prompt;
    PtyPair pty;
};

TEST_F(ZoneWindow, CancelledStartWithoutIniShowsTheDefaultsAndWritesEveryZoneAtExit) {
    bool baudShownDisabled = false;
    int offeredBaud = 0;
    {
        auto w = Make();
        EXPECT_EQ(w->windowTitle(), QString::fromUtf8(kDesignCaption));
        EXPECT_EQ(w->Graph()->ViewType(), vykgraph::kViewCircle);
        EXPECT_EQ(w->Loop().distanceLimit, 6000);
        EXPECT_EQ(w->tmrComport->interval(), 30);
        EXPECT_EQ(w->Loop().redrawAbove, 1) << "a redraw after more than 1 new record";
        EXPECT_TRUE(w->Loop().ratesEverySecondTick);
        EXPECT_FALSE(w->pnlLog->isVisible());
        EXPECT_EQ(w->systemMenu->Item(2002), nullptr) << "no upgrade item";
        AnswerPortDialog("COM7", false, [&](TSetPortForm& dialog) {
            baudShownDisabled = dialog.ComboBox2->isVisible() && !dialog.ComboBox2->isEnabled() &&
                                dialog.Label1->isVisible();
            offeredBaud = dialog.BaudRate();
        });
        EXPECT_FALSE(w->FormShow());
        EXPECT_FALSE(w->PortOpen());
    }
    EXPECT_TRUE(baudShownDisabled);
    EXPECT_EQ(offeredBaud, 115200);
    IniFile ini(IniPath());
    EXPECT_EQ(ini.ReadString("Main", "BandRate", "-"), "115200");
    EXPECT_EQ(ini.ReadString("Main", "viewtype", "-"), "161");
    EXPECT_EQ(ini.ReadString("Main", "mode", "-"), "0");
    EXPECT_EQ(ini.ReadString("Main", "caption", "-"), QString::fromUtf8(kDesignCaption));
    EXPECT_EQ(ini.ReadString("Protect", "IOLevel", "-"), "0");
    for (int z = 0; z < kZoneCount; ++z) {
        const QString section = QStringLiteral("Poly%1").arg(z);
        EXPECT_EQ(ini.ReadString(section, "count", "-"), "0") << z;
        EXPECT_EQ(ini.ReadString(section, "IOTCount", "-"), "5") << z;
        EXPECT_EQ(ini.ReadString(section, "y4", "-"), "0") << z;
    }
}

TEST_F(ZoneWindow, SettingsThatCannotBeWrittenAreToldAndTheFileKept) {
    SmallTmpfs disk;
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Refusal();
    ZoneToolOptions options;
    PrepareOptions(options, disk.FilePath("VYK-05.ini"), "[Poly0]\ncount=3\n", prompt);
    ExpectUnsavedSettingsToldAndTheFileKept(disk, options.iniPath,
                                            ShowWindow<TfrmVYK10>(options, {1110, 751}), prompt);
}

TEST_F(ZoneWindow, EveryRecordOfAStreamReadInCutPieces) {
    auto w = Make(PortsSection());
    AnswerPortDialog("COM7", true);
    ASSERT_TRUE(w->FormShow());
    ExpectEveryRecordAcrossReadCuts(*w, pty);
}

TEST_F(ZoneWindow, OpenPortShowsTheFirstGroupAndTheLogPanelStaysOnceAsked) {
    auto w = Make(PortsSection() +
                  "[Poly1]\ncount=3\nIOTCount=9\nx0=10\ny0=20\nx1=30\ny1=40\n"
                  "x2=-50\ny2=60\n");
    AnswerPortDialog("COM7", true);
    ASSERT_TRUE(w->FormShow());
    EXPECT_TRUE(w->PortOpen());
    EXPECT_EQ(w->outputs[0].sensitivity->text(), "5");
    EXPECT_EQ(w->outputs[1].sensitivity->text(), "9");
    EXPECT_EQ(w->outputs[1].coordinate[4]->text(), "-50");
    EXPECT_EQ(w->outputs[1].coordinate[6]->text(), "");

    w->SystemCommand(kCmdShowLog);
    QApplication::processEvents();
    EXPECT_TRUE(w->pnlLog->isVisible());
    w->cbbRectIndex->setCurrentIndex(2);
    w->outputs[0].save->click();  // an empty save removes zone 6 with a transfer
    QApplication::processEvents();
    ASSERT_NE(w->processForm, nullptr);
    EXPECT_TRUE(w->processForm->isVisible());
    w->processForm->close();
    w->edt1->setText("#rs");
    w->btnSend->click();
    EXPECT_TRUE(w->pnlLog->isVisible());
    EXPECT_EQ(w->mmoLog->toPlainText(), "send:#RS");
}

TEST_F(ZoneWindow, RefusedSaveFocusesTheBoxAndKeepsTheZone) {
    auto w = Make(PortsSection());
    AnswerPortDialog("COM7", true);
    ASSERT_TRUE(w->FormShow());
    w->outputs[2].sensitivity->setText("256");
    w->outputs[2].save->click();
    EXPECT_EQ(w->outputs[2].sensitivity->text(), "1");
    EXPECT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(w->Tool().Table().zones[2].IOTCount, 5);
}

// The window's timer runs the queue's send step: a saved zone goes out after the motor stop.
TEST_F(ZoneWindow, TheTimerSendsTheSavedZone) {
    auto w = Make(PortsSection());
    AnswerPortDialog("COM7", true);
    ASSERT_TRUE(w->FormShow());
    w->outputs[0].save->click();  // empty boxes: zone 0 removed
    EXPECT_EQ(pty.Receive(7, 2000), QByteArray("#SF 0\r\n"));
    QByteArray line;
    Pump(10000, [&] { return (line += pty.Receive(5, 0)).size() >= 5; });
    EXPECT_TRUE(line.startsWith("#IOL ")) << "the first queued line: " << line.toStdString();
}

// An adapter unplugged mid-stream and plugged in again: a new pseudo-terminal under the link.
// The zone commands then go out on the new port.
TEST_F(ZoneWindow, AnUnpluggedAdapterWarnsOnceShowsTheClosedPortAndComesBackByItself) {
    Adapter adapter(dir.filePath("adapter"));
    auto w = Make("[Ports]\nCOM7=" + adapter.Link().toUtf8() + "\n");
    AnswerPortDialog("COM7", true);
    ASSERT_TRUE(w->FormShow());
    ExpectComesBackAfterUnplug(*w, adapter, prompt, "COM7:115200");
    w->btnStop->click();
    EXPECT_EQ(adapter.Far().Receive(7, 2000), QByteArray("#SF 0\r\n"));
    EXPECT_EQ(prompt.messages.size(), 1u);
}

TEST_F(ZoneWindow, TheForceOutputRatesAreTheScannersFastOnes) {
    auto w = Make();
    QStringList rates;
    for (int i = 0; i < w->cbbBand->count(); ++i) rates << w->cbbBand->itemText(i);
    EXPECT_EQ(rates, (QStringList{"230400", "460800", "921600"}));
    EXPECT_EQ(w->cbbBand->currentText(), "230400");
}

// A save while the adapter was away queued nothing, yet the zone was drawn and stored as saved.
TEST_F(ZoneWindow, ASaveWhileTheAdapterIsAwayGoesOutWhenItIsBack) {
    Adapter adapter(dir.filePath("adapter"));
    auto w = Make("[Ports]\nCOM7=" + adapter.Link().toUtf8() + "\n");
    AnswerPortDialog("COM7", true);
    ASSERT_TRUE(w->FormShow());
    adapter.Unplug();
    Pump(3000, [&] { return !w->PortOpen(); });
    ASSERT_FALSE(w->PortOpen());
    w->outputs[0].save->click();  // empty boxes: zone 0 removed
    ASSERT_NE(w->processForm, nullptr);
    EXPECT_TRUE(w->processForm->isVisible()) << "the progress window waits";
    EXPECT_EQ(w->Tool().Transfer().PendingCommands(), 3);
    adapter.Plug();
    QByteArray line;
    Pump(10000, [&] { return (line += adapter.Far().Receive(1 << 10, 0)).contains("\n"); });
    EXPECT_TRUE(line.startsWith("#IOL ")) << line.toStdString();
}

// A recording replayed under the zones instead of the live scan: the summary counts what
// vyk-zones check counts, a saved edit redraws and counts again without a word to a scanner, and
// leaving goes back to the port through its dialog.
TEST_F(ZoneWindow, ARecordingIsReplayedUnderTheZonesAndLeftForTheLiveScan) {
    ASSERT_EQ(RecordZoneScanner(VYK_RECORD_PATH, dir.filePath("run").toStdString()), "");
    const QString recording = dir.filePath("run.Zip");
    ZoneTable table;
    table.zones[ZoneIndex(0, 0)] = Polygon({-20, 100, 50, 100, 50, 210, -20, 210}, 5);  // the walk
    table.zones[ZoneIndex(0, 2)] = Polygon({-100, -280, 100, -280, 100, -320, -100, -320}, 5);
    {
        IniFile ini(IniPath());
        ASSERT_TRUE(static_cast<bool>(StoreZones(ini, table)));
        ASSERT_TRUE(ini.WriteString("Ports", "COM7", pty.SlavePath()));
    }
    SpawnedProgram check({VYK_ZONES_PATH, "check", "--json", "--group", "1",
                          IniPath().toStdString(), recording.toStdString()});
    const QJsonArray checked = QJsonDocument::fromJson(QByteArray::fromStdString(check.ReadAll(60)))
                                   .object()["zones"]
                                   .toArray();
    check.WaitExit(10);
    ASSERT_EQ(checked.size(), 2);

    auto w = Make();
    AnswerPortDialog("COM7", true);
    ASSERT_TRUE(w->FormShow());
    prompt.fileNames = {recording};
    w->SystemCommand(kCmdOpenRecording);
    ASSERT_NE(w->Replaying(), nullptr);
    EXPECT_FALSE(w->PortOpen()) << "the scanner is left alone";
    EXPECT_TRUE(w->sldTimeline->isVisible());
    EXPECT_TRUE(w->lblZoneSummary->isVisible());
    EXPECT_TRUE(w->systemMenu->Item(kCmdLeaveReplay)->isVisible());
    const auto counted = [&w] {
        return w->Summary()->Current().done && !w->lblZoneSummary->text().contains("统计中");
    };
    Pump(30000, [&] { return counted() && w->Replaying()->Revolution() >= 0; });
    ASSERT_TRUE(counted());
    QStringList lines;
    for (int i = 0; i < 2; ++i) {
        const QJsonObject zone = checked[i].toObject();
        lines << QStringLiteral("区域%1: %2/%3 圈触发")
                     .arg(zone["output"].toInt())
                     .arg(zone["tripped"].toInt())
                     .arg(zone["revolutions"].toInt());
    }
    EXPECT_EQ(w->lblZoneSummary->text(), lines.join('\n'));
    EXPECT_GT(checked[0].toObject()["tripped"].toInt(), 0);
    // The wall is in every revolution: the drawn one trips its zone whatever the recording says.
    EXPECT_GE(w->Graph()->ZoneHits(2), 5);
    EXPECT_TRUE(w->Graph()->OutputActive(2));

    // The walk zone moved out of the object's way and saved: drawn at once, counted again.
    const char* moved[] = {"-20", "250", "50", "250", "50", "270", "-20", "270", "", ""};
    for (int i = 0; i < ZoneBoxes::kCoordinates; ++i)
        w->outputs[0].coordinate[i]->setText(moved[i]);
    w->outputs[0].save->click();
    EXPECT_EQ(w->Graph()->Zone(0).y[0], 250);
    EXPECT_EQ(w->processForm, nullptr) << "no transfer to a scanner";
    EXPECT_EQ(w->Tool().Transfer().PendingCommands(), 0);
    EXPECT_TRUE(w->lblZoneSummary->text().contains("统计中")) << "started again";
    Pump(30000, counted);
    EXPECT_TRUE(w->lblZoneSummary->text().startsWith(
        QStringLiteral("区域1: 0/%1 圈触发").arg(checked[0].toObject()["revolutions"].toInt())))
        << w->lblZoneSummary->text().toStdString();

    // Leaving: the port dialog opens the scanner again and the live scan's controls return.
    AnswerPortDialog("COM7", true);
    w->SystemCommand(kCmdLeaveReplay);
    EXPECT_EQ(w->Replaying(), nullptr);
    EXPECT_EQ(w->Summary(), nullptr);
    EXPECT_TRUE(w->PortOpen());
    EXPECT_FALSE(w->sldTimeline->isVisible());
    EXPECT_FALSE(w->lblZoneSummary->isVisible());
    EXPECT_FALSE(w->systemMenu->Item(kCmdLeaveReplay)->isVisible());
    w->outputs[0].save->click();
    EXPECT_EQ(pty.Receive(7, 2000), QByteArray("#SF 0\r\n")) << "saves reach the scanner again";
}

// A file no recording can be made of is told, and the live scan goes on.
TEST_F(ZoneWindow, AFileThatIsNoRecordingIsToldAndTheLiveScanStays) {
    auto w = Make(PortsSection());
    AnswerPortDialog("COM7", true);
    ASSERT_TRUE(w->FormShow());
    prompt.fileNames = {dir.filePath("missing.Zip")};
    w->SystemCommand(kCmdOpenRecording);
    EXPECT_EQ(w->Replaying(), nullptr);
    EXPECT_TRUE(w->PortOpen());
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_TRUE(prompt.MessageTexts()[0].contains("missing.Zip"))
        << prompt.MessageTexts()[0].toStdString();
    EXPECT_FALSE(w->lblZoneSummary->isVisible());
    // Cancelled: nothing happens.
    w->SystemCommand(kCmdOpenRecording);
    EXPECT_TRUE(w->PortOpen());
    EXPECT_EQ(prompt.messages.size(), 1u);
}

// The scanner decides its outputs from its own zones: the simulator is given a five-point zone
// 0 across the path of its walking object, then the window shows what it reports.
TEST(ZoneWindowLive, OutputTurnsRedWhileTheObjectIsInTheZoneAndGreenWhenItLeaves) {
    SimProcess sim({"--model", "vyk05", "--duration", "120"});
    ASSERT_FALSE(sim.Path().empty());
    const QString device = QString::fromStdString(sim.Path());
    QTemporaryDir dir;
    const QString iniPath = dir.filePath("VYK-05.ini");
    {
        IniFile ini(iniPath);
        const int points[10] = {0, 110, 160, 110, 160, 190, 80, 220, 0, 190};
        EXPECT_TRUE(ini.WriteInteger("Poly0", "count", 5));
        for (int k = 0; k < 5; ++k) {
            EXPECT_TRUE(ini.WriteInteger("Poly0", QStringLiteral("x%1").arg(k), points[2 * k]));
            EXPECT_TRUE(ini.WriteInteger("Poly0", QStringLiteral("y%1").arg(k), points[2 * k + 1]));
        }
    }
    SpawnedProgram push({VYK_ZONES_PATH, "push", sim.Path(), iniPath.toStdString()}, true);
    const std::string pushed = push.ReadAll(60);
    ASSERT_EQ(push.WaitExit(5), 0) << pushed;
    EXPECT_TRUE(IniFile(iniPath).WriteString("Ports", "COM1", device));

    ScriptedPrompt prompt;
    ZoneToolOptions options;
    options.iniPath = iniPath;
    options.prompt = &prompt;
    TfrmVYK10 w(options);
    w.resize(1110, 751);
    w.show();
    AnswerPortDialog("COM1", true);
    ASSERT_TRUE(w.FormShow());
    w.Tool().PlayClicked();
    auto waitFor = [&](bool red) {
        QElapsedTimer waited;
        waited.start();
        while (((w.Graph()->OutputState() & 1) != 0) != red && waited.elapsed() < 40000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        return ((w.Graph()->OutputState() & 1) != 0) == red;
    };
    EXPECT_TRUE(waitFor(true)) << "the object never entered";
    EXPECT_GT(w.store.pointCount, 0);
    EXPECT_TRUE(waitFor(false)) << "the object never left";
    EXPECT_EQ(w.Graph()->OutputState() & 6, 0) << "outputs 2 and 3 have no zone";
    w.close();
}

// Nothing checked what the scanner stored after a save. Against a scanner that answers late and
// loses a line the polygon is stored whole and nothing is shown; one that answers the points
// without storing them brings the message naming what it lacks.
TEST(ZoneWindowLive, ASaveIsReadBackAndWhatTheScannerDidNotStoreIsShown) {
    const struct {
        std::vector<std::string> faults;
        const char* message;
    } cases[] = {
        {{"--slow-ack", "3", "--drop-ack", "4"}, ""},
        {{"--forget-point", "1"},
         "读回的区域设置与发送的不一致:\n区域0(第一组 区域保护IO输出1) 点数: 发送 5, 读回 0"},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const QString log = dir.filePath("sim.log");
        std::vector<std::string> args = {"--model", "vyk05", "--log", log.toStdString()};
        args.insert(args.end(), c.faults.begin(), c.faults.end());
        SimProcess sim(args);
        ASSERT_FALSE(sim.Path().empty());
        ScriptedPrompt prompt;
        ZoneToolOptions options;
        options.iniPath = dir.filePath("VYK-05.ini");
        options.prompt = &prompt;
        EXPECT_TRUE(IniFile(options.iniPath)
                        .WriteString("Ports", "COM1", QString::fromStdString(sim.Path())));
        TfrmVYK10 w(options);
        w.resize(1110, 751);
        w.show();
        AnswerPortDialog("COM1", true);
        ASSERT_TRUE(w.FormShow());
        const char* points[] = {"0", "100", "100", "100", "100", "-50", "-20", "-90", "-80", "10"};
        for (int i = 0; i < ZoneBoxes::kCoordinates; ++i)
            w.outputs[0].coordinate[i]->setText(points[i]);
        w.outputs[0].sensitivity->setText("7");
        w.outputs[0].save->click();
        Pump(90000,
             [&] { return w.Tool().Transfer().PendingCommands() == 0 && !w.Tool().Checking(); });
        Pump(300, [] { return false; });  // the message waits for the end of the timer's tick
        EXPECT_EQ(prompt.MessageTexts().join('|').toStdString(), c.message);
        if (*c.message == 0) {
            QFile file(log);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(StoredLines(file.readAll()),
                      (std::vector<std::string>{"#SF 0", "#IOL 0", "#SPR 28677,6553600",
                                                "#SPR 28693,6553700", "#SPR 28709,4291690596",
                                                "#SPR 28725,4289134572", "#SPR 28741,720816", "#SU",
                                                "#RS"}));
        }
        w.close();
    }
}

}  // namespace
