// The console against the simulator over a pseudo-terminal, and the program ended by signals.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <set>

#include "IniFile.h"
#include "PortDialogAnswer.h"
#include "ScriptedPrompt.h"
#include "SignalClose.h"
#include "Vyk10dlg.h"
#include "Vykgraph.h"
#include "WidgetTestMain.h"

using namespace console;

namespace {

#ifdef VYK_SIM_PATH
void Wait(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// vyk-sim on a fresh pseudo-terminal; its first line names the slave side.
class Simulator {
public:
    explicit Simulator(const QStringList& args) {
        process_.start(QStringLiteral(VYK_SIM_PATH), args);
        process_.waitForStarted(5000);
        while (!process_.canReadLine() && process_.waitForReadyRead(5000)) {
        }
        path_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
    ~Simulator() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    QString Path() const { return path_; }

private:
    QProcess process_;
    QString path_;
};

int RedPixels(const QImage& image) {
    int red = 0;
    for (int y = 0; y < image.height(); y += 2) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); x += 2) red += line[x] == qRgb(255, 0, 0);
    }
    return red;
}

TEST(ConsoleLive, DrawsRevolutionsFromTheSimulatorAndSavesItsKeysWhenSignalled) {
    Simulator sim({"--baud", "230400", "--duration", "120"});  // ends even if the test dies
    ASSERT_TRUE(QFile::exists(sim.Path())) << sim.Path().toStdString();
    QTemporaryDir dir;
    const QString iniPath = dir.filePath("VYK-10.ini");
    IniFile(iniPath).WriteString("Ports", "COM1", sim.Path());

    ScriptedPrompt prompt;
    ConsoleOptions options;
    options.iniPath = iniPath;
    options.prompt = &prompt;
    auto window = std::make_unique<TfrmVYK10>(options);
    SignalClose signalClose(window.get());
    window->resize(1106, 700);
    window->show();
    Wait(50);

    QStringList offered;
    QString devicePath;
    AnswerPortDialog("com1", true, [&](TSetPortForm& dialog) {
        for (int i = 0; i < dialog.ComboBoxComList->count(); ++i) {
            offered << dialog.ComboBoxComList->itemText(i);
        }
        devicePath = dialog.lblDevicePath->text();
    });
    ASSERT_TRUE(window->FormShow());
    EXPECT_TRUE(offered.contains("COM1"));
    EXPECT_EQ(devicePath, sim.Path());
    EXPECT_EQ(window->statPanels[0]->text(), "COM1:230400");

    // Whole revolutions: the newest drawn counter moves on from marker to marker.
    std::set<int> revolutions;
    QStringList byteTexts;
    for (int i = 0; i < 30; ++i) {
        Wait(100);
        revolutions.insert(vykgraph::ProgramViewState().lastDrawnRevolution);
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
    IniFile ini(iniPath);
    EXPECT_EQ(ini.ReadString("Main", "BandRate", "-"), "230400");
    EXPECT_EQ(ini.ReadString("Main", "viewtype", "-"), "161");
    EXPECT_EQ(ini.ReadString("Main", "mode", "-"), "0");
    EXPECT_EQ(ini.ReadString("Ports", "COM1", "-"), sim.Path());
}
#endif

// True once the process catches the signal; a loaded or sanitized start can take seconds.
bool CatchesSignal(qint64 pid, int number) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (number - 1)) & 1;
    }
    return false;
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
