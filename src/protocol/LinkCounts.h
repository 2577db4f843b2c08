#pragma once

// What the stream decoder saw of a link besides its records: the figures users check first when
// the data looks wrong. Counted from the port's opening, or from a recording's first byte.

#include <cstdint>

struct LinkCounts {
    int64_t bytes = 0;               // received
    int64_t records = 0;             // written, status lines included
    int64_t revolutions = 0;         // 0-degree markers
    int64_t missingRevolutions = 0;  // gaps in the markers' counter
    int64_t skippedBytes = 0;        // neither packet nor text: skipped while finding packets
    int64_t refusedPackets = 0;      // packets whose check bits were wrong
    int64_t statusLines = 0;
    int64_t textLines = 0;    // lines from a '#', status lines or not, long enough to be read
    int lastRevolution = -1;  // counter of the last marker; -1 before the first

    // The next marker's counter: the revolutions it says were lost since the last one.
    void NoteMarker(int counter);
};

// What changed from earlier to later, counter by counter.
LinkCounts operator-(const LinkCounts& later, const LinkCounts& earlier);
