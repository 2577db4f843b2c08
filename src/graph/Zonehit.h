#pragma once

// The one zone hit test: the zone tool's overlay, the simulated scanner and vyk-zones check all
// ask it whether a sample lies in a protection zone and whether a revolution trips the zone.

#include <cstdint>

#include "ProtectZone.h"

namespace vykgraph {

constexpr int kSectorZone = 2;  // ProtectZone::count of a sector; 3..5 are polygons

// A sample with its position in the scan plane, cm, x to the right and y ahead.
struct ZoneSample {
    int distance;
    int angle;  // 1/16 degree; info codes from 5760 up are no sample
    int x;
    int y;
};

// sine and cosine of the sample's bearing as BearingSinCos gives them.
ZoneSample MakeZoneSample(int distance, int angle, double sine, double cosine);
ZoneSample MakeZoneSample(int distance, int angle);

// A measured sample (distance of at least 1, a bearing below 5760) inside the zone. A record
// claiming more than five corners is tested against its five.
bool InZone(const ProtectZone& zone, const ZoneSample& sample);

// A revolution with this many hits switches the zone's output: at least its sensitivity, of
// which 0 counts as 1. This is how the simulated scanner decides; a real one is not known to
// decide otherwise.
bool ZoneTrips(const ProtectZone& zone, int hits);

// Even-odd crossing test of (px, py) against n corners.
int PointInPolygon(const int32_t* xs, const int32_t* ys, int n, int px, int py);
bool SectorHit(int radius, int halfAngleDeg, int distance, int angle);

}  // namespace vykgraph
