#pragma once

// A recording's scan, all its entries as one continuous stream, as the revolutions between its
// 0-degree markers: for the MCAP and CSV exports of the console and vyk-decode, and for
// vyk-zones check.

#include <cstdint>
#include <deque>
#include <vector>

#include "RecordFeed.h"
#include "StreamSink.h"

namespace record {

// Where a ScanFeed's records go, in stream order.
class ScanReceiver {
public:
    virtual ~ScanReceiver() = default;
    // A 0-degree marker that begins at this byte of the stream; false stops the feed.
    virtual bool Marker(uint64_t bytePosition) = 0;
    // Any other record of a packet: a sample or an info point.
    virtual void Sample(int angle, int32_t distance) = 0;
};

// Decodes the stream and hands its records on with the byte position of each 0-degree marker.
// Text lines are decoded apart from the packets around them (a cut right after an end mark
// changes nothing in the decode), so that a status line's record, whose code looks like a
// bearing, is never taken for a sample.
class ScanFeed : public StreamSink {
public:
    // position: where in the stream the first byte given begins, which must be right after an
    // end mark (or the stream's start), where the decode of what follows does not depend on
    // what came before.
    ScanFeed(int32_t distanceLimit, ScanReceiver& receiver, uint64_t position = 0);

    void Append(const uint8_t* bytes, size_t count) override;
    void EndEntry() override {}  // entries run on: a packet split between two is decoded whole
    bool Failed() const override { return failed_; }
    // The stream ends here.
    void End();

private:
    void Take(const ScanPoint* records, size_t count);
    void ReleaseHeld();
    bool IsMarker(const uint8_t* packet, size_t length) const;

    const int32_t distanceLimit_;
    ScanReceiver& receiver_;
    RecordFeed decoder_;
    uint64_t position_ = 0;         // of the next byte given to Append
    size_t unitLength_ = 0;         // bytes since the last end mark
    std::vector<uint8_t> held_;     // a packet's first bytes from an earlier Append
    bool inText_ = false;           // the bytes since the last end mark hold text
    std::deque<uint64_t> markers_;  // positions of markers not yet decoded
    bool failed_ = false;
};

}  // namespace record
