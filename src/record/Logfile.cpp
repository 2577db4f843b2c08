#include "Logfile.h"

#include <fcntl.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "ZipArchive.h"

namespace record {

QString ChangeFileExt(const QString& path, const QString& ext) {
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const int cut = dot > slash ? dot : path.size();
    return path.left(cut) + ext;
}

TLogFile::TLogFile(const QString& fileName, int bufferSize, int32_t segmentLimit, int archiveCount)
    : bufferSize(bufferSize), segmentLimit(segmentLimit), archiveCount(archiveCount) {
    if (bufferSize > 0)
        buffer_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(bufferSize) + 1]);
    basePath = ChangeFileExt(fileName, QString());
    OpenSegmentSet(fileName);
}

TLogFile::~TLogFile() {
    CloseLog();
}

bool TLogFile::OpenSegmentSet(const QString& fileName) {
    archivePath = ChangeFileExt(fileName, QStringLiteral(".Zip"));
    bytesInSegment = 0;
    segmentIndex = 0;
    segmentPath = ChangeFileExt(fileName, QStringLiteral(".000"));
    dataFile = kPending;
    return true;
}

bool TLogFile::WriteStream(const uint8_t* bytes, int count) {
    if (dataFile == kClosed || !buffer_ || count < 0)
        return false;
    if (bytesInSegment >= segmentLimit)
        FinishSegment();
    if (buffered + count < bufferSize) {
        std::memcpy(buffer_.get() + buffered, bytes, static_cast<size_t>(count));
        buffered += count;
        return true;
    }
    if (dataFile == kPending)
        CreateSegmentFile();
    // Without a file the buffered bytes and the chunk are lost; the next write tries again.
    WriteToSegment(buffer_.get(), buffered);
    WriteToSegment(bytes, count);
    buffered = 0;
    return true;
}

void TLogFile::FinishSegment() {
    WriteToSegment(buffer_.get(), buffered);
    PackSegment();
    buffered = 0;
    dataFile = kPending;
    bytesInSegment = 0;
    if (++segmentIndex >= kSegmentsPerArchive) {
        ++archiveIndex;
        if (archiveIndex < archiveCount) {
            archivePath = basePath + QString::asprintf(".%03d", archiveIndex) + ".Zip";
        } else {
            archiveIndex = 0;
            archivePath = basePath + ".Zip";
        }
        // A later pass owns this name now: what an earlier pass or recording left goes.
        QFile::remove(archivePath);
        segmentIndex = 0;
    }
    segmentPath = basePath + QString::asprintf(".%03d", segmentIndex);
}

void TLogFile::CreateSegmentFile() {
    const int fd = open(QFile::encodeName(segmentPath).constData(),
                        O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    dataFile = fd >= 0 ? fd + 1 : kPending;
}

void TLogFile::WriteToSegment(const uint8_t* bytes, int count) {
    if (dataFile <= kPending)
        return;
    while (count > 0) {
        const ssize_t n = write(dataFile - 1, bytes, static_cast<size_t>(count));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;  // write errors on the segment go unreported, as the format allows
        bytes += n;
        count -= static_cast<int>(n);
        bytesInSegment += n;
    }
}

// Closes the open segment file and moves it into the archive; it stays when that fails.
void TLogFile::PackSegment() {
    if (dataFile <= kPending)
        return;
    close(dataFile - 1);
    dataFile = kPending;
    if (bytesInSegment > 0 && AddToArchive(segmentPath))
        QFile::remove(segmentPath);
}

void TLogFile::CloseLog() {
    if (dataFile == kClosed)
        return;
    if (buffered > 0) {
        if (dataFile == kPending)
            CreateSegmentFile();
        WriteToSegment(buffer_.get(), buffered);
        buffered = 0;
    }
    PackSegment();
    dataFile = kClosed;
    bytesInSegment = 0;
}

bool TLogFile::AddToArchive(const QString& path) {
    std::string error;
    return AppendFileToArchive(QFile::encodeName(archivePath).toStdString(),
                               QFile::encodeName(path).toStdString(), error);
}

}  // namespace record
