#include "RevolutionFeed.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <string>

#include "EntryAccess.h"

namespace record {
namespace {

// A marker packet has at most five bytes.
constexpr uint64_t kMarkerBytes = 5;

// Passes on the span's revolutions only: the bytes read around them may hold the samples
// before the first marker and a piece of the revolution after the last.
class SpanReceiver : public ScanReceiver {
public:
    SpanReceiver(ScanReceiver& receiver, const RevolutionSpan& span)
        : receiver_(receiver),
          revolutions_(span.last < 0 ? UINT64_MAX
                                     : static_cast<uint64_t>(span.last - span.first) + 1) {}

    bool Marker(uint64_t bytePosition) override {
        if (markers_ > revolutions_)
            return true;
        ++markers_;
        return receiver_.Marker(bytePosition);
    }
    void Sample(int angle, int32_t distance) override {
        if (markers_ > 0 && markers_ <= revolutions_)
            receiver_.Sample(angle, distance);
    }
    // The span's revolutions begun so far.
    uint64_t Opened() const { return std::min(markers_, revolutions_); }

private:
    ScanReceiver& receiver_;
    const uint64_t revolutions_;
    uint64_t markers_ = 0;  // seen so far; the last one closes the span
};

}  // namespace

RevolutionSpan RevolutionSpan::Whole(const RecordingSet& set) {
    return {0, -1, 0, set.TotalBytes()};
}

RevolutionSpan RevolutionSpan::Of(const RecordingSet& set, const RevolutionIndex& index, int first,
                                  int last) {
    const int count = index.Count();
    if (count == 0)
        return {0, 0, 0, 0};
    RevolutionSpan span;
    span.first = std::clamp(first, 0, count - 1);
    span.last = std::clamp(last, span.first, count - 1);
    span.from = index.Position(span.first);
    if (span.last + 1 < count)
        span.to = std::min(index.Position(span.last + 1) + kMarkerBytes, set.TotalBytes());
    else
        span.to = index.Done() ? set.TotalBytes() : index.ScannedBytes();
    return span;
}

FeedOutcome FeedRevolutions(const RecordingSet& set, const RevolutionSpan& span,
                            int32_t distanceLimit, ScanReceiver& receiver,
                            const ExportProgress& progress) {
    FeedOutcome outcome;
    SpanReceiver within(receiver, span);
    ScanFeed feed(distanceLimit, within, span.from);
    const uint64_t total = span.to - std::min(span.from, span.to);
    uint64_t done = 0;
    for (int k = set.SegmentAt(span.from); k < set.SegmentCount() && set.Start(k) < span.to; ++k) {
        EntryAccess access;
        if (!set.Access(k, access, outcome.reason)) {
            outcome.result = FeedResult::Failed;
            return outcome;
        }
        uint64_t position = set.Start(k);
        bool cancelled = false;
        std::atomic<bool> stop{false};
        std::string reason;
        const bool read = access.ReadAll(
            [&](const uint8_t* bytes, size_t count) {
                const uint64_t begin = std::max(position, span.from);
                const uint64_t end = std::min(position + count, span.to);
                if (begin < end) {
                    feed.Append(bytes + (begin - position), static_cast<size_t>(end - begin));
                    done += end - begin;
                }
                position += count;
                cancelled = progress && !progress(done, total);
                stop = cancelled || feed.Failed() || position >= span.to;
            },
            &stop, reason);
        if (cancelled) {
            outcome.result = FeedResult::Cancelled;
            return outcome;
        }
        if (feed.Failed()) {
            outcome.result = FeedResult::Failed;
            return outcome;
        }
        // Stopped once past the span: the rest of the segment is not needed.
        if (!read && !(stop.load() && position >= span.to)) {
            outcome.result = FeedResult::Failed;
            outcome.reason = set.Describe(k, reason);
            return outcome;
        }
    }
    feed.End();
    if (feed.Failed())
        outcome.result = FeedResult::Failed;
    else
        outcome.revolutions = within.Opened();
    return outcome;
}

}  // namespace record
