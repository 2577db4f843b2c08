#include "Zonehit.h"

#include <gtest/gtest.h>

#include "ScannerInterface.h"

using namespace vykgraph;

namespace {

ProtectZone Sector(int radius, int halfAngle, int sensitivity = 1) {
    ProtectZone zone{};
    zone.count = kSectorZone;
    zone.IOTCount = static_cast<uint8_t>(sensitivity);
    zone.x[0] = radius;
    zone.y[0] = halfAngle;
    return zone;
}

// Corners (-100, -100), (100, -100), (100, 100), (-100, 100).
ProtectZone Square(int count = 4, int sensitivity = 5) {
    ProtectZone zone{};
    zone.count = static_cast<uint8_t>(count);
    zone.IOTCount = static_cast<uint8_t>(sensitivity);
    const int32_t xs[] = {-100, 100, 100, -100, -100};
    const int32_t ys[] = {-100, -100, 100, 100, 100};
    for (int k = 0; k < ProtectZone::kPairs; ++k) {
        zone.x[k] = xs[k];
        zone.y[k] = ys[k];
    }
    return zone;
}

}  // namespace

TEST(ZoneHitTest, PointInPolygonIsEvenOdd) {
    const int32_t sx[] = {-100, 100, 100, -100};
    const int32_t sy[] = {-100, -100, 100, 100};
    // An arrow with a notch on the right: the notch is outside.
    const int32_t cx[] = {0, 300, 150, 300, 0};
    const int32_t cy[] = {0, 0, 100, 300, 300};
    struct Case {
        const int32_t* xs;
        const int32_t* ys;
        int n, px, py, inside;
    } cases[] = {
        {sx, sy, 4, 0, 50, 1},    {sx, sy, 4, 0, 200, 0},   {sx, sy, 4, -150, 0, 0},
        {sx, sy, 4, 99, -99, 1},  {cx, cy, 5, 200, 30, 1},  {cx, cy, 5, 250, 150, 0},
        {cx, cy, 5, 100, 150, 1}, {cx, cy, 5, 350, 150, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PointInPolygon(c.xs, c.ys, c.n, c.px, c.py), c.inside) << c.px << "," << c.py;
    }
    const int32_t big[] = {-2000000000, 2000000000, 2000000000};
    const int32_t bigY[] = {-2000000000, -2000000000, 2000000000};
    EXPECT_EQ(PointInPolygon(big, bigY, 3, 1000, 0), 1);
}

TEST(ZoneHitTest, SectorSpansBothSidesOfBearingZero) {
    struct Case {
        int radius, half, distance, angle;
        bool hit;
    } cases[] = {
        {500, 30, 100, 0, true},     {500, 30, 100, 5280, true},  {500, 30, 100, 480, true},
        {500, 30, 100, 481, false},  {500, 30, 500, 0, false},    {500, 30, 499, 0, true},
        {500, 180, 499, 2880, true}, {500, 180, 100, 4000, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SectorHit(c.radius, c.half, c.distance, c.angle), c.hit)
            << c.half << " " << c.distance << " " << c.angle;
    }
}

TEST(ZoneHitTest, SamplesInZonesAsTheOverlayTestsThem) {
    ProtectZone none = Square();
    none.count = 0;
    ProtectZone one = Square();
    one.count = 1;
    struct Case {
        const char* what;
        ProtectZone zone;
        int distance, angle;
        bool hit;
    } cases[] = {
        {"sector at bearing 0", Sector(300, 30), 100, 0, true},
        {"sector at 330 degrees", Sector(300, 30), 100, 5280, true},
        {"sector's edge, 30 degrees", Sector(300, 30), 100, 480, true},
        {"just over the sector's edge", Sector(300, 30), 100, 481, false},
        {"on the sector's radius", Sector(300, 30), 300, 0, false},
        {"just inside the radius", Sector(300, 30), 299, 0, true},
        {"180 degrees: behind the scanner", Sector(300, 180), 299, 2880, true},
        {"180 degrees: on the radius", Sector(300, 180), 300, 2880, false},
        {"square ahead", Square(), 50, 0, true},
        {"beyond the square", Square(), 200, 0, false},
        {"square behind", Square(), 99, 2880, true},
        {"square's corner region", Square(), 140, 720, true},
        {"past the square's corner", Square(), 150, 720, false},
        {"missing return", Sector(300, 180), 0, 0, false},
        {"info point", Sector(300, 180), 100, scanner::kInfoZeroDegree, false},
        {"no zone", none, 50, 0, false},
        {"count 1", one, 50, 0, false},
        {"count 7 reads five corners", Square(7), 50, 0, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InZone(c.zone, MakeZoneSample(c.distance, c.angle)), c.hit) << c.what;
    }
}

TEST(ZoneHitTest, ARevolutionTripsAtTheSensitivity) {
    ProtectZone none = Sector(300, 30, 1);
    none.count = 0;
    struct Case {
        ProtectZone zone;
        int hits;
        bool trips;
    } cases[] = {
        {Sector(300, 30, 1), 0, false},
        {Sector(300, 30, 1), 1, true},
        {Sector(300, 30, 5), 4, false},
        {Sector(300, 30, 5), 5, true},
        {Square(), 5, true},
        {Sector(300, 30, 255), 254, false},
        {Sector(300, 30, 255), 255, true},
        {Sector(300, 30, 255), 5000, true},
        {Sector(300, 30, 0), 0, false},
        {Sector(300, 30, 0), 1, true},
        {none, 5000, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ZoneTrips(c.zone, c.hits), c.trips)
            << "count " << int{c.zone.count} << " sensitivity " << int{c.zone.IOTCount} << " hits "
            << c.hits;
    }
}
