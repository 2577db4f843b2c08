#include "Vyk10dlg.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>
#include <new>
#include <stdexcept>

#include "Decodedlg.h"
#include "Iapdlg.h"
#include "IniFile.h"
#include "Laserencode.h"
#include "Linkstatusdlg.h"
#include "ModalDialog.h"
#include "PlayedPort.h"
#include "PortDialogAnswer.h"
#include "PtyPair.h"
#include "ScannerInterface.h"
#include "ScriptedPrompt.h"
#include "SerialPort.h"
#include "Settingspage.h"
#include "Shell.h"
#include "ShellCommands.h"
#include "SystemError.h"
#include "SystemMenu.h"
#include "TextCodec.h"
#include "Vykgraph.h"
#include "WidgetTestMain.h"
#include "WindowFixture.h"

using namespace console;
using namespace scanwindow;

namespace {

class Window : public ::testing::Test {
protected:
    std::unique_ptr<TfrmVYK10> Make(const char* ini = nullptr) {
        ConsoleOptions options;
        PrepareOptions(options, IniPath(), ini, prompt);
        options.openFile = [this](const QString& path) {
            opened << path;
            return true;
        };
        options.makePort = makePort;
        options.makeUpgradePort = [this](Prompt&, const IniFile*) {
            return std::make_unique<PlayedPort>(upgradeLine);
        };
        return ShowWindow<TfrmVYK10>(options, {1106, 700});
    }

    QString IniPath() const { return dir.filePath("VYK-10.ini"); }
    QString Key(const char* key) const { return IniFile(IniPath()).ReadString("Main", key, "-"); }

    QTemporaryDir dir;
    ScriptedPrompt prompt;
    QStringList opened;
    std::function<std::unique_ptr<TSerialPort>(Prompt&, const IniFile*)> makePort;
    PlayedPort::Line upgradeLine;
};

TEST_F(Window, FirstStartWithoutIniShowsTheCircleViewAndWritesTheKeysAtExit) {
    auto w = Make();
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8(kDesignCaption));
    EXPECT_EQ(w->Graph()->ViewType(), 161);
    EXPECT_FALSE(w->btnOpenFile->isVisible());
    EXPECT_FALSE(w->ButtonTimeZoomUp->isVisible());
    EXPECT_EQ(w->statPanels[0]->text(), "COM Closed");
    EXPECT_EQ(w->statPanels[1]->text(), "0,0");
    EXPECT_EQ(w->statPanels[5]->text(), "Build 19");
    EXPECT_EQ(w->statPanels[6]->text(), "4");
    EXPECT_EQ(w->tmrComport->interval(), 20);
    EXPECT_EQ(w->Loop().redrawAbove, 10) << "a redraw after more than 10 new records";
    EXPECT_FALSE(w->Loop().ratesEverySecondTick);
    w->Image2MouseDown(Qt::RightButton, 100, 100, {100, 100});
    EXPECT_FALSE(w->pm1->isVisible()) << "no popup without debug mode";
    EXPECT_FALSE(QFile::exists(IniPath()));
    w.reset();
    EXPECT_EQ(Key("BandRate"), "230400");
    EXPECT_EQ(Key("viewtype"), "161");
    EXPECT_EQ(Key("mode"), "0");
}

TEST_F(Window, SettingsThatCannotBeWrittenAreToldAndTheFileKept) {
    SmallTmpfs disk;
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Refusal();
    ConsoleOptions options;
    PrepareOptions(options, disk.FilePath("VYK-10.ini"), "[Main]\nmode=1\nviewtype=162\n", prompt);
    ExpectUnsavedSettingsToldAndTheFileKept(disk, options.iniPath,
                                            ShowWindow<TfrmVYK10>(options, {1106, 700}), prompt);
}

