#include <gtest/gtest.h>

#include <vector>

#include "GraphTestSupport.h"
#include "Vykgraph.h"

using namespace vykgraph;
using graphtest::Marker;
using graphtest::Revolution;
using graphtest::Rgb;
using graphtest::Sample;

namespace {

constexpr int kW = 1106;
constexpr int kH = 598;

ProtectZone Sector(int radius, int halfAngle) {
    ProtectZone zone{};
    zone.count = 2;
    zone.x[0] = radius;
    zone.y[0] = halfAngle;
    return zone;
}

ProtectZone Square(int half) {
    ProtectZone zone{};
    zone.count = 4;
    const int xs[] = {-half, half, half, -half};
    const int ys[] = {-half, -half, half, half};
    for (int i = 0; i < 4; ++i) {
        zone.x[i] = xs[i];
        zone.y[i] = ys[i];
    }
    return zone;
}

class ZoneOverlayTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { graphtest::EnsureGuiApp(); }
    void SetUp() override {
        graph.SetView(kViewCircle, 1, kW, kH);
        h = graph.PlotHeight();
        cx = graph.PlotWidth() >> 1;
        cy = graph.PlotHeight() >> 1;
    }
    void Draw(const std::vector<ScanPoint>& points) {
        graph.Draw(points.data(), 0, static_cast<int>(points.size()));
    }
    bool LabelAt(int x, int y, const char* text, const QColor& back) {
        QImage expected = graph.Plot().copy();
        GraphCanvas canvas(&expected);
        canvas.Begin();
        DrawLabel(canvas, x, y, QString::fromUtf8(text), colours::kWhite, back);
        canvas.End();
        // Outlines and axes start at a label's corner: its first rows and columns are theirs.
        const int width = 8 * AnsiLength(QString::fromUtf8(text));
        return graphtest::SameRegion(graph.Plot(), expected, x + 2, y + 2, width - 2, 18);
    }

    QImage target{kW, kH, QImage::Format_RGB32};
    TVykGraph graph{&target, 1, kViewCircle, GraphProgram::ZoneTool};
    int h = 0;
    int cx = 0;
    int cy = 0;
};

TEST_F(ZoneOverlayTest, SectorHitsOnBothSidesOfBearingZero) {
    graph.SetZone(0, Sector(500, 30));
    graph.SetZone(1, Sector(300, 180));
    Draw(Revolution(1, {Sample(0, 100), Sample(5280, 100), Sample(481, 100), Sample(0, 500),
                        Sample(2880, 299), Sample(2880, 0), Sample(scanner::kInfoT1, 0)}));
    EXPECT_EQ(graph.ZoneHits(0), 2);
    EXPECT_EQ(graph.ZoneHits(1), 4);  // every return closer than 300; no return is no hit
    EXPECT_EQ(graph.ZoneHits(2), 0);
}

TEST_F(ZoneOverlayTest, PolygonHitsUseTheSamplesCartesianPosition) {
    graph.SetZone(2, Square(100));
    Draw(Revolution(
        1, {Sample(0, 50), Sample(0, 200), Sample(2880, 99), Sample(720, 140), Sample(720, 150)}));
    // (0, 50), (0, -99) and (98, 98) lie inside; (106, 106) and (0, 200) do not.
    EXPECT_EQ(graph.ZoneHits(2), 3);
}

TEST_F(ZoneOverlayTest, CornerCountAboveFiveReadsOnlyTheFiveCorners) {
    ProtectZone five = Square(100);
    five.count = 5;
    five.x[4] = -100;
    five.y[4] = 0;
    ProtectZone hacked = five;
    hacked.count = 200;
    const std::vector<ScanPoint> scan =
        Revolution(1, {Sample(0, 50), Sample(4320, 99), Sample(1440, 99), Sample(0, 150)});
    graph.SetZone(0, five);
    Draw(scan);
    const int hits = graph.ZoneHits(0);
    const QImage picture = graph.Plot().copy();
    graph.SetZone(0, hacked);
    Draw(scan);
    EXPECT_EQ(hits, 3);
    EXPECT_EQ(graph.ZoneHits(0), hits);
    EXPECT_EQ(graph.Plot(), picture);
}

