#pragma once

// The revolutions of a recording set, found by reading its segments one after the other as one
// stream: in steps the caller makes (Step) or on a worker thread (Start). Every lookup may be
// made from any thread while the index grows.

#include <QStringList>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "EntryAccess.h"
#include "RecordingSet.h"
#include "RevolutionTable.h"

namespace record {

// Finds the 0-degree markers in a stream handed over in pieces of any size, exactly where the
// stream decoder takes them: a packet split between two pieces is found whole.
class MarkerScanner {
public:
    explicit MarkerScanner(int32_t distanceLimit) : distanceLimit_(distanceLimit) {}

    // bytes begin at position of the stream; found is told of each marker's first byte.
    template <typename Found>
    void Scan(const uint8_t* bytes, size_t count, uint64_t position, const Found& found);
    // The stream breaks here (a segment could not be read): a packet begun is lost.
    void Break() { run_ = 0; }
    // Whether the next byte begins a packet (the last one ended a packet or the stream began).
    bool AtPacketStart() const { return run_ == 0; }

private:
    bool IsMarker(uint8_t endByte, int& counter) const;

    int32_t distanceLimit_;
    // The packet being read: its first bytes, how many there are (capped) and where it began.
    uint8_t head_[4] = {};
    int run_ = 0;
    uint64_t runStart_ = 0;
};

class RevolutionIndex : public RevolutionPositions {
public:
    // The set must outlive the index and stay as it is.
    explicit RevolutionIndex(const RecordingSet& set, int32_t distanceLimit = 6000);
    ~RevolutionIndex() override;
    RevolutionIndex(const RevolutionIndex&) = delete;
    RevolutionIndex& operator=(const RevolutionIndex&) = delete;

    // Reads and scans the next segment; false once every segment was read.
    bool Step();
    // Steps on a worker thread until done; the destructor stops it.
    void Start();
    bool Done() const { return indexed_.load() == set_.SegmentCount(); }
    int IndexedSegments() const { return indexed_.load(); }
    // The joined stream was read up to here.
    uint64_t ScannedBytes() const { return scanned_.load(); }

    int Count() const override;
    uint64_t Position(int r) const override;
    int At(uint64_t position) const override;
    int Counter(int r) const;
    // The segment revolution r begins in.
    int SegmentOf(int r) const;
    // The first revolution beginning in segment k or later; Count() when none is known yet.
    int FirstOf(int k) const;
    // Where the first packet beginning in segment k begins, once k was read: a packet split
    // between two segments belongs to the first.
    uint64_t PacketStart(int k) const;
    // How to read ranges of segment k fast, once it was read; nullptr before or when it failed.
    std::shared_ptr<const EntryAccess> Access(int k) const;
    // Segments that could not be read, each with its reason; they count as holding nothing.
    QStringList Problems() const;

private:
    const RecordingSet& set_;
    MarkerScanner scanner_;
    std::mutex stepping_;  // one Step at a time
    mutable std::mutex mutex_;
    RevolutionTable table_;
    std::vector<uint64_t> packetStarts_;
    std::vector<std::shared_ptr<const EntryAccess>> accesses_;
    QStringList problems_;
    std::atomic<int> indexed_{0};
    std::atomic<uint64_t> scanned_{0};
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

template <typename Found>
void MarkerScanner::Scan(const uint8_t* bytes, size_t count, uint64_t position,
                         const Found& found) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t byte = bytes[i];
        if (byte & 0x80) {
            int counter = 0;
            if ((run_ == 3 || run_ == 4) && IsMarker(byte, counter))
                found(runStart_, counter);
            run_ = 0;
        } else if (run_ < 5) {
            if (run_ == 0)
                runStart_ = position + i;
            if (run_ < 4)
                head_[run_] = byte;
            ++run_;
        }
    }
}

}  // namespace record
