#include "Zonerules.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(ZoneRules, EachShapeAgainstItsLimits) {
    const struct {
        ProtectZone zone;
        ZoneRule rule;
        int corner;
    } cases[] = {
        {{0, 5, {100000}, {}}, ZoneRule::Accepted, 0},  // a removed zone sends no point
        {{2, 5, {500}, {180}}, ZoneRule::Accepted, 0},
        {{2, 5, {0}, {1}}, ZoneRule::Accepted, 0},
        {{2, 5, {-1}, {90}}, ZoneRule::RadiusNegative, 0},
        {{2, 5, {501}, {90}}, ZoneRule::RadiusTooLarge, 0},
        {{2, 5, {300}, {0}}, ZoneRule::AngleOutOfRange, 0},
        {{2, 5, {300}, {181}}, ZoneRule::AngleOutOfRange, 0},
        {{3, 5, {300, 0, 0}, {400, 0, 0}}, ZoneRule::Accepted, 0},
        {{3, 5, {0, 300, 0}, {0, 401, 0}}, ZoneRule::CornerTooFar, 1},
        // Would wrap to 16 bits on the line, and its square overflows 32 bits.
        {{4, 5, {0, 0, 0, 100000}, {0, 0, 0, 0}}, ZoneRule::CornerTooFar, 3},
        {{5, 5, {0, 0, 0, 0, INT_MIN}, {0, 0, 0, 0, INT_MIN}}, ZoneRule::CornerTooFar, 4},
        {{3, 5, {0, 0, 0, 100000}, {0, 0, 0, 0}}, ZoneRule::Accepted, 0},  // D is not sent
        {{7, 5, {}, {}}, ZoneRule::CountAboveFive, 0},
    };
    for (const auto& c : cases) {
        const ZoneCheck check = CheckZone(c.zone);
        EXPECT_EQ(check.rule, c.rule) << int(c.zone.count) << " " << c.zone.x[0];
        EXPECT_EQ(check.corner, c.corner) << int(c.zone.count) << " " << c.zone.x[0];
    }
}

}  // namespace
