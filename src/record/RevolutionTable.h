#pragma once

// Where each revolution of a recording begins: the byte position of its 0-degree marker in the
// joined stream and the marker's counter. Kept in about four bytes a revolution, so that the
// table of a recording of weeks stays small.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace record {

// The lookups the cursor and the playback make.
class RevolutionPositions {
public:
    virtual ~RevolutionPositions() = default;
    virtual int Count() const = 0;
    virtual uint64_t Position(int r) const = 0;
    // The last revolution beginning at or before position; -1 before the first.
    virtual int At(uint64_t position) const = 0;
};

class RevolutionTable : public RevolutionPositions {
public:
    // Positions come in increasing order.
    void Append(uint64_t position, int counter);
    void Clear();

    int Count() const override { return static_cast<int>(marks_.size()); }
    uint64_t Position(int r) const override;
    int At(uint64_t position) const override;
    // The marker's revolution counter, 0..2047.
    int Counter(int r) const {
        return static_cast<int>(marks_[static_cast<size_t>(r)] >> kDeltaBits);
    }

private:
    static constexpr int kBlock = 64;
    static constexpr int kDeltaBits = 21;
    static constexpr uint32_t kLongDelta = (1u << kDeltaBits) - 1;

    uint64_t Delta(int r) const;

    // Per revolution the distance from the one before and the counter above it; a distance
    // too long for its bits is kept aside by revolution.
    std::vector<uint32_t> marks_;
    std::vector<uint64_t> blockStarts_;  // the position of every kBlock-th revolution
    std::vector<std::pair<int, uint64_t>> longDeltas_;
    uint64_t last_ = 0;
};

}  // namespace record
