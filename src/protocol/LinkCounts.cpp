#include "LinkCounts.h"

#include "ScannerInterface.h"

void LinkCounts::NoteMarker(int counter) {
    constexpr int kMask = scanner::kRevolutionCounterModulo - 1;
    counter &= kMask;
    // The same counter twice is a repeated marker, not 2047 lost turns.
    if (lastRevolution >= 0 && counter != lastRevolution)
        missingRevolutions += ((counter - lastRevolution) & kMask) - 1;
    lastRevolution = counter;
    ++revolutions;
}

LinkCounts operator-(const LinkCounts& later, const LinkCounts& earlier) {
    LinkCounts d;
    d.bytes = later.bytes - earlier.bytes;
    d.records = later.records - earlier.records;
    d.revolutions = later.revolutions - earlier.revolutions;
    d.missingRevolutions = later.missingRevolutions - earlier.missingRevolutions;
    d.skippedBytes = later.skippedBytes - earlier.skippedBytes;
    d.refusedPackets = later.refusedPackets - earlier.refusedPackets;
    d.statusLines = later.statusLines - earlier.statusLines;
    d.textLines = later.textLines - earlier.textLines;
    d.lastRevolution = later.lastRevolution;
    return d;
}
