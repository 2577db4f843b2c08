#pragma once

// TLogFile: records the raw byte stream into numbered segment files of about segmentLimit
// bytes and packs each finished segment into a ZIP archive of 100 segments; after archiveCount
// archives the names are used again from the first.

#include <QString>
#include <cstdint>
#include <memory>

namespace record {

constexpr int kLogBufferSize = 131072;
constexpr int32_t kSegmentLimit = 33554432;
constexpr int kArchiveCount = 20;
constexpr int kSegmentsPerArchive = 100;

// The path with the extension of its last component replaced (ext with its dot, or empty).
QString ChangeFileExt(const QString& path, const QString& ext);

class TLogFile {
public:
    // Creates no file. Without a buffer (it could not be allocated) the log takes no data.
    TLogFile(const QString& fileName, int bufferSize, int32_t segmentLimit, int archiveCount);
    ~TLogFile();
    TLogFile(const TLogFile&) = delete;
    TLogFile& operator=(const TLogFile&) = delete;

    bool OpenSegmentSet(const QString& fileName);
    // False once the log is closed.
    bool WriteStream(const uint8_t* bytes, int count);
    // Writes what is buffered and packs the open segment; the log takes no more data.
    void CloseLog();
    bool AddToArchive(const QString& path);

    bool HasBuffer() const { return buffer_ != nullptr; }
    int SegmentIndex() const { return segmentIndex; }
    int ArchiveIndex() const { return archiveIndex; }
    const QString& SegmentPath() const { return segmentPath; }
    const QString& ArchivePath() const { return archivePath; }

private:
    static constexpr int kClosed = -1;
    static constexpr int kPending = 0;

    void FinishSegment();
    void CreateSegmentFile();
    void WriteToSegment(const uint8_t* bytes, int count);
    void PackSegment();

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
};

}  // namespace record
