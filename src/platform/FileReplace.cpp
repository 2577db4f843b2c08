#include "FileReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>

#include "SystemError.h"

namespace {

bool WriteAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = write(fd, data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        data += n;
        left -= n;
    }
    return true;
}

// A name beside target that nobody else has, opened for writing; -1 with errno on failure.
int CreateBeside(const QByteArray& target, unsigned mode, QByteArray& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name =
            target + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 16) + ".new";
        const int fd = open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The rename is only as durable as the folder's entry.
bool SyncFolder(const QByteArray& target) {
    const QByteArray folder =
        QFile::encodeName(QFileInfo(QFile::decodeName(target)).absolutePath());
    const int fd = open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Some file systems cannot sync a folder; they say so with EINVAL.
    const bool synced = fsync(fd) == 0 || errno == EINVAL;
    const int error = errno;
    close(fd);
    errno = error;
    return synced;
}

}  // namespace

WriteResult WriteResult::Failed(int errorCode) {
    return Failed(SystemErrorText(errorCode));
}

WriteResult ReplaceFile(const QString& path, const QByteArray& bytes, LinkRule links,
                        unsigned newFileMode) {
    const QFileInfo info(path);
    const bool follow = links == LinkRule::ReplaceTarget && info.isSymLink();
    const QByteArray target = QFile::encodeName(follow ? info.symLinkTarget() : path);
    QByteArray aside;
    const int fd = CreateBeside(target, newFileMode, aside);
    if (fd < 0)
        return WriteResult::Failed(errno);
    struct stat old = {};
    const bool keepMode = lstat(target.constData(), &old) == 0 && S_ISREG(old.st_mode);
    bool ok = (!keepMode || fchmod(fd, old.st_mode & 07777) == 0) && WriteAll(fd, bytes) &&
              fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && rename(aside.constData(), target.constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        unlink(aside.constData());
        return WriteResult::Failed(error);
    }
    return SyncFolder(target) ? WriteResult{} : WriteResult::Failed(errno);
}
