#include <QApplication>

#include "AppPaths.h"
#include "SignalClose.h"
#include "Vyk10dlg.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    console::ConsoleOptions options;
    options.iniPath = IniPathFor(QApplication::applicationFilePath());
    console::TfrmVYK10 window(options);
    SignalClose signalClose(&window);
    window.showMaximized();
    if (!window.FormShow()) return 0;
    return app.exec();
}
