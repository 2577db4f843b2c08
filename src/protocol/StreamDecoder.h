#pragma once

// The one stream decoder of the live loop and the tools: the bytes arrive in pieces of any size,
// and the records are exactly those one DecodeStream call over all of them would write. Only
// the unfinished tail of a piece (a packet, or text whose lines may go on) waits for the next.

#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Lasernode.h"
#include "LinkCounts.h"

class StreamDecoder {
public:
    // Held text beyond this is decoded as if the stream ended there: one call takes no more.
    static constexpr size_t kMaxHeld = INT_MAX;

    explicit StreamDecoder(int32_t distanceLimit = 6000, size_t maxHeld = kMaxHeld);

    void SetDistanceLimit(int32_t distanceLimit) { distanceLimit_ = distanceLimit; }
    // Counting on: every later piece adds to counts, which must outlive the decoder's use.
    void CountInto(LinkCounts* counts) { counts_ = counts; }

    // The most records the next Decode of count bytes can write.
    int RoomFor(size_t count) const;
    // More bytes of the stream; returns the records written from points on (at most capacity).
    int Decode(const uint8_t* bytes, size_t count, ScanPoint* points, int capacity);
    // The stream ends here: the held tail is decoded as the end of one call would take it.
    int EndBuffer(ScanPoint* points, int capacity);
    // A new stream begins (the port was opened again): the held tail is dropped.
    void Reset();

    size_t Held() const { return held_.size(); }

private:
    int Call(const uint8_t* bytes, size_t count, ScanPoint* points, int capacity);
    int DecodeHeld(size_t count, ScanPoint* points, int capacity);
    size_t HeldTextCut();
    void Hold(const uint8_t* bytes, size_t count);

    TLaserDecode decoder_;
    int32_t distanceLimit_;
    size_t maxHeld_;
    LinkCounts* counts_ = nullptr;
    // Held bytes never hold an end mark: they are the text after the last one, or a packet's
    // head. What of them was searched for a place to cut, and where their first '#' is.
    std::vector<uint8_t> held_;
    size_t searched_ = 0;
    size_t firstHash_ = 0;
};
