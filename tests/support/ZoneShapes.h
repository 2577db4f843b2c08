#pragma once

// Protection zones written the way the tests read them: corners as x, y pairs in cm, or a
// sector's radius and half-angle.

#include <initializer_list>

#include "ProtectZone.h"

inline ProtectZone Polygon(std::initializer_list<int> corners, int sensitivity) {
    ProtectZone zone{};
    zone.count = static_cast<uint8_t>(corners.size() / 2);
    zone.IOTCount = static_cast<uint8_t>(sensitivity);
    int k = 0;
    for (auto c = corners.begin(); c != corners.end(); c += 2, ++k) {
        zone.x[k] = c[0];
        zone.y[k] = c[1];
    }
    return zone;
}

inline ProtectZone Sector(int radius, int halfAngle, int sensitivity) {
    ProtectZone zone{};
    zone.count = 2;
    zone.IOTCount = static_cast<uint8_t>(sensitivity);
    zone.x[0] = radius;
    zone.y[0] = halfAngle;
    return zone;
}
