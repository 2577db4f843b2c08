// The console against the simulator over a pseudo-terminal, and the program ended by signals.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <cmath>
#include <csignal>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "CatchesSignal.h"
#include "IniFile.h"
#include "Laserencode.h"
#include "PortDialogAnswer.h"
#include "RecordTestSupport.h"
#include "ScanExport.h"
#include "ScannerInterface.h"
#include "ScriptedPrompt.h"
#include "Settingspage.h"
#include "SignalClose.h"
#include "SimProcess.h"
#include "Vyk10dlg.h"
#include "Vykgraph.h"
#include "WidgetTestMain.h"

using namespace console;

namespace {

void Wait(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// vyk-sim on a fresh pseudo-terminal; the device path its first line names.
QString DevicePath(const SimProcess& sim) {
    return QString::fromStdString(sim.Path());
}

// The console connected to vyk-sim as COM1, with its INI file in a folder of the test's own.
class ConsoleLive : public ::testing::Test {
protected:
    ConsoleLive() {
        options.iniPath = dir.filePath("VYK-10.ini");
        options.prompt = &prompt;
    }

    // The simulator ends after its duration even if the test dies.
    void StartSim(const std::vector<std::string>& args) {
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(QFile::exists(DevicePath(*sim))) << sim->Path();
        EXPECT_TRUE(IniFile(options.iniPath).WriteString("Ports", "COM1", DevicePath(*sim)));
    }

    // The window, with COM1 chosen in its port dialog (as typed: "com1").
    void Connect(std::function<void(TSetPortForm&)> inspect = {}) {
        window = std::make_unique<TfrmVYK10>(options);
        window->resize(1106, 700);
        window->show();
        AnswerPortDialog("com1", true, std::move(inspect));
        ASSERT_TRUE(window->FormShow());
    }

    QTemporaryDir dir;
    ScriptedPrompt prompt;
    ConsoleOptions options;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<TfrmVYK10> window;
};

int RedPixels(const QImage& image) {
    int red = 0;
    for (int y = 0; y < image.height(); y += 2) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); x += 2) red += line[x] == qRgb(255, 0, 0);
    }
    return red;
}

TEST_F(ConsoleLive, DrawsRevolutionsFromTheSimulatorAndSavesItsKeysWhenSignalled) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--baud", "230400", "--duration", "120"}));
    QStringList offered;
    QString devicePath;
    ASSERT_NO_FATAL_FAILURE(Connect([&](TSetPortForm& dialog) {
        for (int i = 0; i < dialog.ComboBoxComList->count(); ++i) {
            offered << dialog.ComboBoxComList->itemText(i);
        }
        devicePath = dialog.lblDevicePath->text();
    }));
    SignalClose signalClose(window.get());
    EXPECT_TRUE(offered.contains("COM1"));
    EXPECT_EQ(devicePath, DevicePath(*sim));
    EXPECT_EQ(window->statPanels[0]->text(), "COM1:230400");

    // Whole revolutions: the newest drawn counter moves on from marker to marker.
    std::set<int> revolutions;
    QStringList byteTexts;
    for (int i = 0; i < 30; ++i) {
        Wait(100);
        revolutions.insert(window->Graph()->ViewState().lastDrawnRevolution);
        byteTexts << window->statPanels[3]->text();
    }
    revolutions.erase(-1);
    EXPECT_GE(revolutions.size(), 10u) << "about 10 revolutions a second";
    EXPECT_GT(window->store.pointCount, 10000);
    EXPECT_GT(RedPixels(window->Image2->target), 100);
    EXPECT_NE(byteTexts.front(), byteTexts.back()) << "the byte count grows";
    EXPECT_TRUE(window->LabelGraphData->text().startsWith(QString::fromUtf8("距离:")));
    EXPECT_TRUE(prompt.messages.empty());

    raise(SIGTERM);
    Wait(200);
    EXPECT_FALSE(window->isVisible()) << "the signal closes the window";
    window.reset();
    IniFile ini(options.iniPath);
    EXPECT_EQ(ini.ReadString("Main", "BandRate", "-"), "230400");
    EXPECT_EQ(ini.ReadString("Main", "viewtype", "-"), "161");
    EXPECT_EQ(ini.ReadString("Main", "mode", "-"), "0");
    EXPECT_EQ(ini.ReadString("Ports", "COM1", "-"), DevicePath(*sim));
}

