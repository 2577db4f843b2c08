#pragma once

// Revolutions of a recording set read for an export: the bytes they take in the joined stream,
// read segment by segment in pieces through the scan feed, with progress and cancellation
// between pieces.

#include <QString>
#include <cstdint>
#include <functional>

#include "RecordingSet.h"
#include "RevolutionIndex.h"
#include "ScanFeed.h"

namespace record {

// Told of the span's bytes read so far of all of them; false cancels.
using ExportProgress = std::function<bool(uint64_t done, uint64_t total)>;

// Revolutions first..last of the index (last -1: to the stream's end) and the bytes [from, to)
// of the joined stream that hold them.
struct RevolutionSpan {
    int first = 0;
    int last = -1;
    uint64_t from = 0;
    uint64_t to = 0;

    // Every revolution, read from the stream's start: needs no index.
    static RevolutionSpan Whole(const RecordingSet& set);
    // From the opening marker of first to the end of the marker that closes last, or to the
    // stream's end for the recording's last revolution (to what was indexed while the index
    // grows); both clamped to the revolutions found.
    static RevolutionSpan Of(const RecordingSet& set, const RevolutionIndex& index, int first,
                             int last);
    bool Empty() const { return to <= from; }
};

enum class FeedResult { Done, Cancelled, Failed };

struct FeedOutcome {
    FeedResult result = FeedResult::Done;
    QString reason;            // why it failed
    uint64_t revolutions = 0;  // written
};

// Hands the span's revolutions to receiver: each opening marker with its position in the joined
// stream, then the revolution's records; nothing before the first one or after the last. Failed
// with the reason when a segment cannot be read, and with none when the receiver stopped the
// feed (it knows why).
FeedOutcome FeedRevolutions(const RecordingSet& set, const RevolutionSpan& span,
                            int32_t distanceLimit, ScanReceiver& receiver,
                            const ExportProgress& progress);

}  // namespace record
