#pragma once

// The packet layouts, shared by the single-packet decoders and the stream's fast paths.
// Each function decodes a framed packet whose check value has already been found right.

#include <cstdint>

#include "Lasernode.h"
#include "ScannerInterface.h"

namespace packetlayout {

inline int SentCheck(const uint8_t* b) {
    return (b[0] >> 4) & 7;
}

inline bool DecodeChecked3(ScanPoint& point, const uint8_t* b, uint32_t distanceLimit) {
    const int32_t distance = ((b[0] & 1) << 14) + ((b[1] & 127) << 7) + (b[2] & 127);
    if (static_cast<uint32_t>(distance) > distanceLimit)
        return false;
    point.distance = distance;
    point.angle = scanner::kPacket3Angle;
    point.laser = (b[0] >> 1) & 7;
    return true;
}

// Written first, then accepted: a measurement at the limit or beyond is refused, an info
// packet never.
inline bool DecodeChecked4(ScanPoint& point, const uint8_t* b, int32_t distanceLimit) {
    const int32_t distance = ((((b[0] & 15) << 7) + (b[1] & 127)) << 1) + ((b[2] >> 6) & 1);
    const int16_t angle = static_cast<int16_t>(((b[2] & 63) << 7) + (b[3] & 127));
    point.distance = distance;
    point.angle = angle;
    point.laser = 0;
    return distance < distanceLimit || angle >= scanner::kInfoFirst;
}

inline bool DecodeChecked5(ScanPoint& point, const uint8_t* b, uint32_t distanceLimit) {
    const int32_t distance = ((b[1] & 127) << 7) + (b[2] & 127);
    if (static_cast<uint32_t>(distance) > distanceLimit)
        return false;
    const uint16_t angle = ((b[0] & 3) << 14) + ((b[3] & 127) << 7) + (b[4] & 127);
    point.distance = distance;
    point.angle = static_cast<int16_t>(angle);
    point.laser = (b[3] >> 3) & 1;
    return true;
}

// A packet of 3..5 bytes by its end index (2..4).
inline bool DecodeChecked(ScanPoint& point, int end, const uint8_t* b, int32_t distanceLimit) {
    switch (end) {
        case 2:
            return DecodeChecked3(point, b, static_cast<uint32_t>(distanceLimit));
        case 3:
            return DecodeChecked4(point, b, distanceLimit);
        default:
            return DecodeChecked5(point, b, static_cast<uint32_t>(distanceLimit));
    }
}

}  // namespace packetlayout
