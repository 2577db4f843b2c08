#include "WindowedDecoder.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "ScannerInterface.h"

namespace {

constexpr uint8_t kEndMark = 0x80;
// A text segment shorter than this is never searched for lines, so neither side of a cut
// inside text may be shorter. The side after the cut loses the two bytes before the next end
// mark to the packet there.
constexpr size_t kMinTextBefore = TLaserDecode::kMinTextSegment;
constexpr size_t kMinTextAfter = TLaserDecode::kMinTextSegment + 2;
constexpr size_t kMaxCall = INT_MAX;

// Where the held bytes may be cut, so that one call up to the cut and calls from it on give
// what one call over all of them gives: right after the last end mark (every pass of a call
// ends there), or later in the text that follows it, at a place no line spans. 0 when
// nothing can be cut yet.
size_t CutPoint(const uint8_t* bytes, size_t count) {
    size_t last = count;
    while (last > 0 && !(bytes[last - 1] & kEndMark)) --last;
    if (count - last < kMinTextBefore + kMinTextAfter)
        return last;
    // A line runs from a '#' to a CR or LF, or up to the next '#'.
    const size_t textEnd = count - kMinTextAfter;
    if (std::memchr(bytes + last, scanner::kCommandStart, textEnd - last) == nullptr)
        return textEnd;
    for (size_t cut = textEnd; cut >= last + kMinTextBefore; --cut) {
        const uint8_t before = bytes[cut - 1];
        if (bytes[cut] == scanner::kCommandStart || before == '\r' || before == '\n')
            return cut;
    }
    return last;
}

}  // namespace

WindowedDecoder::WindowedDecoder(int32_t distanceLimit, int chunk, RecordSink sink, size_t window)
    : distanceLimit_(distanceLimit),
      chunk_(static_cast<size_t>(std::max(chunk, 0))),
      sink_(std::move(sink)),
      window_(std::clamp<size_t>(window, 1, kMaxCall)),
      points_(1, ScanPoint{}) {
    held_.reserve(window_);
}

void WindowedDecoder::Append(const uint8_t* bytes, size_t count) {
    while (count > 0) {
        size_t take = std::min(count, window_ - held_.size());
        if (chunk_ > 0)
            take = std::min(take, chunk_ - inBuffer_);
        held_.insert(held_.end(), bytes, bytes + take);
        bytes += take;
        count -= take;
        inBuffer_ += take;
        if (chunk_ > 0 && inBuffer_ == chunk_) {
            EndBuffer();
        } else if (held_.size() == window_) {
            DecodeHeld();
        }
    }
}

void WindowedDecoder::EndBuffer() {
    if (!held_.empty())
        DecodeFront(held_.size());
    inBuffer_ = 0;
}

void WindowedDecoder::DecodeHeld() {
    size_t cut = CutPoint(held_.data(), held_.size());
    // A text line longer than one call can take is cut where such a call would cut it.
    if (window_ == kMaxCall && held_.size() - cut > window_ / 2)
        cut = held_.size();
    if (cut > 0)
        DecodeFront(cut);
    // What is left is mostly one text line: the window grows, so that each refill brings at
    // least half a window of new bytes.
    if (held_.size() > window_ / 2) {
        window_ = std::min(window_ * 2, kMaxCall);
        held_.reserve(window_);
    }
}

void WindowedDecoder::DecodeFront(size_t count) {
    // Room for every record the bytes can give, as in the whole buffer's array.
    points_.resize(std::max(points_.size(), count / 3 + 1), ScanPoint{});
    const int written =
        decoder_.DecodeStream(points_.data(), static_cast<int>(points_.size()), held_.data(),
                              static_cast<int>(count), distanceLimit_);
    if (written > 0)
        sink_(points_.data(), static_cast<size_t>(written));
    // A decode may write into the next free slot without taking it, and the next record's
    // untouched fields read what is there: that slot moves to the front, the rest is cleared.
    const ScanPoint next = points_[written];
    std::fill_n(points_.begin(), written + 1, ScanPoint{});
    points_[0] = next;
    held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(count));
}