TEST_F(ZoneOverlayTest, FarOutRecordsDrawWithoutOverflow) {
    // Only a hand-edited file holds such values; the arithmetic must stay within int.
    ProtectZone huge = Sector(INT32_MAX, -INT32_MAX);
    ProtectZone wide = Square(2000000000);
    wide.count = 5;
    wide.x[4] = 0;
    wide.y[4] = INT32_MAX;
    graph.SetZone(0, huge);
    graph.SetZone(1, wide);
    graph.SetZone(2, Sector(-5000, 100000));
    Draw(Revolution(1, {Sample(0, 50), Sample(2880, 50)}));
    EXPECT_EQ(graph.ZoneHits(0), 0);  // half-angle below zero: no bearing qualifies
    EXPECT_EQ(graph.ZoneHits(1), 2);
    EXPECT_EQ(graph.ZoneHits(2), 0);  // nothing is closer than a negative radius
    EXPECT_EQ(Rgb(graph.Plot(), 105, h - 5), graphtest::kGreen);
}

TEST_F(ZoneOverlayTest, OutputStateColoursBoxesOutlinesAndGroup) {
    graph.SetZone(0, Square(100));
    graph.SetZone(1, Square(150));
    Draw(Revolution(1, {Sample(0, 50), Sample(scanner::kInfoT1, 0x41)}));
    EXPECT_EQ(graph.OutputState(), 0x41);
    const QImage& plot = graph.Plot();
    EXPECT_EQ(Rgb(plot, 5, h - 5), graphtest::kRed);
    EXPECT_EQ(Rgb(plot, 105, h - 5), graphtest::kGreen);
    EXPECT_EQ(Rgb(plot, 205, h - 5), graphtest::kGreen);
    EXPECT_EQ(Rgb(plot, 1, h - 5), graphtest::kBlue);  // outline
    EXPECT_TRUE(LabelAt(26, h - 22, "区域保护1", colours::kRed));
    EXPECT_TRUE(LabelAt(126, h - 22, "区域保护2", colours::kGreen));
    EXPECT_EQ(Rgb(plot, 5, h - 40), graphtest::kTeal);
    EXPECT_TRUE(LabelAt(26, h - 52, "当前输入第 2 组", colours::kTeal));
    // Top edges of the outlines: output 1 active (red), output 2 not (green).
    EXPECT_EQ(Rgb(plot, cx + 50, cy - 100), graphtest::kRed);
    EXPECT_EQ(Rgb(plot, cx + 50, cy - 150), graphtest::kGreen);
}

TEST_F(ZoneOverlayTest, ActiveOutputWithoutAZoneStaysGreenAndStatePersists) {
    Draw(Revolution(1, {Sample(0, 50), Sample(scanner::kInfoT1, 0x01)}));
    EXPECT_EQ(Rgb(graph.Plot(), 5, h - 5), graphtest::kGreen);
    graph.SetZone(0, Square(100));
    Draw(Revolution(2, {Sample(0, 50)}));  // no 5770: the old state holds
    EXPECT_EQ(graph.OutputState(), 0x01);
    EXPECT_EQ(Rgb(graph.Plot(), 5, h - 5), graphtest::kRed);
}

