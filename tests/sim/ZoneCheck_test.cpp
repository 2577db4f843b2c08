#include "ZoneCheck.h"

#include <gtest/gtest.h>

namespace {

SimZone Sector(int radius, int halfAngle) {
    SimZone zone;
    zone.count = 2;
    zone.x[0] = radius;
    zone.y[0] = halfAngle;
    return zone;
}

SimZone Square() {
    SimZone zone;
    zone.count = 4;
    zone.x = {-100, 100, 100, -100, 0};
    zone.y = {-100, -100, 100, 100, 0};
    return zone;
}

TEST(ZoneCheck, HitsLikeTheZoneToolsOverlay) {
    struct Case {
        SimZone zone;
        SimSample sample;
        bool hit;
    };
    const Case cases[] = {
        {Sector(300, 30), {0, 299}, true},
        {Sector(300, 30), {5280, 100}, true},   // 330 degrees
        {Sector(300, 30), {481, 100}, false},   // just over 30 degrees
        {Sector(300, 30), {0, 300}, false},     // on the radius
        {Sector(300, 180), {2880, 299}, true},  // full circle
        {Sector(300, 30), {0, 0}, false},       // missing return
        {Square(), {0, 50}, true},
        {Square(), {0, 200}, false},
        {Square(), {2880, 99}, true},  // behind the scanner
        {Square(), {1440, 150}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ZoneHit(c.zone, c.sample), c.hit)
            << "count " << int{c.zone.count} << " angle " << c.sample.angle << " distance "
            << c.sample.distance;
    }
}

TEST(ZoneCheck, OutputNeedsItsSensitivityInHits) {
    ScannerState state;
    state.zones[3] = Sector(500, 180);  // group 1, output 0
    state.zones[3].sensitivity = 3;
    state.zones[5] = Square();  // group 1, output 2; sensitivity 0 counts as 1
    const std::vector<SimSample> twoHits = {{0, 100}, {100, 100}, {0, 900}};
    EXPECT_EQ(OutputState(state, 1, twoHits), 1 << 6 | 4);
    const std::vector<SimSample> threeHits = {{0, 100}, {100, 100}, {200, 100}};
    EXPECT_EQ(OutputState(state, 1, threeHits), 1 << 6 | 1 | 4);
    EXPECT_EQ(OutputState(state, 3, threeHits), 3 << 6);
}

}  // namespace
