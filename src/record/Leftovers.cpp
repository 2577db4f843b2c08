#include "Leftovers.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <vector>

#include "Logfile.h"
#include "ZipArchive.h"

namespace record {
namespace {

QByteArray ReadWhole(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

enum class Held { No, Same, Other };

// Whether the archive holds an entry of the segment's name, and with which bytes.
Held HeldIn(const QString& archive, const QString& segment) {
    ZipReader reader(QFile::encodeName(archive).toStdString());
    const std::string name = QFile::encodeName(QFileInfo(segment).fileName()).toStdString();
    for (int i = 0; i < reader.EntryCount(); ++i) {
        if (reader.EntryName(i) != name)
            continue;
        std::vector<uint8_t> bytes;
        const QByteArray file = ReadWhole(segment);
        if (reader.ReadEntry(i, static_cast<uint64_t>(file.size()), bytes) ==
                ZipReader::Result::Ok &&
            QByteArray(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<qsizetype>(bytes.size())) == file) {
            return Held::Same;
        }
        return Held::Other;
    }
    return Held::No;
}

}  // namespace

QString ArchiveName(const QString& base, int index) {
    return index == 0 ? base + QStringLiteral(".Zip")
                      : base + QString::asprintf(".%03d", index) + QStringLiteral(".Zip");
}

QString RecordingBase(const QString& fileName) {
    const QString base = ChangeFileExt(fileName, QString());
    if (!fileName.endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive))
        return base;
    static const QRegularExpression pass(QStringLiteral("\\.(\\d{3})$"));
    const QRegularExpressionMatch match = pass.match(base);
    if (!match.hasMatch())
        return base;
    const int index = match.captured(1).toInt();
    const QString first = base.left(match.capturedStart());
    // Without the first archive beside it the digits are part of the chosen name.
    if (index >= 1 && index < kArchiveCount && QFileInfo::exists(ArchiveName(first, 0)))
        return first;
    return base;
}

Leftovers FindLeftovers(const QString& fileName) {
    Leftovers found;
    found.base = RecordingBase(fileName);
    QDateTime newest;
    for (int k = 0; k < kArchiveCount; ++k) {
        const QFileInfo archive(ArchiveName(found.base, k));
        if (archive.isFile() && (newest.isNull() || archive.lastModified() > newest)) {
            newest = archive.lastModified();
            found.archiveIndex = k;
        }
    }
    found.archive = ArchiveName(found.base, found.archiveIndex);
    for (int i = 0; i < kSegmentsPerArchive; ++i) {
        const QString segment = SegmentName(found.base, i);
        if (QFileInfo(segment).isFile())
            found.segments << segment;
    }
    return found;
}

bool PackLeftovers(const Leftovers& leftovers, QString& error) {
    const QString nextPass =
        ArchiveName(leftovers.base, (leftovers.archiveIndex + 1) % kArchiveCount);
    for (const QString& segment : leftovers.segments) {
        QString archive = leftovers.archive;
        switch (QFileInfo::exists(archive) ? HeldIn(archive, segment) : Held::No) {
            case Held::Same:
                QFile::remove(segment);
                continue;
            case Held::Other:
                archive = nextPass;
                break;
            case Held::No:
                break;
        }
        std::string reason;
        if (!AppendFileToArchive(QFile::encodeName(archive).toStdString(),
                                 QFile::encodeName(segment).toStdString(), reason)) {
            error = segment + QStringLiteral(": ") + QString::fromStdString(reason);
            return false;
        }
        QFile::remove(segment);
    }
    return true;
}

}  // namespace record