TEST_F(Window, DebugModeUnlocksTheStoredViewAndThePopup) {
    const struct {
        const char* ini;
        int view;
        bool debug;
        bool toCircle;
        const char* written;
    } cases[] = {
        {"[Main]\nmode=1\nviewtype=163\n", 163, true, true, "161"},
        {"[Main]\nmode=0\nviewtype=163\n", 161, false, false, "161"},
        {"[Main]\nmode=1\nviewtype=162\n", 162, true, false, "162"},
    };
    for (const auto& c : cases) {
        auto w = Make(c.ini);
        EXPECT_EQ(w->Graph()->ViewType(), c.view);
        EXPECT_EQ(w->btnOpenFile->isVisible(), c.debug);
        EXPECT_EQ(w->ButtonTimeZoomUp->isVisible(), c.view != 161);
        w->Image2MouseDown(Qt::RightButton, 100, 100, {100, 100});
        EXPECT_EQ(w->pm1->isVisible(), c.debug);
        if (c.debug) {
            EXPECT_EQ(w->mniMulCircle->isEnabled(), c.view != 163)
                << "the current view is disabled";
            EXPECT_TRUE(w->mniCircle->isEnabled());
            w->pm1->hide();
        }
        if (c.toCircle) {
            w->mniCircle->trigger();
            EXPECT_EQ(w->Graph()->ViewType(), 161);
            EXPECT_FALSE(w->ButtonTimeZoomUp->isVisible());
        }
        w.reset();
        EXPECT_EQ(Key("viewtype"), c.written);
        EXPECT_EQ(Key("mode"), c.debug ? "1" : "0");
    }
}

TEST_F(Window, DistanceDialogWritesOnlyAChangedValue) {
    auto w = Make();
    prompt.inputs = {"6000"};
    w->SystemCommand(kCmdDistanceLimit);
    EXPECT_EQ(Key("VykMax"), "-");
    prompt.inputs = {"3000"};
    w->SystemCommand(kCmdDistanceLimit);
    EXPECT_EQ(Key("VykMax"), "3000");
    EXPECT_EQ(w->Loop().distanceLimit, 3000);
    prompt.inputs = {"x"};
    w->SystemCommand(kCmdDistanceLimit);
    EXPECT_EQ(Key("VykMax"), "3000");
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(Window, ChangeHistoryIsRewrittenAndOpenedEachTime) {
    auto w = Make();
    const QString path = dir.filePath("VYK-10.txt");
    for (int round = 0; round < 2; ++round) {
        w->SystemCommand(kCmdChangeHistory);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        const QByteArray bytes = file.readAll();
        // Written for a Linux editor: the locale's encoding, UTF-8 here.
        EXPECT_EQ(bytes, ToLocaleText(FromGbk(ChangeHistoryText())));
        EXPECT_TRUE(QString::fromUtf8(bytes).contains(QString::fromUtf8("-------- 更新历史 ---")));
        EXPECT_TRUE(QString::fromUtf8(bytes).contains(QString::fromUtf8("+ 增加过滤参数设置\r\n")));
        file.write("edited by the user, and longer than nothing at all");
    }
    EXPECT_EQ(opened, QStringList({path, path}));
}

TEST_F(Window, HelpAndFilterCommands) {
    auto w = Make();
    w->SystemCommand(kCmdHelp);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_TRUE(prompt.messages[0].text.startsWith(QString::fromUtf8("程序设计：")));
    EXPECT_TRUE(prompt.messages[0].text.contains("Email:"));
    w->SystemCommand(kCmdDisplayFilter);
    EXPECT_TRUE(w->Graph()->DisplayFilter());
    w->SystemCommand(kCmdDisplayFilter);
    EXPECT_FALSE(w->Graph()->DisplayFilter());
}

// The upgrade window gets the line to itself; once it is closed, the program ends.
TEST_F(Window, UpgradeItemShowsTheUpgradeWindowThenEndsTheProgram) {
    auto w = Make();
    bool shown = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* upgrade = qobject_cast<TfrmIAP*>(QApplication::activeModalWidget())) {
            shown = upgrade->isVisible();
            upgrade->reject();
        }
    });
    closer.start(10);
    w->SystemCommand(kCmdUpgrade);
    EXPECT_TRUE(shown);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(IniFile(IniPath()).ReadInteger("IAP", "COM", 0), 1) << "its settings were saved";
}

