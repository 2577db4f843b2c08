#pragma once

// One protection zone as the zone tool edits it, the scanner stores it and the scan display
// draws it.

#include <cstdint>

struct ProtectZone {
    static constexpr int kPairs = 5;

    uint8_t count;      // 0 none, 2 sector, 3..5 polygon corners
    uint8_t IOTCount;   // sensitivity 1..255
    int32_t x[kPairs];  // cm; sector: pair 0 = radius (x) and half-angle in degrees (y)
    int32_t y[kPairs];
};
