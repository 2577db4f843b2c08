// Renders VYK-05 over a live scan from the simulator with three zones, the one in the moving
// object's path hit, into a PNG file:
//   zone_screens OUTPUT_FOLDER

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

#include "IniFile.h"
#include "PortDialogAnswer.h"
#include "SimProcess.h"
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

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: zone_screens OUTPUT_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    return LiveZones(folder) ? 0 : 1;
}
