#include "ShellCommands.h"

#include <QCoreApplication>
#include <QFile>
#include <exception>

#include "Prompt.h"

#include "TextCodec.h"

// The resource lives in a static library; nothing would pull it in otherwise.
static void LoadConsoleResources() {
    Q_INIT_RESOURCE(console);
}

namespace console {

QByteArray ChangeHistoryText() {
    LoadConsoleResources();
    QFile resource(QStringLiteral(":/console/history.txt"));
    if (!resource.open(QIODevice::ReadOnly))
        return {};
    return resource.readAll();
}

bool WriteChangeHistory(const QString& path) {
    return WriteHistoryText(path, ChangeHistoryText());
}

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

}  // namespace console
