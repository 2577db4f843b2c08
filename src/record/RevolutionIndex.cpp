#include "RevolutionIndex.h"

#include <algorithm>

#include "Lasernode.h"
#include "ScannerInterface.h"

namespace record {

bool MarkerScanner::IsMarker(uint8_t endByte, int& counter) const {
    // Only 4- and 5-byte packets carry an angle; the codec's own checks decide.
    uint8_t packet[5];
    std::copy(head_, head_ + run_, packet);
    packet[run_] = endByte;
    ScanPoint point = {};
    const bool accepted = run_ == 3 ? TLaserDecode::DecodePacket4(point, packet, distanceLimit_)
                                    : TLaserDecode::DecodePacket5(
                                          point, packet, static_cast<uint32_t>(distanceLimit_));
    counter = point.distance;
    return accepted && point.angle == scanner::kInfoZeroDegree;
}

RevolutionIndex::RevolutionIndex(const RecordingSet& set, int32_t distanceLimit)
    : set_(set), scanner_(distanceLimit) {}

RevolutionIndex::~RevolutionIndex() {
    stop_ = true;
    if (worker_.joinable())
        worker_.join();
}

void RevolutionIndex::Start() {
    if (worker_.joinable() || Done())
        return;
    worker_ = std::thread([this] {
        while (!stop_.load() && Step()) {
        }
    });
}

bool RevolutionIndex::Step() {
    const std::lock_guard<std::mutex> stepping(stepping_);
    const int k = indexed_.load();
    if (k >= set_.SegmentCount())
        return false;
    uint64_t position = set_.Start(k);
    std::vector<std::pair<uint64_t, int>> found;
    QString error;
    bool started = scanner_.AtPacketStart();
    uint64_t packetStart = started ? position : set_.Start(k + 1);
    // Published once the segment was read whole: a damaged entry gives bytes before its fault
    // shows, and they are no revolutions.
    auto access = std::make_shared<EntryAccess>();
    std::string reason;
    bool read = set_.Access(k, *access, error);
    read =
        read && access->ReadAll(
                    [&](const uint8_t* bytes, size_t count) {
                        if (!started) {
                            const uint8_t* end = std::find_if(
                                bytes, bytes + count, [](uint8_t b) { return (b & 0x80) != 0; });
                            started = end != bytes + count;
                            if (started)
                                packetStart = position + static_cast<uint64_t>(end - bytes) + 1;
                        }
                        scanner_.Scan(bytes, count, position, [&found](uint64_t at, int counter) {
                            found.emplace_back(at, counter);
                        });
                        position += count;
                    },
                    &stop_, reason);
    if (stop_.load())
        return false;
    if (!read) {
        scanner_.Break();
        if (error.isEmpty())
            error = set_.Describe(k, reason);
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        packetStarts_.push_back(packetStart);
        if (read) {
            for (const auto& [at, counter] : found) table_.Append(at, counter);
            accesses_.push_back(std::move(access));
        } else {
            accesses_.push_back(nullptr);
            problems_ << error;
        }
    }
    scanned_.store(set_.Start(k + 1));
    indexed_.store(k + 1);
    return k + 1 < set_.SegmentCount();
}

int RevolutionIndex::Count() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return table_.Count();
}

uint64_t RevolutionIndex::Position(int r) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return table_.Position(r);
}

int RevolutionIndex::At(uint64_t position) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return table_.At(position);
}

int RevolutionIndex::Counter(int r) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return table_.Counter(r);
}

int RevolutionIndex::SegmentOf(int r) const {
    return set_.SegmentAt(Position(r));
}

int RevolutionIndex::FirstOf(int k) const {
    if (k >= set_.SegmentCount())
        return Count();
    const std::lock_guard<std::mutex> lock(mutex_);
    // The last revolution beginning before the segment is the one before the first in it.
    return k == 0 ? 0 : table_.At(set_.Start(k) - 1) + 1;
}

uint64_t RevolutionIndex::PacketStart(int k) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return k < static_cast<int>(packetStarts_.size()) ? packetStarts_[static_cast<size_t>(k)]
                                                      : set_.Start(k);
}

std::shared_ptr<const EntryAccess> RevolutionIndex::Access(int k) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return k < static_cast<int>(accesses_.size()) ? accesses_[static_cast<size_t>(k)] : nullptr;
}

QStringList RevolutionIndex::Problems() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return problems_;
}

}  // namespace record