TEST_F(Window, DebugPopupOpensOnlyFromTheLeftmostTenPixels) {
    auto w = Make();
    w->statMainMouseUp(Qt::RightButton, 10, {10, 10});
    EXPECT_FALSE(w->pmDebug->isVisible());
    w->statMainMouseUp(Qt::LeftButton, 5, {10, 10});
    EXPECT_FALSE(w->pmDebug->isVisible());
    w->statMainMouseUp(Qt::RightButton, 9, {10, 10});
    EXPECT_TRUE(w->pmDebug->isVisible());
    EXPECT_EQ(w->mniSetDebugMode->text(), QString::fromUtf8("打开调试模式"));
    w->pmDebug->hide();
    w->mniSetDebugMode->trigger();
    w->Image2MouseDown(Qt::RightButton, 100, 100, {100, 100});
    EXPECT_TRUE(w->pm1->isVisible()) << "debug mode reaches the popup at once";
    w->pm1->hide();
    w->statMainMouseUp(Qt::RightButton, 0, {10, 10});
    EXPECT_EQ(w->mniSetDebugMode->text(), QString::fromUtf8("关闭调试模式"));
    EXPECT_FALSE(w->btnOpenFile->isVisible()) << "the history button follows at the next start";
    w.reset();
    EXPECT_EQ(Key("mode"), "1");
}

TEST_F(Window, DebugPopupOpensOnceForAReleaseOverTheStatusBar) {
    auto w = Make();
    int shown = 0;
    QObject::connect(w->pmDebug, &QMenu::aboutToShow, [&] { ++shown; });
    const int panelLeft = w->statPanels[0]->mapTo(w->statMain, QPoint()).x();
    const struct {
        bool onPanel;  // else on the bar itself
        int barX;      // position in the status bar
        Qt::MouseButton button;
        int shows;
    } cases[] = {
        {true, 9, Qt::RightButton, 1},
        {true, 10, Qt::RightButton, 0},
        {true, 5, Qt::LeftButton, 0},
        {false, 0, Qt::RightButton, 1},
    };
    for (const auto& c : cases) {
        if (c.onPanel && c.barX < panelLeft)
            continue;
        shown = 0;
        QWidget* target = c.onPanel ? static_cast<QWidget*>(w->statPanels[0]) : w->statMain;
        const QPoint local(c.onPanel ? c.barX - panelLeft : c.barX, 5);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(local),
                            QPointF(target->mapToGlobal(local)), c.button, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(target, &release);
        EXPECT_EQ(shown, c.shows) << c.barX << (c.onPanel ? " on panel 0" : " on the bar");
        w->pmDebug->hide();
    }
}

TEST_F(Window, TitleDialogWritesTheCaptionAlsoWhenCancelled) {
    auto w = Make();
    w->mniN5Click();
    EXPECT_EQ(Key("caption"), QString::fromUtf8(kDesignCaption));
    prompt.inputs = {QString::fromUtf8("二号线扫描仪")};
    w->mniN5Click();
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8("二号线扫描仪"));
    w.reset();
    auto again = Make();
    EXPECT_EQ(again->windowTitle(), QString::fromUtf8("二号线扫描仪"));
}

TEST_F(Window, TimeZoomButtonsStopAtTheirLimits) {
    auto w = Make("[Main]\nmode=1\nviewtype=162\n");
    const int plotWidth = w->Graph()->PlotWidth();
    for (int i = 0; i < 7; ++i) w->ButtonTimeZoomUp->trigger();
    EXPECT_EQ(w->statPanels[1]->text(), "-6,0");
    EXPECT_FALSE(w->ButtonTimeZoomUp->isEnabled());
    EXPECT_EQ(w->store.viewLength, plotWidth >> 6);
    for (int i = 0; i < 17; ++i) w->ButtonTimeZoomDown->trigger();
    EXPECT_EQ(w->statPanels[1]->text(), "10,0");
    EXPECT_FALSE(w->ButtonTimeZoomDown->isEnabled());
    EXPECT_TRUE(w->ButtonTimeZoomUp->isEnabled());
    EXPECT_EQ(w->store.viewLength, plotWidth << 10);
}

