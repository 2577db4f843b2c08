#pragma once

// A position in a recording set, one revolution at a time: the samples of the revolution shown,
// its time from the recording's start, and the moves of a replay (step, segment, first, last,
// any byte of the joined stream). Only a few pieces of a few MiB around the revolutions last
// shown are held in memory.

#include <QString>
#include <cstdint>
#include <deque>
#include <vector>

#include "Lasernode.h"
#include "RecordingSet.h"
#include "RevolutionIndex.h"

namespace record {

constexpr int kReplayBaud = 230400;

class RecordingCursor {
public:
    // set and index must outlive the cursor; distanceLimit as the index was built with.
    RecordingCursor(const RecordingSet& set, const RevolutionIndex& index,
                    int32_t distanceLimit = 6000);

    // The recording's line speed, which turns byte positions into time.
    void SetBaud(int baud);
    int Baud() const { return baud_; }
    double ByteRate() const { return baud_ / 10.0; }
    // Seconds from the recording's start to revolution r, or to a byte of the joined stream.
    double Seconds(int r) const { return SecondsAt(index_.Position(r)); }
    double SecondsAt(uint64_t position) const { return static_cast<double>(position) / ByteRate(); }

    // Each move reads the revolution it lands on (clamped to the revolutions found so far) and
    // returns false, with Error(), when there is none or its bytes could not be read.
    bool Seek(int r);
    // The revolution under this byte of the joined stream (the first one before it begins).
    bool SeekPosition(uint64_t position);
    bool Next();
    bool Previous();
    bool First() { return Seek(0); }
    bool Last() { return Seek(index_.Count() - 1); }
    // The first revolution of the next or previous segment that has one.
    bool NextSegment();
    bool PreviousSegment();

    int Revolution() const { return revolution_; }  // -1 before the first move
    int Segment() const { return revolution_ < 0 ? 0 : index_.SegmentOf(revolution_); }
    // The revolution's records from its 0-degree marker to the next one, both included (the
    // last revolution of a recording ends with the stream).
    const std::vector<ScanPoint>& Samples() const { return samples_; }
    const QString& Error() const { return error_; }

    // Segment k's records (from the first packet beginning in it to the first beginning in the
    // next) into points, as many as fit; -1 with error when it cannot be read.
    int DecodeSegment(int k, ScanPoint* points, int capacity, QString& error);
    // Room that DecodeSegment needs for the largest segment of the set.
    static int SegmentRoom(const RecordingSet& set);

private:
    // A piece of a segment: bytes from begin on, in the segment's own count.
    struct Chunk {
        int segment = -1;
        uint64_t begin = 0;
        std::vector<uint8_t> bytes;
    };
    // Bytes [from, to) of the joined stream, decoded as one stream; the records written or -1.
    // Held: what was read is kept for the next moves.
    int Decode(uint64_t from, uint64_t to, ScanPoint* points, int capacity, bool hold,
               QString& error);
    // Bytes [from, to) of segment k from a held chunk, else read (into unheld when given).
    const uint8_t* Bytes(int k, uint64_t from, uint64_t to, Chunk* unheld, QString& error);
    bool Read(int k, uint64_t from, uint64_t to, Chunk& chunk, QString& error) const;

    const RecordingSet& set_;
    const RevolutionIndex& index_;
    int32_t distanceLimit_;
    int baud_ = kReplayBaud;
    int revolution_ = -1;
    std::vector<ScanPoint> samples_;
    QString error_;

    // A few MiB each: the span between two access points around the revolutions last shown.
    static constexpr size_t kHeldChunks = 3;
    std::deque<Chunk> held_;  // newest first
};

}  // namespace record
