#include "HistoryReplay.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <new>

#include "MemoryBudget.h"
#include "Prompt.h"
#include "TextCodec.h"
#include "ZipArchive.h"

namespace console {
namespace {

constexpr char kNoFile[] = "文件不存在！";
constexpr char kOpenFailed[] = "文件打开失败！";
constexpr char kNoFileMemory[] = "申请内存失败，不能打开文件！";
constexpr char kNoPointMemory[] = "申请内存错误，请退出程序!";
constexpr char kParseError[] = "解析错误！";
constexpr char kNoData[] = "文件无数据！";

class BusyScope {
public:
    explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyScope() { flag_ = false; }

private:
    bool& flag_;
};

// The count actually read replaces the size.
void ReadWhole(int fd, std::vector<uint8_t>& bytes) {
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    bytes.resize(got);
}

QString EntryName(const record::ZipReader& reader, int index) {
    const std::string& name = reader.EntryName(index);
    const QByteArray bytes(name.data(), static_cast<qsizetype>(name.size()));
    return reader.NameIsUtf8(index) ? QString::fromUtf8(bytes) : FromGbk(bytes);
}

}  // namespace

HistoryReplay::HistoryReplay(scanwindow::PointStore& store, const TLaserDecode& decoder,
                             Prompt& prompt, QString& historyFile)
    : availableMemory(AvailableMemory),
      store_(store),
      decoder_(decoder),
      prompt_(prompt),
      historyFile_(historyFile) {}

bool HistoryReplay::IsArchivePath(const QString& path) {
    return QFileInfo(path).fileName().toUpper().endsWith(QStringLiteral(".ZIP"));
}

uint64_t HistoryReplay::FileBudget() const {
    // The decoder counts bytes in an int; one byte more than the file is allocated.
    const uint64_t available = availableMemory();
    return std::min<uint64_t>(available > 0 ? available - 1 : 0, INT_MAX - 1);
}

uint64_t HistoryReplay::GrowthNeeded(uint64_t n) const {
    if (static_cast<uint64_t>(store_.pointCapacity) * 3 >= n)
        return 0;
    // The old buffer is freed before the new one is allocated.
    const uint64_t need = (n / 3 + 1) * sizeof(ScanPoint);
    const uint64_t freed = store_.pointBuffer.size() * sizeof(ScanPoint);
    return need > freed ? need - freed : 0;
}

bool HistoryReplay::Fits(uint64_t n) const {
    return n <= FileBudget() && n + 1 + GrowthNeeded(n) <= availableMemory();
}

bool HistoryReplay::MakeRoom(int records) {
    if (store_.pointCapacity >= records)
        return true;
    // The old buffer is freed before the new one is allocated.
    const uint64_t need = static_cast<uint64_t>(records) * sizeof(ScanPoint);
    const uint64_t freed = store_.pointBuffer.size() * sizeof(ScanPoint);
    if (need > freed && need - freed > availableMemory())
        return false;
    store_.pointCount = 0;
    store_.pointBuffer = std::vector<ScanPoint>();
    store_.pointCapacity = 0;
    try {
        store_.pointBuffer.resize(static_cast<size_t>(records));
    } catch (const std::bad_alloc&) {
        return false;
    }
    store_.pointCapacity = records;
    return true;
}

LoadResult HistoryReplay::LoadChosen(const QString& path) {
    if (IsArchivePath(path))
        return LoadArchiveEntry(0);
    const LoadResult result = LoadHistoryFile(path);
    archiveEntryCount = 0;
    if (showPath)
        showPath(path);
    return result;
}

LoadResult HistoryReplay::LoadHistoryFile(const QString& path) {
    BusyScope busy(busy_);
    if (!QFileInfo::exists(path)) {
        prompt_.Message(QString::fromUtf8(kNoFile));
        return LoadResult::Failed;
    }
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat status = {};
    if (fd < 0 || fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
        if (fd >= 0)
            close(fd);
        prompt_.Message(QString::fromUtf8(kOpenFailed));
        return LoadResult::Failed;
    }
    historyFile_ = path;
    // A FIFO or device counts as empty instead of blocking the window.
    const uint64_t size = S_ISREG(status.st_mode) ? static_cast<uint64_t>(status.st_size) : 0;
    std::vector<uint8_t> bytes;
    // Checked before anything is read or freed: a file too large keeps the replay shown.
    bool allocated = Fits(size);
    if (allocated) {
        try {
            bytes.resize(size);
        } catch (const std::bad_alloc&) {
            allocated = false;
        }
    }
    if (!allocated) {
        close(fd);
        prompt_.Message(QString::fromUtf8(kNoFileMemory));
        return LoadResult::Failed;
    }
    ReadWhole(fd, bytes);
    close(fd);
    if (showPath)
        showPath(path);
    return Decode(bytes);
}

LoadResult HistoryReplay::LoadArchiveEntry(int index) {
    BusyScope busy(busy_);
    // minizip would wait in its open of a FIFO or a device for a writer that never comes.
    struct stat status = {};
    if (stat(QFile::encodeName(historyFile_).constData(), &status) == 0 &&
        !S_ISREG(status.st_mode)) {
        prompt_.Message(historyFile_ +
                        QStringLiteral(": not a file; archives are read from files"));
        return LoadResult::Failed;
    }
    record::ZipReader reader(QFile::encodeName(historyFile_).toStdString());
    if (!reader.IsOpen()) {
        prompt_.Message(historyFile_ + ": " + QString::fromStdString(reader.Error()));
        return LoadResult::Failed;
    }
    archiveEntryCount = reader.EntryCount();
    if (index < 0 || index >= archiveEntryCount)
        return LoadResult::Failed;
    const QString name = EntryName(reader, index);
    std::vector<uint8_t> bytes;
    switch (reader.ReadEntry(index, FileBudget(), bytes)) {
        case record::ZipReader::Result::TooLarge:
            prompt_.Message(QString::fromUtf8(kNoFileMemory));
            return LoadResult::Failed;
        case record::ZipReader::Result::Failed:
            prompt_.Message(historyFile_ + ": " + QString::fromStdString(reader.Error()));
            return LoadResult::Failed;
        case record::ZipReader::Result::Ok:
            break;
    }
    // The entry is shown under the path it would have beside the archive.
    historyFile_ = QFileInfo(historyFile_).dir().filePath(name);
    const LoadResult result = Decode(bytes);
    if (showPath) {
        showPath(QStringLiteral("%1 , %2/%3:%4")
                     .arg(historyFile_)
                     .arg(index)
                     .arg(archiveEntryCount)
                     .arg(name));
    }
    return result;
}

LoadResult HistoryReplay::Decode(std::vector<uint8_t>& bytes) {
    const uint64_t n = bytes.size();
    if (static_cast<uint64_t>(store_.pointCapacity) * 3 < n) {
        // The bytes are held by now; the memory may have shrunk since the check.
        if (GrowthNeeded(n) > availableMemory()) {
            prompt_.Message(QString::fromUtf8(kNoFileMemory));
            return LoadResult::Failed;
        }
        const uint64_t records = n / 3 + 1;
        store_.pointBuffer = std::vector<ScanPoint>();
        store_.pointCapacity = 0;
        try {
            store_.pointBuffer.resize(records);
            store_.pointCapacity = static_cast<int>(records);
        } catch (const std::bad_alloc&) {
            store_.pointCount = 0;
            prompt_.Message(QString::fromUtf8(kNoPointMemory));
            return LoadResult::Failed;
        }
    }
    try {
        store_.pointCount = decoder_.DecodeStream(store_.pointBuffer.data(), store_.pointCapacity,
                                                  bytes.data(), static_cast<int>(n), distanceLimit);
    } catch (...) {
        bytes = std::vector<uint8_t>();
        store_.pointCount = 0;
        store_.pointBuffer = std::vector<ScanPoint>();
        store_.pointCapacity = 0;
        prompt_.Message(QString::fromUtf8(kParseError));
        return LoadResult::Failed;
    }
    bytes = std::vector<uint8_t>();
    if (store_.pointCount > 0)
        return LoadResult::Loaded;
    prompt_.Message(QString::fromUtf8(kNoData));
    return LoadResult::NoData;
}

}  // namespace console