// Reads cut packets at every boundary; each was lost while chunks were decoded alone, so the
// export of one revolution held a few samples fewer than the simulator sent.
TEST_F(ConsoleLive, EveryRevolutionAndItsExportHoldEverySampleSent) {
    QString exported;
    options.openFile = [&](const QString& path) {
        exported = path;
        return true;
    };
    ASSERT_NO_FATAL_FAILURE(StartSim({"--baud", "230400", "--duration", "60"}));
    ASSERT_NO_FATAL_FAILURE(Connect());
    TfrmVYK10& window = *this->window;
    Wait(3000);
    // The line's bytes of a turn at 10 Hz, less its two info packets, in 4-byte samples.
    constexpr int kSamplesPerTurn = (230400 / 10 / 10 - 2 * 4) / 4;
    // The simulator's status line reads #CARTF4,Hz,mode,seconds,samples per turn.
    const auto isSample = [&](const ScanPoint& p) {
        const bool statusLine = p.angle == scanner::kStatusCodeF4 && p.aux2 == kSamplesPerTurn;
        return p.angle < scanner::kInfoFirst && !statusLine;
    };
    std::vector<int> markers;
    for (int i = 0; i < window.store.pointCount; ++i) {
        if (window.store.pointBuffer[i].angle == scanner::kInfoZeroDegree)
            markers.push_back(i);
    }
    ASSERT_GE(markers.size(), 20u);
    for (size_t m = 1; m < markers.size(); ++m) {
        int samples = 0;
        for (int i = markers[m - 1]; i < markers[m]; ++i)
            samples += isSample(window.store.pointBuffer[i]);
        EXPECT_EQ(samples, kSamplesPerTurn) << "revolution " << m;
    }
    int start = 0, end = 0;
    ASSERT_TRUE(record::FindExportRange(window.store.pointBuffer.data(), window.store.pointCount,
                                        start, end));
    int samples = 0;
    for (int i = start; i < end; ++i) samples += isSample(window.store.pointBuffer[i]);
    EXPECT_EQ(samples, kSamplesPerTurn);
    window.ExportScan();
    EXPECT_FALSE(exported.isEmpty());
    // The line may open in the middle of a packet; no revolution goes missing after that.
    EXPECT_EQ(window.Loop().Health().SinceOpen().missingRevolutions, 0);
    EXPECT_TRUE(prompt.messages.empty());
}

// "读取设置" until the replies have filled boxes the test emptied first.
void ReadSettings(TfrmVYK10& window) {
    TSettingsPage& page = *window.settingsPage;
    for (QLineEdit* edit :
         {page.edtMinDistance, page.edtMaxDistance, page.edtAngleStart, page.edtAngleEnd}) {
        edit->clear();
    }
    page.cbbMotor->setCurrentIndex(-1);
    page.btnRead->click();
    QElapsedTimer timer;
    timer.start();
    while (page.edtAngleEnd->text().isEmpty() && timer.elapsed() < 5000) Wait(20);
}

// The rotation rate of the circle view's rate text, once it is within half a hertz of hz. The
// view estimates it every 50 revolutions, so a change shows in its second estimate.
float RateNear(const TfrmVYK10& window, float hz, int ms) {
    QElapsedTimer timer;
    timer.start();
    float rate = 0;
    do {
        Wait(100);
        rate = window.Graph()->ViewState().rateFrequency;
    } while (std::abs(rate - hz) > 0.5f && timer.elapsed() < ms);
    return rate;
}

// Milliseconds per revolution, the rate text's second figure.
float RevolutionMs(const TfrmVYK10& window) {
    const auto& state = window.Graph()->ViewState();
    return state.rateTurns > 0 ? static_cast<float>(state.rateElapsed) / state.rateTurns : 0;
}