TEST_F(Window, WheelScalesTheRowOnEveryFifthEvent) {
    auto w = Make("[Main]\nmode=1\nviewtype=162\n");
    const QPoint inRow(w->Graph()->PlotLeft() + 50, w->Graph()->RowTop(0) + 50);
    const QPoint global = w->Image2->mapToGlobal(inRow);
    auto wheel = [&](int delta) {
        QWheelEvent event(QPointF(inRow), QPointF(global), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.get(), &event);
    };
    for (int i = 0; i < 4; ++i) wheel(120);
    EXPECT_EQ(w->Graph()->RowScale(0), 1.0f);
    wheel(120);
    EXPECT_FLOAT_EQ(w->Graph()->RowScale(0), 0.9f);
    for (int i = 0; i < 4; ++i) wheel(-120);
    EXPECT_FLOAT_EQ(w->Graph()->RowScale(0), 0.9f) << "each direction counts for itself";
    wheel(-120);
    EXPECT_EQ(w->Graph()->RowScale(0), 1.0f);
}

TEST_F(Window, DragMovesThroughTheBufferInTheStripView) {
    auto w = Make("[Main]\nmode=1\nviewtype=162\n");
    w->store.pointCount = 5000;
    w->store.viewStart = 1000;
    const int y = w->Graph()->RowTop(0) + 30;
    w->Image2MouseDown(Qt::LeftButton, 100, y, {});
    w->Image2MouseMove(160, y);
    EXPECT_EQ(w->store.viewStart, 940);
    w->Image2MouseUp();
    w->Image2MouseMove(300, y);
    EXPECT_EQ(w->store.viewStart, 940);
    w->Image2MouseDown(Qt::MiddleButton, 100, y, {});
    EXPECT_EQ(w->store.pointCount, 0);
}

TEST_F(Window, NoPortMeansNoStart) {
    auto w = Make();
    bool baudHidden = false;
    AnswerPortDialog("COM7", false,
                     [&](TSetPortForm& dialog) { baudHidden = !dialog.ComboBox2->isVisible(); });
    EXPECT_FALSE(w->FormShow());
    EXPECT_TRUE(baudHidden) << "the console hides the baud box";
    EXPECT_TRUE(prompt.messages.empty());
    // COM99 maps to no device.
    AnswerPortDialog("COM99", true);
    EXPECT_FALSE(w->FormShow());
    EXPECT_EQ(prompt.MessageTexts(),
              QStringList{"Open Serial Port Failed!\nCOM99: " + SystemErrorText(ENODEV)});
    EXPECT_EQ(w->statPanels[0]->text(), "COM Closed");
    EXPECT_TRUE(w->ConnectAction->isEnabled());
    EXPECT_FALSE(w->DisconnectAction->isEnabled());
}

TEST_F(Window, EveryRecordOfAStreamReadInCutPieces) {
    PtyPair pty;
    auto w = Make(("[Ports]\nCOM7=" + pty.SlavePath() + "\n").toUtf8().constData());
    AnswerPortDialog("COM7", true);
    ASSERT_TRUE(w->FormShow());
    ExpectEveryRecordAcrossReadCuts(*w, pty);
}

