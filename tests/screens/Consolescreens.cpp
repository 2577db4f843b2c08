// Renders the console's settings page after "读取设置" against the simulator, the status bar and
// the "链路状态" window on a damaged line, the decode tool after each of its explanations, and
// the replay of a recording of 99 segments in the circle and the data view, into PNG files:
//   console_screens OUTPUT_FOLDER

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <memory>

#include "Decodedlg.h"
#include "IniFile.h"
#include "Linkstatusdlg.h"
#include "PortDialogAnswer.h"
#include "RecordingSets.h"
#include "ScriptedPrompt.h"
#include "Settingspage.h"
#include "Shell.h"
#include "Vyk10dlg.h"
#include "WidgetPrompt.h"

namespace {

void Wait(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool Save(QWidget& widget, const QString& path) {
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

// The console connected to a simulator started with simArgs; shoot takes the pictures once the
// port is open and says whether they were written.
bool OnSimulator(const QStringList& simArgs,
                 const std::function<bool(console::TfrmVYK10&)>& shoot) {
    QProcess sim;
    sim.start(QStringLiteral(VYK_SIM_PATH),
              QStringList{"--baud", "230400", "--duration", "60"} + simArgs);
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "vyk-sim did not start\n");
        return false;
    }
    const QString device = QString::fromUtf8(sim.readLine()).trimmed();
    QTemporaryDir dir;
    console::ConsoleOptions options;
    options.iniPath = dir.filePath("VYK-10.ini");
    if (!IniFile(options.iniPath).WriteString("Ports", "COM1", device)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(options.iniPath));
        return false;
    }
    console::TfrmVYK10 window(options);
    window.resize(1106, 700);
    window.show();
    AnswerPortDialog("COM1", true);
    const bool saved = window.FormShow() && shoot(window);
    window.close();
    sim.kill();
    sim.waitForFinished(5000);
    return saved;
}

bool SettingsPage(const QString& folder) {
    return OnSimulator({}, [&](console::TfrmVYK10& window) {
        Wait(500);
        window.ShowSettingsPage(true);
        window.settingsPage->btnRead->click();
        Wait(1500);
        return Save(window, folder + "/console_settings.png");
    });
}

// A line that drops revolutions, adds stray bytes and flips bits: the status bar turns red and
// the link window counts the losses.
bool LinkStatus(const QString& folder) {
    const QStringList faults = {"--drop-turns", "7", "--garbage", "0.0002", "--corrupt", "0.0002"};
    return OnSimulator(faults, [&](console::TfrmVYK10& window) {
        Wait(4000);
        const bool bar = Save(window, folder + "/console_link_statusbar.png");
        window.SystemCommand(scanwindow::kCmdLinkStatus);
        Wait(700);
        return Save(*window.frmLinkStatus, folder + "/console_link_status.png") && bar;
    });
}

bool DecodeTool(const QString& folder) {
    WidgetPrompt prompt;
    TfrmDecode tool(nullptr, prompt);
    tool.show();
    Wait(100);
    tool.btn3Bytes->click();
    Wait(100);
    const bool three = Save(tool, folder + "/decode_3bytes.png");
    tool.edt2->setText("13 74 16 C0");
    tool.btn4Bytes->click();
    Wait(100);
    return Save(tool, folder + "/decode_4bytes.png") && three;
}

// A recording of 99 segments made by the console's recorder from the simulator's stream, opened
// with the open button: the data view in the middle of segment 40, then the circle view with
// the timeline a third of the way.
bool Replay(const QString& folder) {
    QTemporaryDir dir;
    constexpr int kSegmentLimit = 40000;
    Record(dir.filePath("run"), SimulatedStream(98 * 41000), kSegmentLimit);
    console::ConsoleOptions options;
    options.iniPath = dir.filePath("VYK-10.ini");
    ScriptedPrompt prompt;
    options.prompt = &prompt;
    if (!IniFile(options.iniPath).WriteString("Main", "mode", "1") ||
        !IniFile(options.iniPath).WriteString("Main", "viewtype", "162")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(options.iniPath));
        return false;
    }
    console::TfrmVYK10 window(options);
    window.resize(1106, 700);
    window.show();
    Wait(200);
    prompt.fileNames = {dir.filePath("run.Zip")};
    window.btnOpenFile->trigger();
    scanwindow::RecordingReplay* replay = window.Replaying();
    for (int i = 0; i < 500 && replay && !replay->Index().Done(); ++i) Wait(20);
    if (!replay || replay->Set().SegmentCount() != 99 || replay->Revolution() < 0) {
        std::fprintf(stderr, "the recording did not open as 99 segments\n");
        return false;
    }
    // PageDown as the user presses it, up to segment 40 (shown as 40/99 in panel 7).
    for (int k = replay->Segment(); k < 40 && replay->Segment() < 40; ++k)
        window.ReplayMoveExecute(scanwindow::ReplayMove::NextSegment);
    window.scrlbrHisLog->setValue(window.store.pointCount / 2);
    Wait(300);
    const bool data = Save(window, folder + "/console_replay_segment40.png");
    window.SelectView(vykgraph::kViewCircle);
    window.sldTimeline->setValue(scanwindow::RecordingReplay::kTimelineSteps / 3);
    Wait(300);
    const bool circle = Save(window, folder + "/console_replay_circle.png");
    window.close();
    return data && circle;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: console_screens OUTPUT_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    const bool settings = SettingsPage(folder);
    const bool link = LinkStatus(folder);
    const bool replay = Replay(folder);
    return DecodeTool(folder) && settings && link && replay ? 0 : 1;
}