TEST_F(ConsoleLive, TheSettingsPageReadsAndChangesTheSimulatorsSettings) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--baud", "230400", "--duration", "120"}));
    ASSERT_NO_FATAL_FAILURE(Connect());
    TfrmVYK10& window = *this->window;
    TSettingsPage& page = *window.settingsPage;

    window.mniSet->trigger();
    ReadSettings(window);
    EXPECT_EQ(page.edtMinDistance->text(), "100");
    EXPECT_EQ(page.edtMaxDistance->text(), "3000");
    EXPECT_EQ(page.cbbMotor->currentText(), "10HZ");
    EXPECT_EQ(SelectedIndex(*page.cbbMotor), 9);
    EXPECT_TRUE(page.chkMotor->isChecked());
    EXPECT_FALSE(page.chkMotorAuto->isChecked());
    EXPECT_FALSE(page.chkAngle->isChecked());
    EXPECT_EQ(page.edtAngleStart->text(), "0");
    EXPECT_EQ(page.edtAngleEnd->text(), "360");
    const QStringList log = page.mmoLog->toPlainText().split('\n');
    EXPECT_TRUE(log.contains("send:#RS"));
    EXPECT_TRUE(log.contains("#RSDIS,100,3000")) << log.join(" | ").toStdString();

    // The motor frequency: the circle view's rate text follows the simulator's new rate.
    window.btnExitSet->click();
    EXPECT_NEAR(RateNear(window, 10, 16000), 10.0f, 0.5f);
    EXPECT_NEAR(RevolutionMs(window), 100.0f, 10.0f);
    window.mniSet->trigger();
    page.cbbMotor->setCurrentIndex(14);
    page.btnSetMotorFreq->click();
    window.btnExitSet->click();
    EXPECT_NEAR(RateNear(window, 15, 12000), 15.0f, 0.5f);
    EXPECT_NEAR(RevolutionMs(window), 66.7f, 7.0f);

    // A distance range sent from the page is what the next read finds.
    window.mniSet->trigger();
    page.edtMaxDistance->setText("3500");
    page.edtMinDistance->setText("250");
    page.btnMaxMinDistance->click();
    Wait(300);
    ReadSettings(window);
    EXPECT_EQ(page.edtMinDistance->text(), "250");
    EXPECT_EQ(page.edtMaxDistance->text(), "3500");
    EXPECT_EQ(page.cbbMotor->currentText(), "15HZ");
    EXPECT_TRUE(page.mmoLog->toPlainText().contains("#RSDIS,250,3500"));
    EXPECT_TRUE(prompt.messages.empty());
}

// vyk-decode's records of a file, one CSV line each after the header.
QStringList DecodedLines(const QString& path, int limit) {
    QProcess decode;
    decode.start(QStringLiteral(VYK_DECODE_PATH), {"--limit", QString::number(limit), path});
    decode.waitForFinished(60000);
    QStringList lines = QString::fromUtf8(decode.readAllStandardOutput()).split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines.mid(1);
}

TEST_F(ConsoleLive, RecordsTheSimulatorsBytesIntoSegmentsAndReplaysThemAsVykDecodeReadsThem) {
    const QString sent = dir.filePath("sent.bin");
    ASSERT_NO_FATAL_FAILURE(
        StartSim({"--baud", "921600", "--duration", "120", "--tee", sent.toStdString()}));
    IniFile ini(options.iniPath);
    EXPECT_TRUE(ini.WriteString("Main", "mode", "1"));
    EXPECT_TRUE(ini.WriteString("Main", "viewtype", "162"));
    EXPECT_TRUE(ini.WriteString("Main", "BandRate", "921600"));
    options.segmentLimit = 100000;
    ASSERT_NO_FATAL_FAILURE(Connect());
    Wait(300);

    prompt.fileNames = {dir.filePath("run")};
    window->btnOpenSaveLogFile->trigger();
    ASSERT_NE(window->Recording(), nullptr);
    Wait(6000);                             // about 550 KB at 921600 baud: four segments or more
    window->btnOpenSaveLogFile->trigger();  // stops; the dialog is cancelled
    ASSERT_EQ(window->Recording(), nullptr);
    EXPECT_TRUE(prompt.messages.empty());

    const auto entries = Entries(dir.filePath("run.Zip"));
    ASSERT_GE(entries.size(), 3u);
    QByteArray recorded;
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].first, QString::asprintf("run.%03d", int(i)).toStdString());
        if (i + 1 < entries.size()) {
            EXPECT_GE(entries[i].second.size(), 100000) << "every segment but the last";
        }
        recorded += entries[i].second;
    }
    // What the console received since the recording began, byte for byte and in order.
    const QByteArray all = ReadAll(sent);
    const qsizetype at = all.indexOf(recorded.left(4096));
    ASSERT_GE(at, 0);
    EXPECT_TRUE(all.mid(at, recorded.size()) == recorded) << "a byte lost, added or moved";

    prompt.fileNames = {dir.filePath("run.Zip")};
    window->btnOpenFile->trigger();
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_FALSE(QFile::exists(dir.filePath("run.000")));
    WriteAll(dir.filePath("first.000"), entries[0].second);
    const QStringList expected =
        DecodedLines(dir.filePath("first.000"), window->settings.distanceLimit);
    ASSERT_EQ(window->store.pointCount, expected.size());
    // The aux fields are written for status lines only; elsewhere the console's buffer keeps
    // older values where vyk-decode's array holds zeros.
    for (int i = 0; i < expected.size(); ++i) {
        const ScanPoint& p = window->store.pointBuffer[i];
        const QString line = QString::asprintf("%d,%d,%d,%d,%d,%d", p.laser, p.angle, p.distance,
                                               p.aux1, p.aux2, p.aux3);
        const bool auxWritten = !expected[i].endsWith(",0,0,0");
        const int compared = auxWritten ? 6 : 3;
        ASSERT_EQ(line.section(',', 0, compared - 1), expected[i].section(',', 0, compared - 1))
            << "record " << i;
    }
    EXPECT_GT(expected.size(), 20000);
    // vyk-decode on the archive itself starts with the same records.
    const QStringList whole = DecodedLines(dir.filePath("run.Zip"), window->settings.distanceLimit);
    EXPECT_GT(whole.size(), expected.size());
    EXPECT_TRUE(whole.mid(0, expected.size()) == expected);
}