// A revolution missing and stray end marks: the status bar turns red with the losses, the link
// window counts them since the port opened, and its reset starts from nothing.
TEST_F(Window, TheLinksLossesShowInTheStatusBarAndTheLinkWindow) {
    PtyPair pty;
    auto w = Make(("[Ports]\nCOM7=" + pty.SlavePath() + "\n").toUtf8().constData());
    AnswerPortDialog("COM7", true);
    ASSERT_TRUE(w->FormShow());
    ASSERT_NE(w->systemMenu->Item(scanwindow::kCmdLinkStatus), nullptr);
    // Bytes before the monitor runs are discarded: probe with end marks, then count from zero.
    for (int i = 0; i < 100 && w->Loop().BytesRead() == 0; ++i) {
        pty.Send("\x80");
        Pump(50, [&] { return w->Loop().BytesRead() > 0; });
    }
    ASSERT_GT(w->Loop().BytesRead(), 0);
    Pump(100, [] { return false; });
    w->Loop().Health().Reset();
    QByteArray bytes;
    for (int counter : {0, 1, 3}) {
        const auto marker = laserencode::EncodePacket4(counter, scanner::kInfoZeroDegree);
        bytes.append(reinterpret_cast<const char*>(marker.data()), 4);
        for (int i = 0; i < 50; ++i) {
            const auto packet = laserencode::EncodePacket4(1000 + i, i * 100);
            bytes.append(reinterpret_cast<const char*>(packet.data()), 4);
        }
    }
    bytes.append("\x80\x80\x80");
    const auto flipped = laserencode::EncodePacket4(1234, 100);
    bytes.append(reinterpret_cast<const char*>(flipped.data()), 4);
    bytes[bytes.size() - 2] = static_cast<char>(bytes[bytes.size() - 2] ^ 0x04);
    pty.Send(bytes);
    Pump(5000, [&] { return w->Loop().Health().SinceOpen().refusedPackets > 0; });
    EXPECT_EQ(w->lblLinkStatus->text(), QString::fromUtf8("丢失 1圈 1包 3字节"));
    EXPECT_TRUE(w->lblLinkStatus->styleSheet().contains("red"));

    w->SystemCommand(scanwindow::kCmdLinkStatus);
    ASSERT_NE(w->frmLinkStatus, nullptr);
    EXPECT_TRUE(w->frmLinkStatus->isVisible());
    EXPECT_EQ(w->frmLinkStatus->windowTitle(), QString::fromUtf8("链路状态"));
    QTableWidget& table = *w->frmLinkStatus->tblCounts;
    const auto cell = [&](const char* name, int column) {
        for (int row = 0; row < table.rowCount(); ++row) {
            if (table.verticalHeaderItem(row)->text() == QString::fromUtf8(name))
                return table.item(row, column)->text();
        }
        return QString("missing");
    };
    EXPECT_EQ(cell("圈数", 0), "3");
    EXPECT_EQ(cell("丢失圈数", 0), "1");
    EXPECT_EQ(cell("丢失圈数", 1), "1");
    EXPECT_EQ(cell("跳过字节", 0), "3");
    EXPECT_EQ(cell("校验错误包", 0), "1");
    EXPECT_EQ(cell("记录", 0), "153");
    w->frmLinkStatus->btnReset->click();
    EXPECT_EQ(cell("丢失圈数", 0), "0");
    EXPECT_EQ(cell("丢失圈数", 1), "0");
    Pump(200, [] { return false; });
    EXPECT_EQ(w->lblLinkStatus->text(), QString::fromUtf8("链路正常"));
}

TEST_F(Window, ConnectsCountsTheReceivedBytesAndDisconnects) {
    PtyPair pty;
    ASSERT_FALSE(pty.SlavePath().isEmpty());
    auto w = Make(("[Ports]\nCOM7=" + pty.SlavePath() + "\n").toUtf8().constData());
    AnswerPortDialog("COM7", true);
    ASSERT_TRUE(w->FormShow());
    EXPECT_EQ(w->statPanels[0]->text(), "COM7:230400");
    EXPECT_FALSE(w->ConnectAction->isEnabled());
    EXPECT_TRUE(w->DisconnectAction->isEnabled());
    ASSERT_TRUE(BytesArrive(*w, pty));
    const int64_t before = w->Port()->ReceivedTotal();
    ASSERT_TRUE(pty.Send(QByteArray(1000, ' ')));
    Pump(5000, [&] { return w->Port()->ReceivedTotal() >= before + 1000; });
    const QString total = QString::number(w->Port()->ReceivedTotal()) + ",";
    Pump(1000, [&] { return w->statPanels[3]->text().startsWith(total); });
    EXPECT_TRUE(w->statPanels[3]->text().startsWith(total))
        << w->statPanels[3]->text().toStdString();

    w->ConnectActionExecute();
    EXPECT_EQ(prompt.MessageTexts(), QStringList{QString::fromUtf8("请先关闭串口！")});
    EXPECT_FALSE(w->ConnectAction->isEnabled());
    EXPECT_TRUE(w->PortOpen()) << "the open port stays";

    w->DisconnectActionExecute();
    EXPECT_FALSE(w->PortOpen());
    EXPECT_EQ(w->statPanels[0]->text(), "COM Closed");
    EXPECT_TRUE(w->ConnectAction->isEnabled());
    EXPECT_FALSE(w->DisconnectAction->isEnabled());
    const QString bytes = w->statPanels[3]->text();
    pty.Send(QByteArray(500, ' '));
    Pump(300, [] { return false; });
    EXPECT_EQ(w->statPanels[3]->text(), bytes) << "without a port the timer touches nothing";
}

