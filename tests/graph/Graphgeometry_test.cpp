#include "Graphgeometry.h"

#include <gtest/gtest.h>

#include <vector>

#include "GraphTestSupport.h"

using namespace vykgraph;
using graphtest::Marker;
using graphtest::Sample;

TEST(GraphLayoutTest, CircleAndStripLayoutsOfTheWindowPanel) {
    const GraphLayout strip = StripLayout(1106, 598, 1);
    EXPECT_EQ(strip.plotWidth, 1056);
    EXPECT_EQ(strip.plotHeight, 515);
    EXPECT_EQ(strip.rowTop[0], 20);
    EXPECT_EQ(strip.plotLeft, 30);

    const GraphLayout circle = CircleLayout(1106, 598);
    EXPECT_EQ(circle.plotWidth, 1106);
    EXPECT_EQ(circle.plotHeight, 578);
    EXPECT_EQ(circle.rowTop[0], 20);
    EXPECT_EQ(circle.plotLeft, 0);
}

TEST(GraphLayoutTest, StripLayoutRaisesSmallTargetsAndStacksRows) {
    EXPECT_EQ(StripLayout(100, 598, 1).plotWidth, 200);
    EXPECT_EQ(StripLayout(1106, 100, 1).plotHeight, 100);

    const GraphLayout two = StripLayout(1106, 598, 2);
    EXPECT_EQ(two.plotHeight, (598 - 40 - 63) / 2);
    EXPECT_EQ(two.rowTop[1], 20 + two.plotHeight + 20);
}

TEST(GraphLayoutTest, CircleLayoutKeepsAPixelForTinyTargets) {
    const GraphLayout circle = CircleLayout(0, 10);
    EXPECT_EQ(circle.plotWidth, 1);
    EXPECT_EQ(circle.plotHeight, 1);
}

TEST(GraphLayoutTest, PointsPerViewFollowsViewAndZoom) {
    struct Case {
        int view, width, zoom, points;
    } cases[] = {
        {kViewCircle, 1106, 5, 10000},
        {kViewData, 1056, 0, 1056},
        {kViewData, 1056, 2, 4224},
        {kViewData, 1056, -6, 16},
        {kViewMultiCircle, 1056, 10, 1056 << 10},
        {kViewData, 50, -6, 100},  // nothing left: the floor of 100
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PointsPerView(c.view, c.width, c.zoom), c.points)
            << c.view << " " << c.width << " " << c.zoom;
    }
}

TEST(GraphLayoutTest, StripColumnOfSamples) {
    EXPECT_EQ(StripColumn(1023, 10), 0);
    EXPECT_EQ(StripColumn(1024, 10), 1);
    EXPECT_EQ(StripColumn(7, 0), 7);
    EXPECT_EQ(StripColumn(3, -6), 192);
}

TEST(GraphGeometryTest, ReferenceAngleAroundTheCentre) {
    const int cx = 553;
    const int cy = 289;
    struct Case {
        int dx, dy, angle;
    } cases[] = {
        {100, 0, 1440},     {-100, 0, 4320},  {0, 0, 1440},     {0, -100, 0},
        {0, 100, 2880},     {100, -100, 720}, {100, 100, 2160}, {-100, 100, 3600},
        {-100, -100, 5040}, {100, -173, 480}, {173, 100, 1920},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReferenceAngleAt(cx + c.dx, cy + c.dy, cx, cy), c.angle) << c.dx << "," << c.dy;
    }
}

TEST(GraphGeometryTest, HitRowNeedsAPositionStrictlyInsideARow) {
    const GraphLayout one = StripLayout(1106, 598, 1);
    struct Case {
        int x, y, row;
    } cases[] = {
        {31, 21, 1}, {30, 21, 0},  {1085, 21, 1}, {1086, 21, 0},
        {31, 20, 0}, {31, 534, 1}, {31, 535, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HitRow(one, 1, c.x, c.y), c.row) << c.x << "," << c.y;
    }
    const GraphLayout two = StripLayout(1106, 598, 2);
    EXPECT_EQ(HitRow(two, 2, 50, two.rowTop[0] + two.plotHeight + 5), 0);
    EXPECT_EQ(HitRow(two, 2, 50, two.rowTop[1] + 5), 2);
}

