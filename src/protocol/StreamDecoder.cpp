#include "StreamDecoder.h"

#include <algorithm>
#include <cstring>

#include "ScannerInterface.h"

namespace {

constexpr uint8_t kEndMark = 0x80;
// A text segment shorter than this is never searched for lines, so neither side of a cut
// inside text may be shorter. The side after the cut loses the two bytes before the next end
// mark to the packet there.
constexpr size_t kMinTextBefore = TLaserDecode::kMinTextSegment;
constexpr size_t kMinTextAfter = TLaserDecode::kMinTextSegment + 2;

// A line runs from a '#' to a CR or LF, or up to the next '#': none spans this place.
bool LineBoundary(const uint8_t* bytes, size_t at) {
    const uint8_t before = bytes[at - 1];
    return bytes[at] == scanner::kCommandStart || before == '\r' || before == '\n';
}

// Where bytes that start a pass may be cut, so that one call up to the cut and calls from it on
// give what one call over all of them gives: right after the last end mark (every pass of a
// call ends there), or later in the text that follows it, at a place no line spans.
size_t CutPoint(const uint8_t* bytes, size_t count) {
    size_t last = count;
    while (last > 0 && !(bytes[last - 1] & kEndMark)) --last;
    if (count - last < kMinTextBefore + kMinTextAfter)
        return last;
    const size_t textEnd = count - kMinTextAfter;
    if (std::memchr(bytes + last, scanner::kCommandStart, textEnd - last) == nullptr)
        return textEnd;
    for (size_t cut = textEnd; cut >= last + kMinTextBefore; --cut) {
        if (LineBoundary(bytes, cut))
            return cut;
    }
    return last;
}

}  // namespace

StreamDecoder::StreamDecoder(int32_t distanceLimit, size_t maxHeld)
    : distanceLimit_(distanceLimit), maxHeld_(std::clamp<size_t>(maxHeld, 1, kMaxHeld)) {}

int StreamDecoder::RoomFor(size_t count) const {
    // No record takes fewer than 3 bytes; one more as margin.
    return static_cast<int>(std::min<size_t>((held_.size() + count) / 3 + 1, INT_MAX));
}

int StreamDecoder::Call(const uint8_t* bytes, size_t count, ScanPoint* points, int capacity) {
    if (count == 0)
        return 0;
    const int n = static_cast<int>(count);
    return counts_ ? decoder_.DecodeStream(points, capacity, bytes, n, distanceLimit_, *counts_)
                   : decoder_.DecodeStream(points, capacity, bytes, n, distanceLimit_);
}

int StreamDecoder::DecodeHeld(size_t count, ScanPoint* points, int capacity) {
    const int written = Call(held_.data(), count, points, capacity);
    held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(count));
    const void* hash = std::memchr(held_.data(), scanner::kCommandStart, held_.size());
    firstHash_ =
        hash ? static_cast<size_t>(static_cast<const uint8_t*>(hash) - held_.data()) : held_.size();
    searched_ = 0;
    return written;
}

// The place to cut held text, searching only what came since the last search; 0 for none.
size_t StreamDecoder::HeldTextCut() {
    const size_t size = held_.size();
    if (size < kMinTextBefore + kMinTextAfter)
        return 0;
    const size_t textEnd = size - kMinTextAfter;
    if (firstHash_ >= textEnd)
        return textEnd;
    const size_t low = std::max(kMinTextBefore, searched_);
    for (size_t cut = textEnd; cut >= low; --cut) {
        if (LineBoundary(held_.data(), cut))
            return cut;
    }
    searched_ = textEnd + 1;
    return 0;
}

void StreamDecoder::Hold(const uint8_t* bytes, size_t count) {
    if (firstHash_ == held_.size()) {
        const void* hash = std::memchr(bytes, scanner::kCommandStart, count);
        firstHash_ += hash ? static_cast<size_t>(static_cast<const uint8_t*>(hash) - bytes) : count;
    }
    held_.insert(held_.end(), bytes, bytes + count);
}

int StreamDecoder::Decode(const uint8_t* bytes, size_t count, ScanPoint* points, int capacity) {
    if (counts_)
        counts_->bytes += static_cast<int64_t>(count);
    int written = 0;
    if (!held_.empty()) {
        // The held bytes and the new ones up to their first end mark end where a pass ends.
        const int searched = static_cast<int>(std::min<size_t>(count, INT_MAX));
        const size_t end = static_cast<size_t>(TLaserDecode::FindPacketEnd(bytes, searched));
        const bool ended = end < count;
        const size_t take = ended ? end + 1 : count;
        Hold(bytes, take);
        bytes += take;
        count -= take;
        if (ended) {
            written += DecodeHeld(held_.size(), points, capacity);
        } else {
            const size_t cut = HeldTextCut();
            if (cut > 0)
                written += DecodeHeld(cut, points, capacity);
            if (held_.size() >= maxHeld_)
                written += DecodeHeld(held_.size(), points + written, capacity - written);
            return written;
        }
    }
    const size_t cut = CutPoint(bytes, count);
    written += Call(bytes, cut, points + written, capacity - written);
    Hold(bytes + cut, count - cut);
    if (held_.size() >= maxHeld_)
        written += DecodeHeld(held_.size(), points + written, capacity - written);
    return written;
}

int StreamDecoder::EndBuffer(ScanPoint* points, int capacity) {
    return held_.empty() ? 0 : DecodeHeld(held_.size(), points, capacity);
}

void StreamDecoder::Reset() {
    held_.clear();
    searched_ = 0;
    firstHash_ = 0;
}