// An adapter unplugged mid-stream and plugged in again: a new pseudo-terminal under the link.
TEST_F(Window, AnUnpluggedAdapterWarnsOnceShowsTheClosedPortAndComesBackByItself) {
    Adapter adapter(dir.filePath("adapter"));
    auto w = Make(("[Ports]\nCOM7=" + adapter.Link() + "\n").toUtf8().constData());
    AnswerPortDialog("COM7", true);
    ASSERT_TRUE(w->FormShow());
    ExpectComesBackAfterUnplug(*w, adapter, prompt, "COM7:230400");
}

// The console waited on a warning box after its window was gone.
TEST_F(Window, AClosingWindowShowsNoPortWarning) {
    PtyPair pty;
    auto w = Make(("[Ports]\nCOM7=" + pty.SlavePath() + "\n").toUtf8().constData());
    AnswerPortDialog("COM7", true);
    ASSERT_TRUE(w->FormShow());
    ASSERT_TRUE(BytesArrive(*w, pty));
    w->close();
    pty.CloseMaster();
    Pump(500, [] { return false; });
    w.reset();
    EXPECT_TRUE(prompt.messages.empty()) << prompt.MessageTexts().join("|").toStdString();
}

TEST_F(Window, SettingsPageHidesTheZoomButtonsUntilItIsLeft) {
    for (const char* ini : {"[Main]\nmode=1\nviewtype=162\n", "[Main]\nmode=1\nviewtype=161\n"}) {
        auto w = Make(ini);
        const bool strips = w->Graph()->ViewType() != 161;
        w->mniSet->trigger();
        EXPECT_EQ(w->nbMain->currentIndex(), 1);
        EXPECT_FALSE(w->btnOpenFile->isEnabled());
        EXPECT_FALSE(w->btnOpenSaveLogFile->isEnabled());
        EXPECT_FALSE(w->ButtonTimeZoomUp->isVisible());
        EXPECT_FALSE(w->ButtonTimeZoomDown->isVisible());
        w->btnExitSet->click();
        EXPECT_EQ(w->nbMain->currentIndex(), 0);
        EXPECT_EQ(w->btnOpenFile->isEnabled(), strips) << ini;
        EXPECT_TRUE(w->btnOpenSaveLogFile->isEnabled());
        EXPECT_EQ(w->ButtonTimeZoomUp->isVisible(), strips) << ini;
        EXPECT_EQ(w->ButtonTimeZoomDown->isVisible(), strips) << ini;
    }
}

TEST_F(Window, CircleViewMouseMoveShowsTheReadingOfThePreviousRedraw) {
    auto w = Make();
    w->referenceDistance = 1234;
    w->referenceAngleCopy = 720;
    w->Image2MouseMove(300, 100);
    EXPECT_EQ(w->LabelGraphData->text(),
              QString::fromUtf8("距离:1234cm 角度:45.00               "));
    EXPECT_EQ(w->referenceDistance, 0) << "the redraw took the graph's reference point";
    w->Image2MouseMove(310, 100);
    EXPECT_EQ(w->LabelGraphData->text(), QString::fromUtf8("距离:0cm 角度:0.00               "));
}

// The port's events need descriptors: with none left its constructor throws.
std::unique_ptr<TSerialPort> PortWithoutDescriptors(Prompt& prompt, const IniFile* ini) {
    // The sanitizers' type check needs descriptors the first time it meets the class.
    { TSerialPort known(prompt, ini); }
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    rlimit none = saved;
    none.rlim_cur = 0;
    setrlimit(RLIMIT_NOFILE, &none);
    struct Restore {
        rlimit limit;
        ~Restore() { setrlimit(RLIMIT_NOFILE, &limit); }
    } restore{saved};
    return std::make_unique<TSerialPort>(prompt, ini);
}

