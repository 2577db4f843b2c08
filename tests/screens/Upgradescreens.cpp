// The upgrade window after a finished upgrade of the simulated scanner, as a PNG file:
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

bool Finished(const QListWidget& list) {
    return !list.findItems(QStringLiteral("升级完成!"), Qt::MatchExactly).isEmpty();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: upgrade_screens OUTPUT_FOLDER\n");
        return 2;
    }
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
    int code = 0;
    {
        TfrmIAP window(std::make_unique<NxIapPort>(&ini, &prompt), ini, prompt);
        window.show();
        // The port is opened, then the scanner switched on.
        QProcess sim;
        sim.start(
            QStringLiteral(VYK_SIM_PATH),
            {QStringLiteral("--boot"), dir.filePath(QStringLiteral("programmed.bin")),
             QStringLiteral("--baud"), QStringLiteral("115200"), QStringLiteral("--link"), link});
        if (!sim.waitForReadyRead(5000)) {
            std::fprintf(stderr, "upgrade_screens: vyk-sim did not start\n");
            return 1;
        }
        window.btnComport->click();
        QElapsedTimer clock;
        clock.start();
        while (!Finished(*window.ListBox1) && clock.elapsed() < kPatienceMs)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        const QString path = QDir(QString::fromLocal8Bit(argv[1])).filePath("upgrade_window.png");
        if (!Finished(*window.ListBox1) || !window.grab().save(path)) {
            std::fprintf(stderr, "upgrade_screens: no finished upgrade to show\n");
            code = 1;
        } else {
            std::printf("%s\n", qPrintable(path));
        }
    }
    return code;
}
