// Renders VYK-05 over a live scan from the simulator with three zones, the one in the moving
// object's path hit, and VYK-05 replaying a recording of the simulator with an edited zone and
// the summary of the whole recording, into PNG files:
//   zone_screens OUTPUT_FOLDER

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

#include "IniFile.h"
#include "PortDialogAnswer.h"
#include "ScriptedPrompt.h"
#include "SimProcess.h"
#include "SimRecording.h"
#include "SpawnedProgram.h"
#include "ThreeZones.h"
#include "Vyk10dlg.h"
#include "Vykgraph.h"

namespace {

void Wait(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool LiveZones(const QString& folder) {
    SimProcess sim({"--model", "vyk05", "--duration", "120"});
    if (sim.Path().empty()) {
        std::fprintf(stderr, "vyk-sim did not start\n");
        return false;
    }
    QTemporaryDir dir;
    zone::ZoneToolOptions options;
    options.iniPath = dir.filePath("VYK-05.ini");
    IniFile ini(options.iniPath);
    if (!StoreZones(ini, ThreeZones())) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(options.iniPath));
        return false;
    }
    // The scanner decides the outputs from its own zones: give it the same three first.
    SpawnedProgram push({VYK_ZONES_PATH, "push", sim.Path(), options.iniPath.toStdString()}, true);
    const std::string said = push.ReadAll(60);
    if (push.WaitExit(5) != 0) {
        std::fprintf(stderr, "vyk-zones push failed: %s\n", said.c_str());
        return false;
    }
    if (!ini.WriteString("Ports", "COM1", QString::fromStdString(sim.Path()))) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(options.iniPath));
        return false;
    }
    zone::TfrmVYK10 window(options);
    window.resize(1920, 1040);
    window.show();
    AnswerPortDialog("COM1", true);
    bool saved = false;
    if (window.FormShow()) {
        window.Tool().PlayClicked();
        // Until the walking object stands in the first zone.
        QElapsedTimer waited;
        waited.start();
        while ((window.Graph()->OutputState() & 1) == 0 && waited.elapsed() < 30000) Wait(100);
        Wait(300);
        const QString path = folder + "/zone_live.png";
        saved = window.grab().save(path);
        std::printf("%s %s (output state %d)\n", saved ? "wrote" : "could not write",
                    qPrintable(path), window.Graph()->OutputState());
    }
    window.close();
    return saved;
}

bool ReplayedZones(const QString& folder) {
    QTemporaryDir dir;
    const std::string failed =
        RecordZoneScanner(VYK_RECORD_PATH, dir.filePath("run").toStdString());
    if (!failed.empty()) {
        std::fprintf(stderr, "%s\n", failed.c_str());
        return false;
    }
    ScriptedPrompt prompt;
    prompt.fileNames = {dir.filePath("run.Zip")};
    zone::ZoneToolOptions options;
    options.iniPath = dir.filePath("VYK-05.ini");
    options.prompt = &prompt;
    IniFile ini(options.iniPath);
    if (!StoreZones(ini, ThreeZones())) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(options.iniPath));
        return false;
    }
    zone::TfrmVYK10 window(options);
    window.resize(1920, 1040);
    window.show();
    window.SystemCommand(zone::kCmdOpenRecording);
    if (!window.Replaying()) {
        std::fprintf(stderr, "the recording did not open: %s\n",
                     qPrintable(prompt.MessageTexts().join(' ')));
        return false;
    }
    // The boxes filled as the group box fills them.
    window.cbbRectIndex->setCurrentIndex(1);
    window.cbbRectIndex->setCurrentIndex(0);
    // The walk zone drawn narrower and less sensitive, as a user trying it would.
    const char* edited[] = {"160", "110", "160", "190", "80", "220", "20", "190", "20", "110"};
    zone::OutputControls& first = window.outputs[0];
    for (int i = 0; i < ZoneBoxes::kCoordinates; ++i) first.coordinate[i]->setText(edited[i]);
    first.sensitivity->setText(QStringLiteral("3"));
    first.save->click();
    QElapsedTimer waited;
    waited.start();
    while (!window.Summary()->Current().done && waited.elapsed() < 30000) Wait(100);
    // On to the middle of the revolutions that trip the edited zone.
    const ZoneRecordingSummary::Progress progress = window.Summary()->Current();
    const ZoneSummary& walk = progress.zones.front();
    const int target =
        walk.first ? static_cast<int>((walk.first->index + walk.last->index) / 2) : 0;
    while (window.Replaying()->Revolution() < target &&
           window.Replaying()->Move(scanwindow::ReplayMove::Next, 0)) {
    }
    window.ReplayMoveExecute(scanwindow::ReplayMove::Next);
    Wait(500);
    const QString path = folder + "/zone_replay.png";
    const bool saved = window.grab().save(path);
    std::printf("%s %s (revolution %d, %s)\n", saved ? "wrote" : "could not write",
                qPrintable(path), window.Replaying()->Revolution(),
                qPrintable(window.lblZoneSummary->text().replace('\n', "; ")));
    window.close();
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: zone_screens OUTPUT_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    const bool live = LiveZones(folder);
    return live && ReplayedZones(folder) ? 0 : 1;
}
