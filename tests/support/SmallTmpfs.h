#pragma once

// A small tmpfs of the test's own, to see what writes do on a full disk. Mounting needs root;
// where the system refuses, Mounted() is false and Refusal() says why, so the test can skip.

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <string>

class SmallTmpfs {
public:
    explicit SmallTmpfs(int kibibytes = 64) {
        const std::string options = "size=" + std::to_string(kibibytes) + "k,mode=0777";
        if (mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs", 0,
                  options.c_str()) == 0)
            mounted_ = true;
        else
            refusal_ = std::string("mount of a tmpfs refused: ") + std::strerror(errno);
    }
    ~SmallTmpfs() {
        if (mounted_)
            umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& Refusal() const { return refusal_; }
    QString Path() const { return dir_.path(); }
    QString FilePath(const QString& name) const { return dir_.filePath(name); }

    // Takes all but leaveBytes of the free space (in whole pages, as tmpfs counts it) with a
    // filler file; Free gives it back.
    void Fill(long leaveBytes = 0) {
        const int fd = open(Filler().constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0)
            return;
        const std::string page(4096, '#');
        while (write(fd, page.data(), page.size()) > 0) {
        }
        if (leaveBytes > 0) {
            const off_t size = lseek(fd, 0, SEEK_END);
            const off_t keep = size - (leaveBytes + 4095) / 4096 * 4096;
            ftruncate(fd, keep > 0 ? keep : 0);
        }
        close(fd);
    }
    void Free() { unlink(Filler().constData()); }

private:
    QByteArray Filler() const { return QFile::encodeName(dir_.filePath(".filler")); }

    QTemporaryDir dir_;
    bool mounted_ = false;
    std::string refusal_;
};