TEST(ScaleStepTest, ShrinkingFromOneAlternatesAtTheFloor) {
    float s = 1.0f;
    for (int i = 0; i < 36; ++i) {
        s = ShrinkScale(s);
    }
    EXPECT_FLOAT_EQ(s, 0.0225284006f);
    EXPECT_GT(static_cast<double>(s), 0.0225284);
    const float floor = s;
    s = ShrinkScale(s);
    EXPECT_NEAR(s, 0.0202756, 1e-7);
    s = ShrinkScale(s);
    EXPECT_EQ(s, floor);
    EXPECT_NEAR(ShrinkScale(s), 0.0202756, 1e-7);
}

TEST(ScaleStepTest, GrowingFromTheFloorOvershootsOnceThenSticksAtOne) {
    float s = 0.0225284006f;
    for (int i = 0; i < 36; ++i) {
        s = GrowScale(s);
    }
    EXPECT_FLOAT_EQ(s, 0.9999999f);
    EXPECT_LT(s, 1.0f);
    s = GrowScale(s);
    EXPECT_FLOAT_EQ(s, 1.1111109f);
    s = GrowScale(s);
    EXPECT_EQ(s, 1.0f);
    EXPECT_EQ(GrowScale(s), 1.0f);
    EXPECT_EQ(GrowScale(ShrinkScale(1.0f)), 1.0f);
}

TEST(GraticuleTest, RingsThatFitThePlot) {
    struct Case {
        int cx, cy, rings, outer, reach;
    } cases[] = {
        {200, 190, 1, 100, 150},  // 400 x 380
        {553, 289, 3, 200, 250},  // 1106 x 578
        {120, 300, 0, 50, 100},   // no ring fits
    };
    for (const Case& c : cases) {
        const RingPlan plan = PlanRings(c.cx, c.cy);
        EXPECT_EQ(plan.rings, c.rings) << c.cx << "x" << c.cy;
        EXPECT_EQ(plan.outerRadius, c.outer);
        EXPECT_EQ(plan.axisReach, c.reach);
    }
}

TEST(GraphGeometryTest, PolarPixelPutsBearingZeroUpAndGrowsClockwise) {
    double s;
    double c;
    BearingSinCos(1440, s, c);
    const Pixel right = PolarPixel(s, c, 100, 1.0f, 200, 190);
    // The single-precision quarter turn lies just short of pi / 2: sine below 1, cosine above 0.
    EXPECT_EQ(right.x, 299);
    EXPECT_EQ(right.y, 189);
    BearingSinCos(0, s, c);
    const Pixel up = PolarPixel(s, c, 100, 0.5f, 200, 190);
    EXPECT_EQ(up.x, 200);
    EXPECT_EQ(up.y, 140);
    // Bearings outside one turn are computed, not looked up.
    double s2;
    double c2;
    BearingSinCos(1440 + 5760, s2, c2);
    EXPECT_NEAR(s2, 1.0, 1e-6);
    BearingSinCos(-1440, s2, c2);
    EXPECT_NEAR(s2, -1.0, 1e-6);
}

class FindLastRevolutionTest : public ::testing::Test {
protected:
    std::vector<ScanPoint> points = std::vector<ScanPoint>(12, Sample(100, 500));
    int lastDrawn = -1;
    int start = -1;
    int end = -1;

    bool Find(bool skipSame) {
        return FindLastRevolution(points.data(), static_cast<int>(points.size()), skipSame,
                                  lastDrawn, start, end);
    }
};

TEST_F(FindLastRevolutionTest, NeedsTenRecordsAndTwoMarkersPastIndexZero) {
    points[0] = Marker(1);
    points[6] = Marker(2);
    EXPECT_FALSE(Find(true));  // index 0 never counts
    points[3] = Marker(3);
    points.resize(9);
    EXPECT_FALSE(Find(true));  // fewer than 10 records
    EXPECT_EQ(lastDrawn, -1);
}

TEST_F(FindLastRevolutionTest, TakesTheLastTwoMarkers) {
    points[2] = Marker(7);
    points[5] = Marker(8);
    points[11] = Marker(9);
    ASSERT_TRUE(Find(true));
    EXPECT_EQ(start, 5);
    EXPECT_EQ(end, 11);
    EXPECT_EQ(lastDrawn, 8);
}

