#include "AppPaths.h"

#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString IniPathFor(const QString& executablePath) {
    const QFileInfo exe(executablePath);
    const QString name = exe.completeBaseName() + QStringLiteral(".ini");
    const QString folder = exe.absolutePath();
    if (access(QFile::encodeName(folder).constData(), W_OK) == 0)
        return folder + '/' + name;
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QDir().mkpath(config);
    return config + '/' + name;
}

QString BesideIni(const QString& iniPath, const QString& fileName) {
    return QFileInfo(iniPath).absolutePath() + '/' + fileName;
}
