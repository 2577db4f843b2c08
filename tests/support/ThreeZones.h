#pragma once

// Three five-point zones of the first input group for the live scan of the simulator: one
// across the moving object's walk in front of the scanner, one to its left and one behind it,
// both clear of it. The first corner, where the zone's label goes, keeps off the axes and their
// distance labels.

#include "Zonetable.h"

inline ZoneTable ThreeZones() {
    constexpr int kCorners[kZoneOutputs][2 * ProtectZone::kPairs] = {
        {160, 110, 160, 190, 80, 220, -40, 190, -40, 110},
        {-260, -40, -180, -40, -160, 20, -220, 60, -280, 20},
        {-100, -100, 100, -100, 100, -180, 0, -230, -100, -180},
    };
    ZoneTable table;
    for (int o = 0; o < kZoneOutputs; ++o) {
        ProtectZone& zone = table.zones[ZoneIndex(0, o)];
        zone.count = ProtectZone::kPairs;
        zone.IOTCount = 5;
        for (int k = 0; k < ProtectZone::kPairs; ++k) {
            zone.x[k] = kCorners[o][2 * k];
            zone.y[k] = kCorners[o][2 * k + 1];
        }
    }
    return table;
}
