#include "ZoneCheck.h"

#include <cmath>

#include "ScannerInterface.h"

namespace {

constexpr double kPi = 3.1415926;

int PointInPolygon(const SimZone& zone, int px, int py) {
    const int n = zone.count;
    int inside = 0;
    for (int i = 0, j = n - 1; i < n; j = i++) {
        const int64_t xi = zone.x[i], yi = zone.y[i], xj = zone.x[j], yj = zone.y[j];
        if (((yi < py && yj >= py) || (yj < py && yi >= py)) && (xi <= px || xj <= px)) {
            const int64_t dy = yj - yi;
            const int64_t q = (py - yi) * (xj - xi) + xi * dy;
            if (dy > 0 ? q < px * dy : q > px * dy)
                inside ^= 1;
        }
    }
    return inside;
}

}  // namespace

bool ZoneHit(const SimZone& zone, const SimSample& sample) {
    if (sample.distance < 1)
        return false;
    if (zone.count == 2) {
        const int radius = zone.x[0];
        const int half = zone.y[0];
        return sample.distance < radius &&
               (sample.angle <= half * 16 || sample.angle >= (360 - half) * 16);
    }
    if (zone.count < 3 || zone.count > 5)
        return false;
    const float theta = static_cast<float>(sample.angle * kPi / 2880);
    const int x = static_cast<int>(std::sin(theta) * sample.distance);
    const int y = static_cast<int>(std::cos(theta) * sample.distance);
    return PointInPolygon(zone, x, y) == 1;
}

int OutputState(const ScannerState& state, int group, const std::vector<SimSample>& turn) {
    int outputs = 0;
    for (int output = 0; output < 3; ++output) {
        const SimZone& zone = state.zones[group * 3 + output];
        const int needed = zone.sensitivity > 0 ? zone.sensitivity : 1;
        int hits = 0;
        for (const SimSample& sample : turn) {
            if (ZoneHit(zone, sample) && ++hits >= needed)
                break;
        }
        if (zone.count >= 2 && hits >= needed)
            outputs |= 1 << output;
    }
    return outputs | (group << scanner::kOutputStateGroupShift);
}
