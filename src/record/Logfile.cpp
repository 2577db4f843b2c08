#include "Logfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "SystemError.h"
#include "ZipArchive.h"

namespace record {

QString ChangeFileExt(const QString& path, const QString& ext) {
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const int cut = dot > slash ? dot : path.size();
    return path.left(cut) + ext;
}

QString SegmentName(const QString& base, int index) {
    return base + QString::asprintf(".%03d", index);
}

QString ExistingRecordingFile(const QString& fileName) {
    const QString archive = ChangeFileExt(fileName, QStringLiteral(".Zip"));
    if (QFileInfo::exists(archive))
        return archive;
    const QString base = ChangeFileExt(fileName, QString());
    for (int i = 0; i < kSegmentsPerArchive; ++i) {
        if (QFileInfo::exists(SegmentName(base, i)))
            return SegmentName(base, i);
    }
    return QString();
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
    if (bytesInSegment >= segmentLimit || segmentBroken_)
        FinishSegment();
    if (buffered + count < bufferSize) {
        std::memcpy(buffer_.get() + buffered, bytes, static_cast<size_t>(count));
        buffered += count;
        return true;
    }
    return Flush(bytes, count);
}

// The buffer and then the chunk go to the segment file, created when none is open.
bool TLogFile::Flush(const uint8_t* bytes, int count) {
    const int held = buffered;
    buffered = 0;
    if (dataFile == kPending && !CreateSegmentFile(held + count))
        return false;
    return WriteToSegment(buffer_.get(), held, count) && WriteToSegment(bytes, count, 0);
}

void TLogFile::FinishSegment() {
    PackSegment();
    buffered = 0;
    bytesInSegment = 0;
    segmentBroken_ = false;
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
    segmentPath = SegmentName(basePath, segmentIndex);
}

// Never over an existing file: what lies under the name is packed or moved aside first.
bool TLogFile::CreateSegmentFile(int64_t lostIfNot) {
    const QByteArray path = QFile::encodeName(segmentPath);
    const auto create = [&path] {
        return open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    };
    int fd = create();
    int error = errno;
    if (fd < 0 && error == EEXIST && QFileInfo(segmentPath).isFile()) {
        const bool cleared = ClearSegmentName();
        error = errno;
        if (cleared) {
            fd = create();
            error = errno;
        }
    }
    if (fd < 0) {
        Fail(LogFault::Kind::Create, SystemErrorText(error), lostIfNot);
        return false;
    }
    dataFile = fd + 1;
    return true;
}

// A segment that an earlier pass could not pack is packed into its own archive now; when that
// fails too, or the file is not one of ours, it is renamed aside.
bool TLogFile::ClearSegmentName() {
    QString reason = SystemErrorText(EEXIST);
    const auto unpacked = unpacked_.find(segmentIndex);
    if (unpacked != unpacked_.end()) {
        const QString archive = unpacked->second;
        unpacked_.erase(unpacked);
        // Its archive's name may belong to this pass by now; the pass's archive stays its own.
        if (archive != archivePath && Pack(segmentPath, archive, reason))
            return QFile::remove(segmentPath);
    }
    QString aside = segmentPath + QStringLiteral(".kept");
    for (int n = 1; QFileInfo::exists(aside); ++n)
        aside = segmentPath + QStringLiteral(".kept.%1").arg(n);
    if (rename(QFile::encodeName(segmentPath).constData(), QFile::encodeName(aside).constData()) !=
        0)
        return false;
    Fail(LogFault::Kind::Keep, reason, 0, aside);
    return true;
}

bool TLogFile::WriteToSegment(const uint8_t* bytes, int count, int64_t lostWithIt) {
    if (count == 0)
        return true;
    while (count > 0) {
        const ssize_t n = write(dataFile - 1, bytes, static_cast<size_t>(count));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            CloseSegmentFile();
            Fail(LogFault::Kind::Write, SystemErrorText(error), count + lostWithIt);
            if (bytesInSegment == 0)
                QFile::remove(segmentPath);  // empty: the name is tried again
            else
                segmentBroken_ = true;
            return false;
        }
        bytes += n;
        count -= static_cast<int>(n);
        bytesInSegment += n;
    }
    // A removed folder or file takes the written bytes with it when the file is closed.
    struct stat status = {};
    if (fstat(dataFile - 1, &status) == 0 && status.st_nlink == 0) {
        CloseSegmentFile();
        Fail(LogFault::Kind::Write, SystemErrorText(ENOENT), bytesInSegment + lostWithIt);
        bytesInSegment = 0;
        return false;
    }
    return true;
}

void TLogFile::CloseSegmentFile() {
    if (dataFile > kPending)
        close(dataFile - 1);
    dataFile = kPending;
}

// Closes the segment file and moves it into the archive; it stays when that fails.
void TLogFile::PackSegment() {
    CloseSegmentFile();
    if (bytesInSegment == 0)
        return;
    QString reason;
    if (Pack(segmentPath, archivePath, reason)) {
        QFile::remove(segmentPath);
        return;
    }
    // A segment removed from under the recording took its bytes along.
    const bool gone = !QFileInfo::exists(segmentPath);
    if (!gone)
        unpacked_[segmentIndex] = archivePath;
    Fail(LogFault::Kind::Pack, reason, gone ? bytesInSegment : 0);
}

bool TLogFile::Pack(const QString& segment, const QString& archive, QString& reason) {
    std::string error;
    if (AppendFileToArchive(QFile::encodeName(archive).toStdString(),
                            QFile::encodeName(segment).toStdString(), error))
        return true;
    reason = QString::fromStdString(error);
    return false;
}

void TLogFile::Fail(LogFault::Kind kind, const QString& reason, int64_t lost,
                    const QString& keptAs) {
    status_.lostBytes += lost;
    ++status_.faults;
    status_.lastFault = LogFault{kind, segmentPath, reason, keptAs};
    if (onFault)
        onFault(status_);
}

void TLogFile::CloseLog() {
    if (dataFile == kClosed)
        return;
    if (buffered > 0)
        Flush(nullptr, 0);
    PackSegment();
    dataFile = kClosed;
    bytesInSegment = 0;
}

bool TLogFile::AddToArchive(const QString& path) {
    QString reason;
    return Pack(path, archivePath, reason);
}

}  // namespace record
