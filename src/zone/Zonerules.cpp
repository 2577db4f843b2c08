#include "Zonerules.h"

namespace {

constexpr int32_t kMinSectorAngle = 1;

}  // namespace

bool CornerTooFar(int32_t x, int32_t y) {
    // Squares of any int32 fit in 64 bits unsigned.
    const auto square = [](int32_t v) {
        const uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        return magnitude * magnitude;
    };
    return square(x) + square(y) > static_cast<uint64_t>(kMaxZoneRadius) * kMaxZoneRadius;
}

ZoneRule CheckRadius(int32_t radius) {
    if (radius < 0)
        return ZoneRule::RadiusNegative;
    return radius > kMaxZoneRadius ? ZoneRule::RadiusTooLarge : ZoneRule::Accepted;
}

ZoneRule CheckAngle(int32_t angle) {
    return angle < kMinSectorAngle || angle > kMaxSectorAngle ? ZoneRule::AngleOutOfRange
                                                              : ZoneRule::Accepted;
}

ZoneCheck CheckZone(const ProtectZone& zone) {
    if (zone.count > ProtectZone::kPairs)
        return {ZoneRule::CountAboveFive};
    if (zone.count == 2) {
        const ZoneRule radius = CheckRadius(zone.x[0]);
        return {radius != ZoneRule::Accepted ? radius : CheckAngle(zone.y[0])};
    }
    for (int k = 0; zone.count > 2 && k < zone.count; ++k) {
        if (CornerTooFar(zone.x[k], zone.y[k]))
            return {ZoneRule::CornerTooFar, k};
    }
    return {};
}

const char* RuleMessage(ZoneRule rule) {
    switch (rule) {
        case ZoneRule::CornerTooFar:
            return "输入坐标太大,超出范围!";
        case ZoneRule::RadiusNegative:
            return "输入不合法!";
        case ZoneRule::RadiusTooLarge:
            return "输入半径太大!";
        case ZoneRule::AngleOutOfRange:
            return "角度只能在(0,180]";
        case ZoneRule::Accepted:
        case ZoneRule::CountAboveFive:
            break;
    }
    return "";
}
