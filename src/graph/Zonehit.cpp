#include "Zonehit.h"

#include <algorithm>

#include "Graphgeometry.h"
#include "ScannerInterface.h"

namespace vykgraph {

ZoneSample MakeZoneSample(int distance, int angle, double sine, double cosine) {
    return {distance, angle, static_cast<int>(sine * distance),
            static_cast<int>(cosine * distance)};
}

ZoneSample MakeZoneSample(int distance, int angle) {
    double sine;
    double cosine;
    BearingSinCos(angle, sine, cosine);
    return MakeZoneSample(distance, angle, sine, cosine);
}

bool InZone(const ProtectZone& zone, const ZoneSample& sample) {
    if (zone.count < kSectorZone || sample.distance < 1 || sample.angle < 0 ||
        sample.angle >= scanner::kAnglesPerTurn) {
        return false;
    }
    if (zone.count == kSectorZone)
        return SectorHit(zone.x[0], zone.y[0], sample.distance, sample.angle);
    // A hand-edited record may claim more corners than it holds.
    const int corners = std::min<int>(zone.count, ProtectZone::kPairs);
    return PointInPolygon(zone.x, zone.y, corners, sample.x, sample.y) == 1;
}

bool ZoneTrips(const ProtectZone& zone, int hits) {
    return zone.count >= kSectorZone && hits >= std::max<int>(zone.IOTCount, 1);
}

int PointInPolygon(const int32_t* xs, const int32_t* ys, int n, int px, int py) {
    // 64-bit products: hand-edited corners may be large enough to overflow 32 bits.
    int inside = 0;
    int j = n - 1;
    for (int i = 0; i < n; ++i) {
        if (((ys[i] < py && ys[j] >= py) || (ys[j] < py && ys[i] >= py)) &&
            (xs[i] <= px || xs[j] <= px)) {
            const int64_t dy = int64_t{ys[j]} - ys[i];
            const int64_t q = (int64_t{py} - ys[i]) * (int64_t{xs[j]} - xs[i]) + xs[i] * dy;
            if (dy > 0 ? q < px * dy : q > px * dy) {
                inside ^= 1;
            }
        }
        j = i;
    }
    return inside;
}

bool SectorHit(int radius, int halfAngleDeg, int distance, int angle) {
    // 64 bits: a hand-edited half-angle may be any int.
    const int64_t half = int64_t{halfAngleDeg} * 16;
    return distance < radius && (angle <= half || angle >= scanner::kAnglesPerTurn - half);
}

}  // namespace vykgraph
