#include "ShellCommands.h"

#include <QFile>

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

}  // namespace console
