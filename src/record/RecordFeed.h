#pragma once

// The stream decoder as vyk-decode and the recording's exports use it: records go into an array of
// the feed's own and from there to a sink, exactly as one DecodeStream call over each whole buffer
// would write them into one zeroed array.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "StreamDecoder.h"

class RecordFeed {
public:
    // Takes each batch of records in stream order; the pointer is valid during the call only.
    using RecordSink = std::function<void(const ScanPoint* records, size_t count)>;

    // chunk 0: each buffer is decoded as one call; chunk N: as consecutive calls over N-byte
    // pieces, as the console once did with serial reads. counts, when given, gathers the link's
    // figures.
    RecordFeed(int32_t distanceLimit, int chunk, RecordSink sink, LinkCounts* counts = nullptr);

    // More bytes of the current buffer.
    void Append(const uint8_t* bytes, size_t count);
    // The current buffer ends here; the next Append starts a new one, whose records follow
    // in the same array.
    void EndBuffer();

private:
    void Deliver(int written);

    StreamDecoder decoder_;
    const size_t chunk_;
    const RecordSink sink_;
    size_t inBuffer_ = 0;            // bytes of the current chunk appended so far
    std::vector<ScanPoint> points_;  // slot 0 is the array's next free slot
};
