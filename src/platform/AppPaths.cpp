#include "AppPaths.h"

#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// Both sides resolved, so /bin/X on a merged /usr is the same folder as /usr/bin/X.
bool SameFolder(const QString& a, const QString& b) {
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

}  // namespace

QString InstalledProgramFolder() {
    return QStringLiteral(VYK_INSTALL_BINDIR);
}

QString IniPathFor(const QString& executablePath, const QString& installedFolder) {
    const QFileInfo exe(executablePath);
    const QString name = exe.completeBaseName() + QStringLiteral(".ini");
    const QString folder = exe.absolutePath();
    // An installed program is shared by every user; root could write into /usr/bin, but its
    // settings belong in its own home like anyone else's.
    const bool installed = SameFolder(folder, installedFolder);
    if (!installed && access(QFile::encodeName(folder).constData(), W_OK) == 0)
        return folder + '/' + name;
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QDir().mkpath(config);
    return config + '/' + name;
}

QString BesideIni(const QString& iniPath, const QString& fileName) {
    return QFileInfo(iniPath).absolutePath() + '/' + fileName;
}
