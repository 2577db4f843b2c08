#include "ScanFeed.h"

#include "Lasernode.h"
#include "ScannerInterface.h"

namespace record {
namespace {

constexpr uint8_t kEndMark = 0x80;
constexpr size_t kLongestPacket = 5;

}  // namespace

ScanFeed::ScanFeed(int32_t distanceLimit, ScanReceiver& receiver, uint64_t position)
    : distanceLimit_(distanceLimit),
      receiver_(receiver),
      decoder_(distanceLimit, 0,
               [this](const ScanPoint* records, size_t count) { Take(records, count); }),
      position_(position) {}

void ScanFeed::Append(const uint8_t* bytes, size_t count) {
    size_t run = 0;        // the first byte not yet given to the decoder
    size_t unitStart = 0;  // where the bytes since the last end mark begin in this piece
    for (size_t i = 0; i < count; ++i) {
        ++unitLength_;
        if (!(bytes[i] & kEndMark)) {
            // Longer than any packet: text. What came before is decoded first, so that every
            // record of the text comes while inText_ is set.
            if (unitLength_ == kLongestPacket + 1) {
                decoder_.Append(bytes + run, unitStart - run);
                decoder_.EndBuffer();
                inText_ = true;
                ReleaseHeld();
                run = unitStart;
            }
            continue;
        }
        if (inText_) {
            decoder_.Append(bytes + run, i + 1 - run);
            decoder_.EndBuffer();
            inText_ = false;
            run = i + 1;
        } else {
            if (unitLength_ >= 4) {
                const uint64_t start = position_ + i + 1 - unitLength_;
                bool marker;
                if (held_.empty()) {
                    marker = IsMarker(bytes + i + 1 - unitLength_, unitLength_);
                } else {
                    std::vector<uint8_t> packet = held_;
                    packet.insert(packet.end(), bytes, bytes + i + 1);
                    marker = IsMarker(packet.data(), packet.size());
                }
                if (marker)
                    markers_.push_back(start);
            }
            ReleaseHeld();
        }
        unitLength_ = 0;
        unitStart = i + 1;
    }
    if (inText_) {
        decoder_.Append(bytes + run, count - run);
    } else {
        decoder_.Append(bytes + run, unitStart - run);
        held_.insert(held_.end(), bytes + unitStart, bytes + count);
    }
    position_ += count;
}

void ScanFeed::End() {
    ReleaseHeld();
    decoder_.EndBuffer();
}

void ScanFeed::ReleaseHeld() {
    if (held_.empty())
        return;
    decoder_.Append(held_.data(), held_.size());
    held_.clear();
}

// A packet that starts right after an end mark is always decoded whole, so this packet is a
// marker exactly when the codec makes one of it.
bool ScanFeed::IsMarker(const uint8_t* packet, size_t length) const {
    ScanPoint point{};
    const bool accepted = length == 4 ? TLaserDecode::DecodePacket4(point, packet, distanceLimit_)
                                      : TLaserDecode::DecodePacket5(
                                            point, packet, static_cast<uint32_t>(distanceLimit_));
    return accepted && point.angle == scanner::kInfoZeroDegree;
}

void ScanFeed::Take(const ScanPoint* records, size_t count) {
    for (size_t i = 0; i < count && !failed_; ++i) {
        const ScanPoint& r = records[i];
        if (inText_) {
            // Only the packet at the text's end is a sample; the rest are status lines.
            if (r.angle == scanner::kPacket3Angle)
                receiver_.Sample(r.angle, r.distance);
        } else if (r.angle == scanner::kInfoZeroDegree && !markers_.empty()) {
            failed_ = !receiver_.Marker(markers_.front());
            markers_.pop_front();
        } else {
            receiver_.Sample(r.angle, r.distance);
        }
    }
}

}  // namespace record
