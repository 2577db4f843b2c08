#include <QApplication>
#include <QScreen>

#include "AppPaths.h"
#include "Prompt.h"
#include "ShellCommands.h"
#include "SignalClose.h"
#include "Translations.h"
#include "Vyk10dlg.h"

static int Run(QApplication& app) {
    console::ConsoleOptions options;
    options.iniPath = IniPathFor(QApplication::applicationFilePath());
    console::TfrmVYK10 window(options);
    SignalClose signalClose(&window);
    // Without a window manager nobody maximises; the geometry then already covers the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        window.setGeometry(screen->availableGeometry());
    }
    window.showMaximized();
    // A signal during the start (in the port dialog or a warning) has closed the window.
    if (!window.FormShow() || !window.isVisible())
        return 0;
    return app.exec();
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    LoadQtChinese(app);
    WidgetPrompt prompt;
    return console::RunShowingExceptions(prompt, [&app] { return Run(app); });
}
