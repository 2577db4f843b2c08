#pragma once

// TLogFile: records the raw byte stream into numbered segment files of about segmentLimit
// bytes and packs each finished segment into a ZIP archive of 100 segments; after archiveCount
// archives the names are used again from the first.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace record {

constexpr int kLogBufferSize = 131072;
constexpr int32_t kSegmentLimit = 33554432;
constexpr int kArchiveCount = 20;
constexpr int kSegmentsPerArchive = 100;

// The path with the extension of its last component replaced (ext with its dot, or empty).
QString ChangeFileExt(const QString& path, const QString& ext);

// The name of segment index (0..99) of the recording whose path without extension is base.
QString SegmentName(const QString& base, int index);

// The first file that a recording chosen as fileName would create in its first pass and that
// exists already (its archive, then its segments 000 to 099); empty when there is none.
QString ExistingRecordingFile(const QString& fileName);

// One failure of a recording: what it tried, on which file, and the system's reason.
struct LogFault {
    enum class Kind {
        None,
        Create,  // the segment file could not be created: the bytes of that write are lost
        Write,   // writing the segment failed part way: the rest is lost, the segment ends
        Pack,    // the segment could not be packed; it stays on disk under its name
        Keep,    // a segment file in the way of a later pass was renamed aside
    };
    Kind kind = Kind::None;
    QString path;    // the segment file
    QString reason;  // why, in the system's words
    QString keptAs;  // Keep: the new name
};

struct LogStatus {
    int64_t lostBytes = 0;  // bytes handed to WriteStream that reached no file
    int faults = 0;         // failures so far; the newest is lastFault
    LogFault lastFault;
};

class TLogFile {
public:
    // Creates no file. Without a buffer (it could not be allocated) the log takes no data.
    TLogFile(const QString& fileName, int bufferSize, int32_t segmentLimit, int archiveCount);
    ~TLogFile();
    TLogFile(const TLogFile&) = delete;
    TLogFile& operator=(const TLogFile&) = delete;

    bool OpenSegmentSet(const QString& fileName);
    // False when the log is closed or bytes of this call (or buffered before it) were lost;
    // Status() then says what and why. The next write starts again with the next segment.
    bool WriteStream(const uint8_t* bytes, int count);
    // Writes what is buffered and packs the open segment; the log takes no more data.
    void CloseLog();
    bool AddToArchive(const QString& path);

    bool HasBuffer() const { return buffer_ != nullptr; }
    bool IsClosed() const { return dataFile == kClosed; }
    int ArchiveIndex() const { return archiveIndex; }
    const QString& SegmentPath() const { return segmentPath; }
    const QString& ArchivePath() const { return archivePath; }
    const LogStatus& Status() const { return status_; }

    // Told of each failure as it happens, with the status it leaves.
    std::function<void(const LogStatus&)> onFault;

private:
    static constexpr int kClosed = -1;
    static constexpr int kPending = 0;

    void FinishSegment();
    bool Flush(const uint8_t* bytes, int count);
    // Either fails with the bytes that then reach no file counted as lost.
    bool CreateSegmentFile(int64_t lostIfNot);
    bool ClearSegmentName();
    bool WriteToSegment(const uint8_t* bytes, int count, int64_t lostWithIt);
    void CloseSegmentFile();
    void PackSegment();
    bool Pack(const QString& segment, const QString& archive, QString& reason);
    void Fail(LogFault::Kind kind, const QString& reason, int64_t lost,
              const QString& keptAs = QString());

    int segmentIndex = 0;
    int dataFile = kPending;  // kClosed, kPending (created at the next write to disk) or fd + 1
    QString segmentPath;
    QString archivePath;
    QString basePath;
    int buffered = 0;
    int bufferSize;
    std::unique_ptr<uint8_t[]> buffer_;
    int64_t bytesInSegment = 0;
    int32_t segmentLimit;
    int archiveCount;
    int archiveIndex = 0;

    // A write failed: the segment ends with what it holds at the next write.
    bool segmentBroken_ = false;
    // Segments left on disk after a failed pack, by number, with the archive they belong to.
    std::map<int, QString> unpacked_;
    LogStatus status_;
};

}  // namespace record
