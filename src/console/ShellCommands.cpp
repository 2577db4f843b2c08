#include "ShellCommands.h"

#include <QFile>

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

}  // namespace console