TEST_F(FindLastRevolutionTest, ConsoleSkipsTheRevolutionAlreadyDrawnZoneToolDoesNot) {
    points[2] = Marker(7);
    points[9] = Marker(8);
    ASSERT_TRUE(Find(true));
    EXPECT_FALSE(Find(true));
    EXPECT_TRUE(Find(false));
    points[11] = Marker(9);
    ASSERT_TRUE(Find(true));
    EXPECT_EQ(start, 9);
    EXPECT_EQ(lastDrawn, 8);
}

TEST(SnapFrequencyTest, ValuesNearAWholeNumberReadAsIt) {
    struct Case {
        float in, out;
    } cases[] = {{9.95f, 10.0f}, {10.05f, 10.0f}, {9.5f, 9.5f}, {12.0f, 12.0f}, {12.34f, 12.34f}};
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(SnapFrequency(c.in), c.out) << c.in;
    }
}

TEST(RateEstimatorTest, EstimatesEveryFiftiethDrawing) {
    TViewState state;
    for (int i = 0; i < 49; ++i) {
        EXPECT_FALSE(RateEstimatorStep(state, 50, 5000));
    }
    ASSERT_TRUE(RateEstimatorStep(state, 50, 5000));
    EXPECT_EQ(state.rateElapsed, 5000);
    EXPECT_EQ(state.rateTurns, 50);
    EXPECT_FLOAT_EQ(state.rateFrequency, 10.0f);
    EXPECT_EQ(state.rateCalls, 0);
    // The text stays until the next estimate; the counter wraps at 2048.
    EXPECT_TRUE(RateEstimatorStep(state, 2040, 5100));
    for (int i = 0; i < 48; ++i) {
        RateEstimatorStep(state, 2040, 5100);
    }
    ASSERT_TRUE(RateEstimatorStep(state, 10, 6000));
    EXPECT_EQ(state.rateTurns, 10 - 50 + 2048);
}

TEST(RateEstimatorTest, FirstEstimateAfterLongUptimeShowsNothing) {
    TViewState state;
    const int64_t uptime = 700000;  // over ten minutes since the system started
    for (int i = 0; i < 50; ++i) {
        EXPECT_FALSE(RateEstimatorStep(state, 50, uptime));
    }
    for (int i = 0; i < 49; ++i) {
        EXPECT_FALSE(RateEstimatorStep(state, 100, uptime + 5000));
    }
    EXPECT_TRUE(RateEstimatorStep(state, 100, uptime + 5000));
    EXPECT_FLOAT_EQ(state.rateFrequency, 10.0f);
}

TEST(DisplayFilterTest, TablesHoldTheScaledSineAndCosine) {
    struct Case {
        int j, sine, cosine;
    } cases[] = {{0, 0, 1024}, {16, 35, 1023}, {8, 17, 1023}, {360, 724, 724}, {719, 1023, 2}};
    for (const Case& c : cases) {
        EXPECT_EQ(SinTable1024()[c.j], c.sine) << c.j;
        EXPECT_EQ(CosTable1024()[c.j], c.cosine) << c.j;
    }
}

TEST(DisplayFilterTest, RejectsSamplesAlongThePreviousBeam) {
    struct Case {
        int prevDistance, prevAngle, distance, angle;
        bool rejected;
    } cases[] = {
        {1000, 100, 500, 292, false},     // 12 degrees apart: never
        {1000, 100, 500, 116, true},      // 1 degree, half the range: along the beam
        {1000, 100, 1000, 116, false},    // 1 degree, same range: across the beam
        {1000, 5750, 500, 6, true},       // across the 0-degree line
        {1000, 100, 500, -30000, false},  // a bearing off the table is no neighbour
    };
    for (const Case& c : cases) {
        FilterState state{c.prevDistance, c.prevAngle};
        EXPECT_EQ(DisplayFilterRejects(state, c.distance, c.angle), c.rejected) << c.angle;
        EXPECT_EQ(state.prevDistance, c.distance);
        EXPECT_EQ(state.prevAngle, c.angle);
    }
}