// A replay tries the zones being edited: the outputs are the zones' own verdict on the drawn
// revolution, and the recording's outputs go beside them once it gave any.
TEST_F(ZoneOverlayTest, ReplayOutputsFollowTheZonesWithTheRecordedOnesBeside) {
    graph.SetOutputsFromZones(true);
    ProtectZone twoHits = Square(100);
    twoHits.IOTCount = 2;
    graph.SetZone(0, twoHits);
    graph.SetZone(1, Square(150));  // sensitivity 0 counts as 1
    const QImage& plot = graph.Plot();
    const int recorded[] = {171, 221, 271};

    Draw(Revolution(1, {Sample(0, 50)}));
    struct Box {
        int x;
        QRgb colour;
    } oneHit[] = {{5, graphtest::kGreen}, {105, graphtest::kRed}, {205, graphtest::kGreen}};
    for (const Box& box : oneHit) EXPECT_EQ(Rgb(plot, box.x, h - 5), box.colour) << box.x;
    EXPECT_EQ(Rgb(plot, cx + 50, cy - 100), graphtest::kGreen);
    EXPECT_EQ(Rgb(plot, cx + 50, cy - 150), graphtest::kRed);
    for (const int x : recorded) {
        EXPECT_NE(Rgb(plot, x + 10, h - 40), graphtest::kRed) << "no recorded outputs yet";
        EXPECT_NE(Rgb(plot, x + 10, h - 40), graphtest::kGreen);
    }

    // The recording's scanner had outputs 1 and 3 active, a zone of its own in slot 3.
    Draw(Revolution(2, {Sample(0, 50), Sample(0, 60), Sample(scanner::kInfoT1, 0x45)}));
    EXPECT_EQ(Rgb(plot, 5, h - 5), graphtest::kRed);
    EXPECT_EQ(Rgb(plot, 105, h - 5), graphtest::kRed);
    EXPECT_EQ(Rgb(plot, 205, h - 5), graphtest::kGreen);
    const QRgb expected[] = {graphtest::kRed, graphtest::kGreen, graphtest::kRed};
    for (int z = 0; z < 3; ++z) EXPECT_EQ(Rgb(plot, recorded[z] + 46, h - 33), expected[z]) << z;
    EXPECT_TRUE(LabelAt(recorded[0] + 4, h - 52, "记录1", colours::kRed));
    EXPECT_TRUE(LabelAt(26, h - 52, "当前输入第 2 组", colours::kTeal));

    // Live again: the scanner's outputs colour the boxes, and none go beside them.
    graph.SetOutputsFromZones(false);
    Draw(Revolution(3, {Sample(0, 50), Sample(scanner::kInfoT1, 0x02)}));
    EXPECT_EQ(Rgb(plot, 5, h - 5), graphtest::kGreen);
    EXPECT_EQ(Rgb(plot, 105, h - 5), graphtest::kRed);
    EXPECT_NE(Rgb(plot, recorded[1] + 46, h - 33), graphtest::kGreen);
}

TEST_F(ZoneOverlayTest, LabelsShowCountsOnlyForLongEnoughRevolutions) {
    // A half circle: its label sits at the left end, on the x axis.
    graph.SetZone(0, Sector(200, 90));
    graph.SetZone(1, Square(100));
    // end - start = 5: the numbers alone.
    Draw(Revolution(1, std::vector<ScanPoint>(4, Sample(0, 50))));
    EXPECT_TRUE(LabelAt(cx - 199, cy, "1", colours::kBlack));
    EXPECT_FALSE(LabelAt(cx - 199, cy, "1:4", colours::kBlack));
    EXPECT_TRUE(LabelAt(cx - 100, cy + 100, "2", colours::kBlack));
    // 6: sector counts; 11: polygon counts too.
    Draw(Revolution(2, std::vector<ScanPoint>(5, Sample(0, 50))));
    EXPECT_TRUE(LabelAt(cx - 199, cy, "1:5", colours::kBlack));
    EXPECT_TRUE(LabelAt(cx - 100, cy + 100, "2", colours::kBlack));
    EXPECT_FALSE(LabelAt(cx - 100, cy + 100, "2:5", colours::kBlack));
    Draw(Revolution(3, std::vector<ScanPoint>(10, Sample(0, 50))));
    EXPECT_TRUE(LabelAt(cx - 100, cy + 100, "2:10", colours::kBlack));
}

