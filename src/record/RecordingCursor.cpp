#include "RecordingCursor.h"

#include <algorithm>
#include <climits>

#include "ScannerInterface.h"
#include "StreamDecoder.h"

namespace record {
namespace {

// A marker packet has at most five bytes.
constexpr uint64_t kMarkerBytes = 5;
// A revolution is a few kilobytes; a stream that lost its markers for longer is shown in part.
constexpr uint64_t kMaxRevolutionBytes = 1 << 20;

}  // namespace

RecordingCursor::RecordingCursor(const RecordingSet& set, const RevolutionIndex& index,
                                 int32_t distanceLimit)
    : set_(set), index_(index), distanceLimit_(distanceLimit) {}

void RecordingCursor::SetBaud(int baud) {
    if (baud > 0)
        baud_ = baud;
}

bool RecordingCursor::Read(int k, uint64_t from, uint64_t to, Chunk& chunk, QString& error) const {
    const std::shared_ptr<const EntryAccess> indexed = index_.Access(k);
    EntryAccess found;
    if (!indexed && !set_.Access(k, found, error))
        return false;
    const EntryAccess& access = indexed ? *indexed : found;
    const uint64_t size = access.Location().size;
    uint64_t end = to;
    if (!access.Location().deflated) {
        from -= from % EntryAccess::kSpan;
        end = std::max(to, std::min(size, from + EntryAccess::kSpan));
    } else if (indexed) {
        // Up to the next access point, where the next read would start anyway.
        const auto& points = access.Points();
        const auto next = std::find_if(points.begin(), points.end(),
                                       [from](const AccessPoint& p) { return p.out > from; });
        end = std::max(to, next == points.end() ? size : next->out);
    }
    chunk.segment = k;
    std::string reason;
    if (!access.ReadRange(from, end, chunk.bytes, chunk.begin, reason)) {
        error = set_.Describe(k, reason);
        return false;
    }
    return true;
}

const uint8_t* RecordingCursor::Bytes(int k, uint64_t from, uint64_t to, Chunk* unheld,
                                      QString& error) {
    const auto covers = [&](const Chunk& c) {
        return c.segment == k && c.begin <= from && c.begin + c.bytes.size() >= to;
    };
    const auto held = std::find_if(held_.begin(), held_.end(), covers);
    if (held != held_.end()) {
        if (held != held_.begin())
            std::rotate(held_.begin(), held, held + 1);
        return held_.front().bytes.data() + (from - held_.front().begin);
    }
    if (unheld) {
        if (!Read(k, from, to, *unheld, error))
            return nullptr;
        return unheld->bytes.data() + (from - unheld->begin);
    }
    // The oldest goes before the next is read, so no more than kHeldChunks are ever held.
    if (held_.size() >= kHeldChunks)
        held_.pop_back();
    Chunk chunk;
    if (!Read(k, from, to, chunk, error))
        return nullptr;
    held_.push_front(std::move(chunk));
    return held_.front().bytes.data() + (from - held_.front().begin);
}

int RecordingCursor::Decode(uint64_t from, uint64_t to, ScanPoint* points, int capacity, bool hold,
                            QString& error) {
    StreamDecoder decoder(distanceLimit_);
    int written = 0;
    for (int k = set_.SegmentAt(from); k < set_.SegmentCount() && set_.Start(k) < to; ++k) {
        const uint64_t begin = std::max(from, set_.Start(k)) - set_.Start(k);
        const uint64_t end = std::min(to, set_.Start(k + 1)) - set_.Start(k);
        Chunk unheld;
        const uint8_t* bytes = Bytes(k, begin, end, hold ? nullptr : &unheld, error);
        if (!bytes)
            return -1;
        written += decoder.Decode(bytes, end - begin, points + written, capacity - written);
    }
    return written + decoder.EndBuffer(points + written, capacity - written);
}

bool RecordingCursor::Seek(int r) {
    const int count = index_.Count();
    error_.clear();
    samples_.clear();
    if (count == 0) {
        error_ = QStringLiteral("no revolution found");
        return false;
    }
    revolution_ = std::clamp(r, 0, count - 1);
    const uint64_t from = index_.Position(revolution_);
    // The next marker's packet ends the revolution; without one, what was read so far does.
    const uint64_t end = revolution_ + 1 < count ? index_.Position(revolution_ + 1) + kMarkerBytes
                                                 : index_.ScannedBytes();
    const uint64_t to =
        std::max(from, std::min({end, set_.TotalBytes(), from + kMaxRevolutionBytes}));
    samples_.assign(static_cast<size_t>((to - from) / 3 + 1), ScanPoint{});
    const int written =
        Decode(from, to, samples_.data(), static_cast<int>(samples_.size()), true, error_);
    samples_.resize(static_cast<size_t>(std::max(written, 0)));
    if (written < 0)
        return false;
    const auto next =
        std::find_if(samples_.begin() + (samples_.empty() ? 0 : 1), samples_.end(),
                     [](const ScanPoint& p) { return p.angle == scanner::kInfoZeroDegree; });
    if (next != samples_.end())
        samples_.erase(next + 1, samples_.end());
    return true;
}

bool RecordingCursor::SeekPosition(uint64_t position) {
    return Seek(std::max(index_.At(position), 0));
}

bool RecordingCursor::Next() {
    if (revolution_ + 1 >= index_.Count()) {
        error_ = QStringLiteral("the last revolution");
        return false;
    }
    return Seek(revolution_ + 1);
}

bool RecordingCursor::Previous() {
    if (revolution_ <= 0) {
        error_ = QStringLiteral("the first revolution");
        return false;
    }
    return Seek(revolution_ - 1);
}

bool RecordingCursor::NextSegment() {
    const int first = index_.FirstOf(Segment() + 1);
    if (first >= index_.Count()) {
        error_ = QStringLiteral("the last segment");
        return false;
    }
    return Seek(first);
}

bool RecordingCursor::PreviousSegment() {
    const int segment = Segment();
    // The nearest earlier segment in which a revolution begins.
    for (int k = segment - 1; k >= 0; --k) {
        const int first = index_.FirstOf(k);
        if (first < index_.FirstOf(segment))
            return Seek(first);
    }
    error_ = QStringLiteral("the first segment");
    return false;
}

int RecordingCursor::DecodeSegment(int k, ScanPoint* points, int capacity, QString& error) {
    // Read once for the data view, so not held.
    return Decode(index_.PacketStart(k), index_.PacketStart(k + 1), points, capacity, false, error);
}

int RecordingCursor::SegmentRoom(const RecordingSet& set) {
    uint64_t largest = 0;
    for (const record::Segment& segment : set.Segments()) largest = std::max(largest, segment.size);
    // A packet split at either end adds at most a packet's bytes.
    return static_cast<int>(std::min<uint64_t>((largest + 2 * kMarkerBytes) / 3 + 1, INT_MAX));
}

}  // namespace record
