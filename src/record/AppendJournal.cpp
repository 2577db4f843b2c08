#include "AppendJournal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace record {
namespace {

constexpr char kMagic[8] = {'V', 'Y', 'K', 'Z', 'J', 'N', 'L', '1'};
// magic, existed, old length, tail start, device, inode, prefix length, tail length
constexpr size_t kHeaderBytes = 8 + 4 + 8 + 8 + 8 + 8 + 4 + 8;
constexpr size_t kCrcBytes = 4;
constexpr size_t kPrefixBytes = 64;
constexpr size_t kEndRecordBytes = 22;
constexpr size_t kZip64LocatorBytes = 20;
constexpr size_t kZip64EndBytes = 56;
constexpr size_t kMaxCommentBytes = 0xFFFF;
// Far above any central directory of a recording: a larger file is not a journal of ours.
constexpr uint64_t kMaxJournalBytes = 256u << 20;

std::string Reason() {
    return std::strerror(errno);
}

bool Fail(std::string& error, const std::string& what) {
    error = what + ": " + Reason();
    return false;
}

uint64_t Le(const std::string& bytes, size_t at, int size) {
    uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

void PutLe(std::string& bytes, uint64_t value, int size) {
    for (int i = 0; i < size; ++i) bytes += static_cast<char>(value >> (8 * i) & 0xFF);
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    // Closing reports what a delayed write met.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return close(fd) == 0;
    }

private:
    int fd_;
};

bool ReadAt(int fd, std::string& bytes, uint64_t at, size_t count) {
    bytes.resize(count);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = pread(fd, bytes.data() + done, count - done, at + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool WriteAt(int fd, const std::string& bytes, uint64_t at) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = pwrite(fd, bytes.data() + done, bytes.size() - done, at + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string Folder(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A created or removed name lasts only once its folder is synced too.
bool SyncFolder(const std::string& path, std::string& error) {
    Fd folder(open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() < 0 || fsync(folder.Get()) != 0)
        return Fail(error, "cannot sync the folder of " + path);
    return true;
}

bool RemoveJournal(const std::string& journalPath, std::string& error) {
    if (unlink(journalPath.c_str()) != 0 && errno != ENOENT)
        return Fail(error, "cannot remove " + journalPath);
    return SyncFolder(journalPath, error);
}

// Where an append will write: the central directory as the end record places it, and as
// the ZIP64 end record does; the lower of them, so that either reading of the archive is
// covered. False when the archive has no end record.
bool FindTailStart(int fd, uint64_t size, uint64_t& tailStart) {
    const size_t span = static_cast<size_t>(std::min<uint64_t>(
        size, kMaxCommentBytes + kEndRecordBytes + kZip64LocatorBytes + kZip64EndBytes));
    std::string end;
    if (size < kEndRecordBytes || !ReadAt(fd, end, size - span, span))
        return false;
    const uint64_t base = size - span;
    const auto last = [&end](const char* signature, size_t recordBytes) {
        for (size_t i = end.size() - recordBytes + 1; i-- > 0;) {
            if (end.compare(i, 4, signature, 4) == 0)
                return i;
        }
        return std::string::npos;
    };
    const size_t record = last("PK\x05\x06", kEndRecordBytes);
    if (record == std::string::npos)
        return false;
    tailStart = base + record;
    const auto consider = [&](uint64_t recordAt, uint64_t directorySize, uint64_t offset) {
        tailStart = std::min(tailStart, offset);
        if (directorySize <= recordAt)
            tailStart = std::min(tailStart, recordAt - directorySize);
    };
    consider(base + record, Le(end, record + 12, 4), Le(end, record + 16, 4));
    const size_t locator = last("PK\x06\x07", kZip64LocatorBytes);
    std::string zip64;
    if (locator != std::string::npos) {
        const uint64_t at = Le(end, locator + 8, 8);
        if (at < size && ReadAt(fd, zip64, at, kZip64EndBytes) &&
            zip64.compare(0, 4, "PK\x06\x06", 4) == 0)
            consider(at, Le(zip64, 40, 8), Le(zip64, 48, 8));
    }
    return true;
}

std::string Encode(const AppendJournal::Saved& saved) {
    std::string bytes(kMagic, sizeof kMagic);
    PutLe(bytes, saved.existed, 4);
    PutLe(bytes, saved.oldLength, 8);
    PutLe(bytes, saved.tailStart, 8);
    PutLe(bytes, saved.device, 8);
    PutLe(bytes, saved.inode, 8);
    PutLe(bytes, saved.prefix.size(), 4);
    PutLe(bytes, saved.tail.size(), 8);
    bytes += saved.prefix;
    bytes += saved.tail;
    PutLe(bytes,
          crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())),
          4);
    return bytes;
}

// False for a journal that a crash cut short or that is not one of ours.
bool Decode(const std::string& bytes, AppendJournal::Saved& saved) {
    if (bytes.size() < kHeaderBytes + kCrcBytes || bytes.compare(0, 8, kMagic, 8) != 0)
        return false;
    const size_t body = bytes.size() - kCrcBytes;
    if (Le(bytes, body, 4) !=
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(body)))
        return false;
    saved.existed = Le(bytes, 8, 4) != 0;
    saved.oldLength = Le(bytes, 12, 8);
    saved.tailStart = Le(bytes, 20, 8);
    saved.device = Le(bytes, 28, 8);
    saved.inode = Le(bytes, 36, 8);
    const uint64_t prefixBytes = Le(bytes, 44, 4);
    const uint64_t tailBytes = Le(bytes, 48, 8);
    if (prefixBytes > kPrefixBytes || prefixBytes > body - kHeaderBytes ||
        tailBytes != body - kHeaderBytes - prefixBytes || saved.tailStart > saved.oldLength ||
        saved.oldLength - saved.tailStart != tailBytes || prefixBytes > saved.tailStart)
        return false;
    saved.prefix = bytes.substr(kHeaderBytes, prefixBytes);
    saved.tail = bytes.substr(kHeaderBytes + prefixBytes, tailBytes);
    return true;
}

// True when the archive is the file the journal was written for, as its untouched start shows.
bool IsTheSavedArchive(int fd, const struct stat& status, const AppendJournal::Saved& saved) {
    std::string prefix;
    return static_cast<uint64_t>(status.st_dev) == saved.device &&
           static_cast<uint64_t>(status.st_ino) == saved.inode &&
           ReadAt(fd, prefix, 0, saved.prefix.size()) && prefix == saved.prefix;
}

// Puts the saved end back: the archive as it was before the append began, synced.
bool Restore(const std::string& archivePath, const AppendJournal::Saved& saved,
             std::string& error) {
    if (!saved.existed) {
        // Synced before the journal goes, so that no half-written archive outlives it.
        if (unlink(archivePath.c_str()) != 0 && errno != ENOENT)
            return Fail(error, "cannot remove the unfinished archive " + archivePath);
        return SyncFolder(archivePath, error);
    }
    Fd archive(open(archivePath.c_str(), O_RDWR | O_CLOEXEC));
    if (archive.Get() < 0) {
        // Removed since: there is nothing left to restore.
        return errno == ENOENT || Fail(error, "cannot open " + archivePath);
    }
    struct stat status = {};
    if (fstat(archive.Get(), &status) != 0)
        return Fail(error, "cannot read " + archivePath);
    if (!IsTheSavedArchive(archive.Get(), status, saved))
        return true;
    if (ftruncate(archive.Get(), static_cast<off_t>(saved.oldLength)) != 0 ||
        !WriteAt(archive.Get(), saved.tail, saved.tailStart) || fsync(archive.Get()) != 0 ||
        !archive.Close())
        return Fail(error, "cannot restore the archive " + archivePath);
    return true;
}

// Opens the journal and takes its lock, which its writer holds until the append is done, so
// that a reader waits for an append that is running instead of taking it back. A journal
// that its writer removed meanwhile is gone: -1 with ENOENT, unless create makes a new one.
int OpenLocked(const std::string& path, bool create) {
    for (;;) {
        const int fd = open(path.c_str(), (create ? O_RDWR | O_CREAT : O_RDONLY) | O_CLOEXEC, 0644);
        if (fd < 0)
            return -1;
        int locked;
        while ((locked = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        struct stat held = {};
        struct stat named = {};
        if (locked == 0 && fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            return fd;
        const int reason = locked == 0 ? ENOENT : errno;
        close(fd);
        if (!create || reason != ENOENT) {
            errno = reason;
            return -1;
        }
    }
}

// Takes back the append that the locked journal records, when it records one completely,
// and removes the journal.
bool RecoverLocked(int journal, const std::string& archivePath, const std::string& journalPath,
                   std::string& error) {
    struct stat status = {};
    std::string bytes;
    if (fstat(journal, &status) != 0)
        return Fail(error, "cannot read " + journalPath);
    const uint64_t size = static_cast<uint64_t>(status.st_size);
    if (size <= kMaxJournalBytes && !ReadAt(journal, bytes, 0, static_cast<size_t>(size)))
        return Fail(error, "cannot read " + journalPath);
    AppendJournal::Saved saved;
    if (Decode(bytes, saved) && !Restore(archivePath, saved, error)) {
        error += "; the archive is restored when it is next opened";
        return false;
    }
    return RemoveJournal(journalPath, error);
}

}  // namespace

bool RecoverInterruptedAppend(const std::string& archivePath, std::string& error) {
    const std::string journalPath = archivePath + kAppendJournalSuffix;
    Fd journal(OpenLocked(journalPath, false));
    if (journal.Get() < 0)
        return errno == ENOENT || Fail(error, "cannot read " + journalPath);
    return RecoverLocked(journal.Get(), archivePath, journalPath, error);
}

AppendJournal::~AppendJournal() {
    Unlock();
}

void AppendJournal::Unlock() {
    if (lock_ >= 0)
        close(lock_);
    lock_ = -1;
}

bool AppendJournal::Begin(const std::string& archivePath, std::string& error) {
    archivePath_ = archivePath;
    journalPath_ = archivePath + kAppendJournalSuffix;
    saved_ = Saved();
    for (;;) {
        lock_ = OpenLocked(journalPath_, true);
        struct stat status = {};
        if (lock_ < 0 || fstat(lock_, &status) != 0)
            return Fail(error, "cannot write " + journalPath_);
        if (status.st_size == 0)
            break;
        // Left by a writer that died after this process last looked.
        const bool recovered = RecoverLocked(lock_, archivePath, journalPath_, error);
        Unlock();
        if (!recovered)
            return false;
    }
    if (Save(error))
        return true;
    std::string ignored;
    RemoveJournal(journalPath_, ignored);
    Unlock();
    return false;
}

bool AppendJournal::Save(std::string& error) {
    Fd archive(open(archivePath_.c_str(), O_RDONLY | O_CLOEXEC));
    if (archive.Get() < 0 && errno != ENOENT)
        return Fail(error, "cannot open the archive " + archivePath_);
    if (archive.Get() >= 0) {
        struct stat status = {};
        if (fstat(archive.Get(), &status) != 0)
            return Fail(error, "cannot read " + archivePath_);
        saved_.existed = true;
        saved_.oldLength = static_cast<uint64_t>(status.st_size);
        saved_.device = static_cast<uint64_t>(status.st_dev);
        saved_.inode = static_cast<uint64_t>(status.st_ino);
        errno = 0;
        if (!FindTailStart(archive.Get(), saved_.oldLength, saved_.tailStart)) {
            error = archivePath_ + " is not a ZIP archive";
            if (errno != 0)
                error += ": " + Reason();
            return false;
        }
        const size_t prefixBytes =
            static_cast<size_t>(std::min<uint64_t>(kPrefixBytes, saved_.tailStart));
        if (!ReadAt(archive.Get(), saved_.prefix, 0, prefixBytes) ||
            !ReadAt(archive.Get(), saved_.tail, saved_.tailStart,
                    static_cast<size_t>(saved_.oldLength - saved_.tailStart)))
            return Fail(error, "cannot read " + archivePath_);
    }
    if (!WriteAt(lock_, Encode(saved_), 0) || fsync(lock_) != 0)
        return Fail(error, "cannot write " + journalPath_);
    return SyncFolder(journalPath_, error);
}

bool AppendJournal::Undo(std::string& error) {
    bool undone = Restore(archivePath_, saved_, error);
    if (!undone)
        error += "; the archive is restored when it is next opened";
    else
        undone = RemoveJournal(journalPath_, error);
    Unlock();
    return undone;
}

bool AppendJournal::Commit(std::string& error) {
    Fd archive(open(archivePath_.c_str(), O_RDONLY | O_CLOEXEC));
    if (archive.Get() < 0 || fsync(archive.Get()) != 0)
        return Fail(error, "cannot sync " + archivePath_);
    if (!RemoveJournal(journalPath_, error))
        return false;
    Unlock();
    return true;
}

}  // namespace record