TEST_F(ZoneOverlayTest, SectorOutlineRunsOverTheTopWithRadiiUnlessItIsAFullCircle) {
    // Radius 230 lies between the rings of 200 and 250; the axes reach 250 pixels.
    const auto greenNear = [this](int x, int y) {
        return graphtest::CountColour(graph.Plot().copy(x - 2, y - 2, 5, 5), graphtest::kGreen) > 0;
    };
    struct Case {
        int half;
        bool left, bottom, radiiOnXAxis, radiusAt60;
    } cases[] = {
        {180, true, true, false, false},
        {90, true, false, true, false},
        {30, false, false, false, true},
    };
    for (const Case& c : cases) {
        graph.SetZone(0, Sector(230, c.half));
        Draw({});
        EXPECT_TRUE(greenNear(cx + 3, cy - 229)) << c.half;
        EXPECT_EQ(greenNear(cx - 229, cy - 3), c.left) << c.half;
        EXPECT_EQ(greenNear(cx + 3, cy + 228), c.bottom) << c.half;
        EXPECT_EQ(Rgb(graph.Plot(), cx + 120, cy) == graphtest::kGreen, c.radiiOnXAxis) << c.half;
        EXPECT_EQ(Rgb(graph.Plot(), cx - 120, cy) == graphtest::kGreen, c.radiiOnXAxis) << c.half;
        EXPECT_EQ(greenNear(cx + 60, cy - 104), c.radiusAt60) << c.half;
        EXPECT_EQ(greenNear(cx - 60, cy - 104), c.radiusAt60) << c.half;
        EXPECT_EQ(Rgb(graph.Plot(), cx, cy + 120), graphtest::kBlue) << c.half;  // no radius down
    }
}

TEST_F(ZoneOverlayTest, NoRevolutionStillDrawsGraticuleZonesAndTheFiveMetreRing) {
    graph.SetZone(0, Square(100));
    std::vector<ScanPoint> points(20, Sample(0, 50));
    Draw(points);  // no marker at all
    const QImage& plot = graph.Plot();
    EXPECT_EQ(graph.ZoneHits(0), 0);
    EXPECT_EQ(Rgb(plot, cx + 50, cy - 100), graphtest::kGreen);
    EXPECT_EQ(Rgb(plot, 105, h - 5), graphtest::kGreen);
    int red = 0;
    for (int dx = -3; dx <= 3; ++dx) {
        for (int dy = 30; dy <= 40; ++dy) {
            red += Rgb(plot, cx + 500 + dx, cy - dy) == graphtest::kRed;  // 5 m at scale 1
        }
    }
    EXPECT_GT(red, 0);
}

TEST_F(ZoneOverlayTest, FiveMetreRingRadiusTruncatesTheUnroundedProduct) {
    QImage big(1200, 1100, QImage::Format_RGB32);
    TVykGraph tall(&big, 1, kViewCircle, GraphProgram::ZoneTool);
    tall.SetView(kViewCircle, 1, 1200, 1100);
    tall.ShrinkRowScale(0);  // 0.9f * 500 is 449.99999, so 449 pixels; the ring of 450 is blue
    tall.Draw(nullptr, 0, 0);
    const int x = (tall.PlotWidth() >> 1) + 1;
    const int y = tall.PlotHeight() >> 1;
    EXPECT_EQ(Rgb(tall.Plot(), x, y - 449), graphtest::kRed);
    EXPECT_EQ(Rgb(tall.Plot(), x, y - 450), graphtest::kBlue);
}

TEST_F(ZoneOverlayTest, SetZoneIgnoresSlotsOutsideTheTable) {
    const ProtectZone zone = Square(100);
    graph.SetZone(3, zone);
    graph.SetZone(-1, zone);
    for (int slot = 0; slot < TVykGraph::kZoneSlots; ++slot) {
        EXPECT_EQ(graph.Zone(slot).count, 0);
    }
    graph.SetZone(2, zone);
    EXPECT_EQ(graph.Zone(2).count, 4);
    EXPECT_EQ(graph.Zone(2).x[1], 100);
}

TEST(ZoneOverlayConsoleTest, ConsoleDrawsNoZonesNorTheFiveMetreRing) {
    graphtest::EnsureGuiApp();
    QImage target(kW, kH, QImage::Format_RGB32);
    TVykGraph graph(&target, 1, kViewCircle, GraphProgram::Console);
    graph.SetView(kViewCircle, 1, kW, kH);
    graph.SetZone(0, Square(100));
    const std::vector<ScanPoint> points = Revolution(1, {Sample(scanner::kInfoT1, 0x41)});
    graph.Draw(points.data(), 0, static_cast<int>(points.size()));
    EXPECT_EQ(graphtest::CountColour(graph.Plot(), graphtest::kRed), 0);
    EXPECT_EQ(graphtest::CountColour(graph.Plot(), graphtest::kGreen), 0);
    EXPECT_EQ(graph.OutputState(), 0);
}

}  // namespace