TEST_F(Window, APortObjectThatCannotBeHadIsReported) {
    const std::function<std::unique_ptr<TSerialPort>(Prompt&, const IniFile*)> failures[] = {
        PortWithoutDescriptors,
        [](Prompt&, const IniFile*) -> std::unique_ptr<TSerialPort> { throw std::bad_alloc(); },
    };
    for (const auto& failure : failures) {
        prompt.messages.clear();
        QFile::remove(IniPath());
        makePort = failure;
        auto w = Make();
        AnswerPortDialog("COM7", true);
        EXPECT_FALSE(w->FormShow());
        EXPECT_EQ(prompt.MessageTexts(), QStringList{QString::fromUtf8("打开串口申请内存失败!")});
        EXPECT_EQ(w->statPanels[0]->text(), "COM Closed");
        EXPECT_TRUE(w->ConnectAction->isEnabled());
        w.reset();
        EXPECT_EQ(Key("BandRate"), "230400") << "the settings are written as the program ends";
    }
}

// An exception that reaches the top ends the program with a box, after the window it left has
// written its settings.
TEST_F(Window, AnExceptionAtTheTopIsShownAndTheSettingsAreWritten) {
    const int code = RunShowingExceptions(prompt, [this] {
        auto w = Make();
        throw std::runtime_error("eventfd");
        return 0;
    });
    EXPECT_EQ(code, 1);
    EXPECT_EQ(prompt.MessageTexts(), QStringList{"eventfd"});
    EXPECT_EQ(prompt.messages[0].icon, Prompt::Icon::Error);
    EXPECT_EQ(Key("BandRate"), "230400");
    EXPECT_EQ(RunShowingExceptions(prompt, [] { return 0; }), 0);
    EXPECT_EQ(prompt.messages.size(), 1u);
}

// The window connected to a pseudo-terminal whose far end the test plays.
class Connected : public Window {
protected:
    std::unique_ptr<TfrmVYK10> Connect() {
        auto w = Make(("[Ports]\nCOM7=" + pty.SlavePath() + "\n").toUtf8().constData());
        Reconnect(*w);
        return w;
    }

    void Reconnect(TfrmVYK10& w) {
        AnswerPortDialog("COM7", true);
        EXPECT_TRUE(w.FormShow());
        // What comes before the port's monitor runs is discarded: probe until a byte counts.
        const int32_t before = w.Port()->ReceivedTotal();
        for (int i = 0; i < 100 && w.Port()->ReceivedTotal() == before; ++i) {
            pty.Send(" ");
            Pump(50, [&] { return w.Port()->ReceivedTotal() > before; });
        }
    }

    // Lets the timer take what the far end sent.
    void Deliver(TfrmVYK10& w, const QByteArray& bytes) {
        const int32_t total = w.Port()->ReceivedTotal() + static_cast<int32_t>(bytes.size());
        ASSERT_TRUE(pty.Send(bytes));
        Pump(3000, [&] { return w.Port()->ReceivedTotal() >= total; });
        Pump(100, [] { return false; });
    }

    PtyPair pty;
};

