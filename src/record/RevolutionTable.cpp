#include "RevolutionTable.h"

#include <algorithm>

namespace record {

void RevolutionTable::Append(uint64_t position, int counter) {
    const int r = Count();
    const uint64_t delta = r == 0 ? position : position - last_;
    if (r % kBlock == 0)
        blockStarts_.push_back(position);
    uint32_t stored = static_cast<uint32_t>(delta);
    if (delta >= kLongDelta) {
        stored = kLongDelta;
        longDeltas_.emplace_back(r, delta);
    }
    marks_.push_back(stored | (static_cast<uint32_t>(counter & 2047) << kDeltaBits));
    last_ = position;
}

void RevolutionTable::Clear() {
    marks_.clear();
    blockStarts_.clear();
    longDeltas_.clear();
    last_ = 0;
}

uint64_t RevolutionTable::Delta(int r) const {
    const uint32_t stored = marks_[static_cast<size_t>(r)] & kLongDelta;
    if (stored != kLongDelta)
        return stored;
    return std::lower_bound(longDeltas_.begin(), longDeltas_.end(), std::make_pair(r, uint64_t{0}))
        ->second;
}

uint64_t RevolutionTable::Position(int r) const {
    const int block = r / kBlock;
    uint64_t position = blockStarts_[static_cast<size_t>(block)];
    for (int i = block * kBlock + 1; i <= r; ++i) position += Delta(i);
    return position;
}

int RevolutionTable::At(uint64_t position) const {
    const auto after = std::upper_bound(blockStarts_.begin(), blockStarts_.end(), position);
    if (after == blockStarts_.begin())
        return -1;
    int r = static_cast<int>(after - blockStarts_.begin() - 1) * kBlock;
    uint64_t at = blockStarts_[static_cast<size_t>(r / kBlock)];
    for (int next = r + 1; next < Count() && next % kBlock != 0; ++next) {
        at += Delta(next);
        if (at > position)
            break;
        r = next;
    }
    return r;
}

}  // namespace record
