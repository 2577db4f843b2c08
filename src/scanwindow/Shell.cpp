#include "Shell.h"

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <exception>

#include "AppPaths.h"
#include "ScanWindow.h"
#include "SignalClose.h"
#include "TextCodec.h"
#include "Translations.h"
#include "WidgetPrompt.h"

namespace scanwindow {

bool WriteHistoryText(const QString& path, const QByteArray& gbkText) {
    QFile::remove(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray text = ToLocaleText(FromGbk(gbkText));
    return file.write(text) == text.size();
}

QString HelpText() {
    return QString::fromUtf8(
        "程序设计：Halvex 软件组\r\n微信号:halvex-lidar\r\nEmail:support@halvex.example");
}

int RunShowingExceptions(Prompt& prompt, const std::function<int()>& run) {
    QString text;
    try {
        return run();
    } catch (const std::exception& failure) {
        text = QString::fromLocal8Bit(failure.what());
    } catch (...) {
        text = QStringLiteral("Unknown exception");
    }
    prompt.Message(text, QCoreApplication::applicationName(), Prompt::Icon::Error);
    return 1;
}

int RunWindowProgram(int argc, char** argv, const WindowMaker& makeWindow) {
    QApplication app(argc, argv);
    LoadQtChinese(app);
    WidgetPrompt prompt;
    return RunShowingExceptions(prompt, [&] {
        const std::unique_ptr<TScanWindow> window =
            makeWindow(IniPathFor(QApplication::applicationFilePath()));
        SignalClose signalClose(window.get());
        // Without a window manager nobody maximises; the geometry then already covers the screen.
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            window->setGeometry(screen->availableGeometry());
        window->showMaximized();
        // A signal during the start (in the port dialog or a warning) has closed the window.
        if (!window->FormShow() || !window->isVisible())
            return 0;
        return app.exec();
    });
}

}  // namespace scanwindow
