#include "RecordingSet.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <climits>

#include "EntryAccess.h"
#include "Leftovers.h"
#include "Logfile.h"
#include "TextCodec.h"
#include "ZipArchive.h"

namespace record {
namespace {

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

bool IsArchiveName(const QString& path) {
    return path.endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive);
}

// The archive's number in its recording, from the name the user opened.
int ArchiveIndexOf(const QString& path, const QString& base) {
    static const QRegularExpression pass(QStringLiteral("^\\.(\\d{3})\\.zip$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pass.match(path.mid(base.size()));
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

bool IsSegmentName(const QString& path) {
    static const QRegularExpression segment(QStringLiteral("\\.\\d{3}$"));
    return segment.match(path).hasMatch();
}

// When the ring has gone round, the archive refilled last holds the newest entries.
time_t NewestEntry(const QString& archive) {
    ZipReader reader(Native(archive));
    time_t newest = 0;
    for (int i = 0; i < reader.EntryCount(); ++i) newest = std::max(newest, reader.ModifiedTime(i));
    return newest > 0 ? newest : QFileInfo(archive).lastModified().toSecsSinceEpoch();
}

bool SameBytes(const QString& file, const QString& archive, int entry) {
    QFile loose(file);
    if (!loose.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = loose.readAll();
    std::vector<uint8_t> packed;
    ZipReader reader(Native(archive));
    return reader.ReadEntry(entry, static_cast<uint64_t>(bytes.size()), packed) ==
               ZipReader::Result::Ok &&
           packed.size() == static_cast<size_t>(bytes.size()) &&
           std::equal(packed.begin(), packed.end(), bytes.begin(),
                      [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); });
}

}  // namespace

QString ShownEntryName(const ZipReader& reader, int index) {
    const std::string& name = reader.EntryName(index);
    const QByteArray bytes(name.data(), static_cast<qsizetype>(name.size()));
    return reader.NameIsUtf8(index) ? QString::fromUtf8(bytes) : FromGbk(bytes);
}

bool RecordingSet::Open(const QString& path, QString& error) {
    segments_.clear();
    starts_.clear();
    problems_.clear();
    const QFileInfo opened(path);
    if (!opened.exists()) {
        error = path + QStringLiteral(": no such file");
        return false;
    }
    // minizip would wait in its open of a FIFO for a writer that never comes.
    if (!opened.isFile()) {
        error = path + QStringLiteral(": not a file; recordings are read from files");
        return false;
    }
    const bool archive = IsArchiveName(path);
    if (!archive && !IsSegmentName(path)) {
        segments_.push_back({path, -1, opened.fileName(), static_cast<uint64_t>(opened.size())});
        Finish();
        return true;
    }
    const QString base = RecordingBase(path);
    std::vector<QString> archives;
    const int openedIndex = archive ? ArchiveIndexOf(path, base) : -1;
    for (int k = 0; k < kArchiveCount; ++k) {
        const QString name = k == openedIndex ? path : ArchiveName(base, k);
        if (QFileInfo(name).isFile())
            archives.push_back(name);
    }
    // Only a full ring can have gone round; until then the names give the order.
    if (archives.size() == static_cast<size_t>(kArchiveCount)) {
        std::vector<std::pair<time_t, QString>> timed;
        for (const QString& name : archives) timed.emplace_back(NewestEntry(name), name);
        std::stable_sort(timed.begin(), timed.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (size_t i = 0; i < timed.size(); ++i) archives[i] = timed[i].second;
    }
    for (const QString& name : archives) {
        if (!AddArchive(name, error) && name == path)
            return false;
    }
    AddLeftovers(path);
    if (!archive && std::none_of(segments_.begin(), segments_.end(),
                                 [&](const Segment& s) { return s.path == path; })) {
        // A segment file that is a copy of an archived one is not read twice.
        segments_.push_back({path, -1, opened.fileName(), static_cast<uint64_t>(opened.size())});
    }
    Finish();
    return true;
}

bool RecordingSet::AddArchive(const QString& archive, QString& error) {
    ZipReader reader(Native(archive));
    if (!reader.IsOpen()) {
        error = archive + QStringLiteral(": ") + QString::fromStdString(reader.Error());
        problems_ << error;
        return false;
    }
    for (int i = 0; i < reader.EntryCount(); ++i)
        segments_.push_back({archive, i, ShownEntryName(reader, i), reader.DeclaredSize(i)});
    return true;
}

void RecordingSet::AddLeftovers(const QString& path) {
    const Leftovers found = FindLeftovers(path);
    // A crash between packing a segment and deleting its file leaves the same bytes twice.
    const QString last = segments_.empty() ? QString() : segments_.back().path;
    for (const QString& file : found.segments) {
        const QFileInfo info(file);
        const auto packed = std::find_if(segments_.begin(), segments_.end(), [&](const Segment& s) {
            return s.path == last && s.name == info.fileName() &&
                   s.size == static_cast<uint64_t>(info.size());
        });
        if (packed != segments_.end() && SameBytes(file, packed->path, packed->entry))
            continue;
        segments_.push_back({file, -1, info.fileName(), static_cast<uint64_t>(info.size())});
    }
}

void RecordingSet::Finish() {
    starts_.assign(1, 0);
    for (const Segment& segment : segments_) starts_.push_back(starts_.back() + segment.size);
}

int RecordingSet::SegmentAt(uint64_t position) const {
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), position);
    return std::min(static_cast<int>(after - starts_.begin()) - 1, SegmentCount());
}

bool RecordingSet::StreamSegment(int k, const Sink& sink, QString& error) const {
    const Segment& segment = At(k);
    if (segment.entry < 0) {
        QFile file(segment.path);
        if (!file.open(QIODevice::ReadOnly)) {
            error = segment.path + QStringLiteral(": ") + file.errorString();
            return false;
        }
        std::vector<uint8_t> block(1 << 20);
        uint64_t got = 0;
        while (got < segment.size) {
            const qint64 n = file.read(
                reinterpret_cast<char*>(block.data()),
                static_cast<qint64>(std::min<uint64_t>(block.size(), segment.size - got)));
            if (n <= 0) {
                error = segment.path + QStringLiteral(": ") +
                        (n < 0 ? file.errorString() : QStringLiteral("shorter than it was"));
                return false;
            }
            sink(block.data(), static_cast<size_t>(n));
            got += static_cast<uint64_t>(n);
        }
        return true;
    }
    ZipReader reader(Native(segment.path));
    if (reader.IsOpen() && segment.entry < reader.EntryCount() &&
        reader.StreamEntry(segment.entry, segment.size, sink) == ZipReader::Result::Ok) {
        return true;
    }
    error = segment.path + QStringLiteral(": ") + QString::fromStdString(reader.Error());
    return false;
}

QString RecordingSet::Describe(int k, const std::string& reason) const {
    const Segment& segment = At(k);
    const QString what = QString::fromStdString(reason);
    return segment.entry < 0
               ? segment.path + QStringLiteral(": ") + what
               : segment.path + QStringLiteral(", ") + segment.name + QStringLiteral(": ") + what;
}

bool RecordingSet::Access(int k, EntryAccess& access, QString& error) const {
    const Segment& segment = At(k);
    if (segment.entry < 0) {
        access.SetFile(Native(segment.path), segment.size);
        return true;
    }
    ZipReader reader(Native(segment.path));
    std::string reason = reader.Error();
    if (reader.IsOpen() && segment.entry < reader.EntryCount() &&
        access.Locate(reader, Native(segment.path), segment.entry, reason)) {
        return true;
    }
    error = Describe(k, reason);
    return false;
}

bool RecordingSet::ReadSegment(int k, uint64_t budget, std::vector<uint8_t>& bytes,
                               QString& error) const {
    bytes.clear();
    if (At(k).size > budget) {
        error = At(k).name + QStringLiteral(": too large for memory");
        return false;
    }
    bytes.reserve(At(k).size);
    const bool read = StreamSegment(
        k,
        [&bytes](const uint8_t* piece, size_t count) {
            bytes.insert(bytes.end(), piece, piece + count);
        },
        error);
    if (!read)
        bytes = std::vector<uint8_t>();
    return read;
}

}  // namespace record