TEST_F(Connected, CommandsReachTheLineByteForByte) {
    auto w = Connect();
    TSettingsPage& page = *w->settingsPage;
    w->mniSet->trigger();
    page.EditSendLaser->setText("#sf 7");
    page.cbbMotor->setCurrentIndex(11);
    page.chkMotorAuto->setChecked(true);
    page.chkMaxDistance->setChecked(true);
    page.edtAngleStart->setText("45");
    page.edtAngleEnd->setText("315");
    page.cbbBand->setCurrentIndex(2);
    const struct {
        std::function<void()> press;
        QByteArray bytes;
    } cases[] = {
        {[&] { page.ButtonSendLazser->click(); }, "#SF 7\r\n"},
        {[&] { page.btnRead->click(); }, "#RS\r\n"},
        {[&] { page.btnSave->click(); }, "#SU\r\n"},
        {[&] { page.btnMCUID->click(); }, "#ID\r\n\r\n"},
        {[&] { page.btnMaxMinDistance->click(); }, "#D12 3000 , 100\r\n"},
        {[&] { page.btn1->click(); }, "#BR 921600\r\n"},
        {[&] { page.btnSetMotorFreq->click(); }, "#SF 12\r\n"},
        {[&] { page.btnMotor->click(); }, "#SMS 10\r\n"},
        {[&] { page.btnAngle->click(); }, "#SAR 45 , 315\r\n"},
        {[&] { page.btnForceOutput->click(); }, "#PM 1 \r\n"},
        {[&] { w->btn2->trigger(); }, "#SF 0\r\n"},
        {[&] { w->btn3->trigger(); }, "#SF 1000\r\n"},
    };
    for (const auto& c : cases) {
        c.press();
        EXPECT_EQ(pty.Receive(c.bytes.size(), 2000), c.bytes);
    }
    EXPECT_EQ(pty.Receive(1, 200), QByteArray()) << "nothing more";
    EXPECT_EQ(page.mmoLog->toPlainText().count("send:"), 9) << "all but the baud rate";

    w->DisconnectActionExecute();
    page.btnClear->click();
    page.btnRead->click();
    page.btn1->click();
    w->btn2->trigger();
    w->btn3->trigger();
    EXPECT_EQ(pty.Receive(1, 300), QByteArray()) << "nothing without a port";
    EXPECT_EQ(page.mmoLog->toPlainText(),
              QString::fromUtf8("串口为空，没法发送数据！\n必须先打开一号机才能校验！"));
}

TEST_F(Connected, RepliesAreEchoedOnlyWhileTheSettingsPageShows) {
    auto w = Connect();
    TSettingsPage& page = *w->settingsPage;
    Deliver(*w, "#RSDIS,250,3500\r\n");
    EXPECT_EQ(page.edtMinDistance->text(), "100") << "the graph page echoes nothing";
    EXPECT_TRUE(page.mmoLog->toPlainText().isEmpty());

    w->mniSet->trigger();
    Deliver(*w, "#RSDIS,250,3500\r\n");
    EXPECT_EQ(page.edtMinDistance->text(), "250");
    EXPECT_EQ(page.edtMaxDistance->text(), "3500");
    EXPECT_EQ(page.mmoLog->toPlainText(), "#RSDIS,250,3500");

    // A line cut by leaving the page, and one cut by a reconnection, are completed after it.
    Deliver(*w, "#RSAR,1");
    w->btnExitSet->click();
    w->mniSet->trigger();
    Deliver(*w, "5,300\r\n");
    EXPECT_EQ(page.edtAngleStart->text(), "15");
    EXPECT_EQ(page.edtAngleEnd->text(), "300");
    Deliver(*w, "#RSMS,3");
    w->DisconnectActionExecute();
    Reconnect(*w);
    Deliver(*w, "5\r\n");
    EXPECT_TRUE(page.chkMotor->isChecked());
    EXPECT_TRUE(page.chkMotorAuto->isChecked());
    EXPECT_TRUE(page.chkAngle->isChecked());
    EXPECT_FALSE(page.chkDistance->isChecked());
}

TEST_F(Window, DecodeToolOpensModallyFromThePopup) {
    auto w = Make();
    QString caption;
    AnswerModalDialog<TfrmDecode>([&](TfrmDecode& tool) {
        caption = tool.windowTitle();
        tool.btn3Bytes->click();
        EXPECT_TRUE(tool.mmo1->toPlainText().endsWith(QString::fromUtf8("解析距离:159")));
        tool.reject();
    });
    w->mniDecodeTools->trigger();
    EXPECT_EQ(caption, QString::fromUtf8("Halvex激光数据解析工具"));
    EXPECT_EQ(w->findChildren<TfrmDecode*>().size(), 0) << "destroyed when closed";
    EXPECT_TRUE(prompt.messages.empty());
}

}  // namespace
