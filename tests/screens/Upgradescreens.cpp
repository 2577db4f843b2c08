// The upgrade window after a finished upgrade of the simulated scanner, and after a transfer
// whose line was lost, as PNG files:
//   upgrade_screens OUTPUT_FOLDER

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

#include "Iapdlg.h"
#include "IniFile.h"
#include "NxIapPort.h"
#include "WidgetPrompt.h"

namespace {

constexpr int kImageSize = 16384;
constexpr int kPatienceMs = 30000;

struct Screen {
    const char* file;
    QStringList simFaults;
    QString lastStep;  // the list line the window is shown at, or its start
};

// Runs the window against a fresh simulated scanner until its list shows the screen's step.
bool Shoot(const Screen& screen, const QString& folder) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("scanner"));
    QFile image(dir.filePath(QStringLiteral("vyk10-v7.08.03.bin")));
    image.open(QIODevice::WriteOnly);
    for (int i = 0; i < kImageSize; ++i) image.putChar(static_cast<char>(i * 7));
    image.close();

    IniFile ini(dir.filePath(QStringLiteral("VYK-10.ini")));
    if (!ini.WriteString(QStringLiteral("Ports"), QStringLiteral("COM3"), link) ||
        !ini.WriteInteger(QStringLiteral("IAP"), QStringLiteral("COM"), 3) ||
        !ini.WriteString(QStringLiteral("IAP"), QStringLiteral("filename"), image.fileName())) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(ini.Path()));
        return 1;
    }
    WidgetPrompt prompt;
    TfrmIAP window(std::make_unique<NxIapPort>(&ini, &prompt), ini, prompt);
    window.show();
    // The port is opened, then the scanner switched on.
    QProcess sim;
    sim.start(QStringLiteral(VYK_SIM_PATH),
              QStringList{QStringLiteral("--boot"), dir.filePath(QStringLiteral("programmed.bin")),
                          QStringLiteral("--baud"), QStringLiteral("115200"),
                          QStringLiteral("--link"), link} +
                  screen.simFaults);
    if (!sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "upgrade_screens: vyk-sim did not start\n");
        return false;
    }
    window.btnComport->click();
    const auto reached = [&] {
        return !window.ListBox1->findItems(screen.lastStep, Qt::MatchStartsWith).isEmpty();
    };
    QElapsedTimer clock;
    clock.start();
    while (!reached() && clock.elapsed() < kPatienceMs)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    const QString path = QDir(folder).filePath(QString::fromLatin1(screen.file));
    const bool saved = reached() && window.grab().save(path);
    sim.terminate();
    sim.waitForFinished();
    if (!saved) {
        std::fprintf(stderr, "upgrade_screens: %s: the window never showed \"%s\"\n", screen.file,
                     qPrintable(screen.lastStep));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: upgrade_screens OUTPUT_FOLDER\n");
        return 2;
    }
    const Screen screens[] = {
        {"upgrade_window.png", {}, QStringLiteral("升级完成!")},
        {"upgrade_interrupted.png",
         {QStringLiteral("--hangup-after-image"), QStringLiteral("6000")},
         QStringLiteral("串口断开，传输中断(")},
    };
    int code = 0;
    for (const Screen& screen : screens) {
        if (!Shoot(screen, QString::fromLocal8Bit(argv[1])))
            code = 1;
    }
    return code;
}
