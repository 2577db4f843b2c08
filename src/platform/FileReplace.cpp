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

WriteResult ReplacingFile::Open(const QString& path, LinkRule links, unsigned newFileMode) {
    Discard();
    const QFileInfo info(path);
    const bool follow = links == LinkRule::ReplaceTarget && info.isSymLink();
    target_ = QFile::encodeName(follow ? info.symLinkTarget() : path);
    fd_ = CreateBeside(target_, newFileMode, aside_);
    if (fd_ < 0)
        return WriteResult::Failed(errno);
    struct stat old = {};
    const bool keepMode = lstat(target_.constData(), &old) == 0 && S_ISREG(old.st_mode);
    if (keepMode && fchmod(fd_, old.st_mode & 07777) != 0)
        return Fail(errno);
    return {};
}

WriteResult ReplacingFile::Write(const char* bytes, size_t count) {
    if (fd_ < 0)
        return WriteResult::Failed(EBADF);
    while (count > 0) {
        const ssize_t n = write(fd_, bytes, count);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Fail(errno);
        bytes += n;
        count -= static_cast<size_t>(n);
    }
    return {};
}

WriteResult ReplacingFile::Commit() {
    if (fd_ < 0)
        return WriteResult::Failed(EBADF);
    if (fsync(fd_) != 0)
        return Fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0 || rename(aside_.constData(), target_.constData()) != 0) {
        const int error = errno;
        unlink(aside_.constData());
        return WriteResult::Failed(error);
    }
    return SyncFolder(target_) ? WriteResult{} : WriteResult::Failed(errno);
}

void ReplacingFile::Discard() {
    if (fd_ < 0)
        return;
    close(fd_);
    fd_ = -1;
    unlink(aside_.constData());
}

WriteResult ReplacingFile::Fail(int error) {
    Discard();
    return WriteResult::Failed(error);
}

WriteResult ReplaceFile(const QString& path, const QByteArray& bytes, LinkRule links,
                        unsigned newFileMode) {
    ReplacingFile file;
    WriteResult result = file.Open(path, links, newFileMode);
    if (result)
        result = file.Write(bytes.constData(), static_cast<size_t>(bytes.size()));
    return result ? file.Commit() : result;
}
