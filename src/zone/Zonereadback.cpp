#include "Zonereadback.h"

#include "Zonereplies.h"

namespace {

constexpr const char* kPointKeys[2][ProtectZone::kPairs] = {{"x0", "x1", "x2", "x3", "x4"},
                                                            {"y0", "y1", "y2", "y3", "y4"}};

// 0 and 1 both mean no zone.
int Shape(uint8_t count) {
    return count < 2 ? 0 : count;
}

uint8_t AllPoints(int count) {
    return static_cast<uint8_t>((1u << count) - 1);
}

}  // namespace

void TZoneReadBack::Take(const SettingsReply& reply) {
    using Kind = ZoneReportOutcome::Kind;
    if (reply.kind == ReplyKind::OutputLevels) {
        table_.IOLevel = OutputLevelsOf(reply);
        levels_ = true;
        return;
    }
    if (reply.kind != ReplyKind::ZoneReport)
        return;
    const ZoneReportOutcome outcome = ApplyZoneReport(table_, ZoneReportOf(reply));
    if (outcome.kind == Kind::Ignored || outcome.kind == Kind::SensitivityOnly)
        return;
    any_ = true;
    reported_[outcome.zone] = true;
    uint8_t& points = points_[outcome.zone];
    if (outcome.kind != Kind::PolygonPoint)
        points = 0;
    else if (outcome.point == 0)
        points = 1;
    else
        points = static_cast<uint8_t>(points | 1u << outcome.point);
}

std::vector<TZoneReadBack::Missing> TZoneReadBack::WhatIsMissing() const {
    std::vector<Missing> missing;
    for (int z = 0; z < kZoneCount; ++z) {
        if (!reported_[z]) {
            missing.push_back({z, -1});
            continue;
        }
        const int count = Shape(table_.zones[z].count);
        for (int m = 0; count > 2 && m < count; ++m) {
            if ((points_[z] >> m & 1) == 0)
                missing.push_back({z, m});
        }
    }
    if (!levels_)
        missing.push_back({});
    return missing;
}

bool TZoneReadBack::Complete() const {
    if (!levels_)
        return false;
    for (int z = 0; z < kZoneCount; ++z) {
        const int count = Shape(table_.zones[z].count);
        if (!reported_[z] || (count > 2 && points_[z] != AllPoints(count)))
            return false;
    }
    return true;
}

std::vector<ZoneDifference> CompareZones(const ZoneTable& sent, const ZoneTable& stored,
                                         uint32_t zoneMask) {
    std::vector<ZoneDifference> differences;
    const auto compare = [&differences](int zone, const char* field, int64_t a, int64_t b) {
        if (a != b)
            differences.push_back({zone, field, a, b});
    };
    for (int z = 0; z < kZoneCount; ++z) {
        if ((zoneMask >> z & 1) == 0)
            continue;
        const ProtectZone& a = sent.zones[z];
        const ProtectZone& b = stored.zones[z];
        const int count = Shape(a.count);
        if (count != Shape(b.count)) {
            compare(z, "count", count, Shape(b.count));
            continue;
        }
        if (count == 0)
            continue;
        compare(z, "IOTCount", a.IOTCount, b.IOTCount);
        if (count == 2) {
            compare(z, kPointKeys[0][0], a.x[0] & 0xFFFF, b.x[0]);
            compare(z, kPointKeys[1][0], a.y[0] & 0xFFFF, b.y[0]);
            continue;
        }
        for (int k = 0; k < count && k < ProtectZone::kPairs; ++k) {
            compare(z, kPointKeys[0][k], static_cast<int16_t>(a.x[k]), b.x[k]);
            compare(z, kPointKeys[1][k], static_cast<int16_t>(a.y[k]), b.y[k]);
        }
    }
    compare(-1, "IOLevel", sent.IOLevel & kLevelBits, stored.IOLevel & kLevelBits);
    return differences;
}
