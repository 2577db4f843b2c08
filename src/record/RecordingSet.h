#pragma once

// All the segments of one recording, in the order they were recorded: every entry of its
// archives and the segment files a crash or a failed pack left beside them. Together they are
// one continuous stream; a packet may be split between two segments.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

namespace record {

class EntryAccess;
class ZipReader;

// An entry's name as the user reads it: stored in UTF-8 or in the writer's GBK.
QString ShownEntryName(const ZipReader& reader, int index);

struct Segment {
    QString path;       // the archive, or the segment file itself
    int entry = -1;     // the entry's index in the archive; -1 for a segment file
    QString name;       // as shown to the user
    uint64_t size = 0;  // bytes of stream it holds
};

class RecordingSet {
public:
    // Any archive of the recording, a leftover segment file of it, or a raw file alone (which
    // is a set of one segment). False with the reason in error; the set is then empty.
    bool Open(const QString& path, QString& error);
    // Archives of the set that could not be read and are left out, each with its reason.
    const QStringList& Problems() const { return problems_; }

    const std::vector<Segment>& Segments() const { return segments_; }
    int SegmentCount() const { return static_cast<int>(segments_.size()); }
    const Segment& At(int k) const { return segments_[static_cast<size_t>(k)]; }
    // Where segment k begins in the joined stream.
    uint64_t Start(int k) const { return starts_[static_cast<size_t>(k)]; }
    uint64_t TotalBytes() const { return starts_.empty() ? 0 : starts_.back(); }
    // The segment holding this byte of the joined stream; SegmentCount() past the end.
    int SegmentAt(uint64_t position) const;

    // Segment k whole; false with the reason when it cannot be read or holds more than
    // budget bytes.
    bool ReadSegment(int k, uint64_t budget, std::vector<uint8_t>& bytes, QString& error) const;
    // Segment k piece by piece, without holding it whole.
    using Sink = std::function<void(const uint8_t* bytes, size_t count)>;
    bool StreamSegment(int k, const Sink& sink, QString& error) const;
    // Prepares access for reading segment k in ranges.
    bool Access(int k, EntryAccess& access, QString& error) const;
    // The segment's path and name before a reason, for messages.
    QString Describe(int k, const std::string& reason) const;

private:
    bool AddArchive(const QString& archive, QString& error);
    void AddLeftovers(const QString& path);
    void Finish();

    std::vector<Segment> segments_;
    std::vector<uint64_t> starts_;  // one more than segments_: the last is the total
    QStringList problems_;
};

}  // namespace record
