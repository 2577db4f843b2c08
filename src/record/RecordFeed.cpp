#include "RecordFeed.h"

#include <algorithm>

namespace {

// Bytes handed to the decoder at once: big enough for its speed, small enough for the array.
constexpr size_t kPiece = size_t{1} << 20;

}  // namespace

RecordFeed::RecordFeed(int32_t distanceLimit, int chunk, RecordSink sink, LinkCounts* counts)
    : decoder_(distanceLimit),
      chunk_(static_cast<size_t>(std::max(chunk, 0))),
      sink_(std::move(sink)),
      points_(1, ScanPoint{}) {
    decoder_.CountInto(counts);
}

void RecordFeed::Append(const uint8_t* bytes, size_t count) {
    while (count > 0) {
        size_t take = std::min(count, kPiece);
        if (chunk_ > 0)
            take = std::min(take, chunk_ - inBuffer_);
        // Room for every record the bytes can give, as in the whole buffer's array.
        points_.resize(std::max(points_.size(), static_cast<size_t>(decoder_.RoomFor(take))),
                       ScanPoint{});
        Deliver(decoder_.Decode(bytes, take, points_.data(), static_cast<int>(points_.size())));
        bytes += take;
        count -= take;
        inBuffer_ += take;
        if (chunk_ > 0 && inBuffer_ == chunk_)
            EndBuffer();
    }
}

void RecordFeed::EndBuffer() {
    points_.resize(std::max(points_.size(), static_cast<size_t>(decoder_.RoomFor(0))), ScanPoint{});
    Deliver(decoder_.EndBuffer(points_.data(), static_cast<int>(points_.size())));
    inBuffer_ = 0;
}

void RecordFeed::Deliver(int written) {
    if (written > 0)
        sink_(points_.data(), static_cast<size_t>(written));
    // A decode may write into the next free slot without taking it, and the next record's
    // untouched fields read what is there: that slot moves to the front, the rest is cleared.
    const ScanPoint next = points_[written];
    std::fill_n(points_.begin(), written + 1, ScanPoint{});
    points_[0] = next;
}