// Each closing signal packs a running recording, as the close box does.
TEST(ConsoleRecording, ASignalPacksTheRecordingAsTheCloseBoxDoes) {
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        QTemporaryDir dir;
        IniFile ini(dir.filePath("VYK-10.ini"));
        EXPECT_TRUE(ini.WriteString("Main", "mode", "1"));
        EXPECT_TRUE(ini.WriteString("Main", "viewtype", "162"));
        ScriptedPrompt prompt;
        ConsoleOptions options;
        options.iniPath = dir.filePath("VYK-10.ini");
        options.prompt = &prompt;
        auto window = std::make_unique<TfrmVYK10>(options);
        SignalClose signalClose(window.get());
        window->show();
        prompt.fileNames = {dir.filePath("run")};
        window->btnOpenSaveLogFile->trigger();
        ASSERT_NE(window->Recording(), nullptr);
        const auto packet = laserencode::EncodePacket4(1234, 160);
        for (int i = 0; i < 10; ++i) window->Loop().recorder(packet.data(), 4);
        raise(number);
        Wait(200);
        EXPECT_FALSE(window->isVisible()) << number;
        window.reset();
        const auto entries = Entries(dir.filePath("run.Zip"));
        ASSERT_EQ(entries.size(), 1u) << number;
        EXPECT_EQ(entries[0].second.size(), 40);
    }
}

// The program itself: a signal while the port dialog waits ends it with exit code 0 and
// the INI file written, for each of the three signals.
TEST(ConsoleProgram, SignalsEndItCleanlyWhileThePortDialogWaits) {
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        QTemporaryDir dir;
        const QString exe = dir.filePath("VYK-10");
        ASSERT_TRUE(QFile::copy(QStringLiteral(VYK_CONSOLE_PATH), exe));
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(env);
        program.start(exe, {});
        ASSERT_TRUE(program.waitForStarted(5000));
        QElapsedTimer started;
        started.start();
        while (!CatchesSignal(program.processId(), number) && started.elapsed() < 20000)
            program.waitForFinished(50);
        program.waitForFinished(500);  // the dialog is up by then
        ASSERT_EQ(program.state(), QProcess::Running) << "it waits in the port dialog";
        kill(static_cast<pid_t>(program.processId()), number);
        ASSERT_TRUE(program.waitForFinished(10000)) << number;
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
        IniFile ini(dir.filePath("VYK-10.ini"));
        EXPECT_EQ(ini.ReadString("Main", "BandRate", "-"), "230400") << number;
        EXPECT_EQ(ini.ReadString("Main", "mode", "-"), "0");
    }
}

}  // namespace
