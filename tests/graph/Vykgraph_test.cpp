#include "Vykgraph.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "GraphTestSupport.h"

using namespace vykgraph;
using graphtest::Marker;
using graphtest::Revolution;
using graphtest::Rgb;
using graphtest::Sample;

namespace {

constexpr int kW = 1106;
constexpr int kH = 598;

int64_t FixedTick() {
    return 5000;
}

class VykGraphTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { graphtest::EnsureGuiApp(); }

    void Use(GraphProgram program, int view, int width = kW, int height = kH) {
        graph = std::make_unique<TVykGraph>(&target, 1, kViewCircle, program, &shared);
        graph->SetTickSource(FixedTick);
        target = QImage(width, height, QImage::Format_RGB32);
        graph->SetView(view, 1, width, height);
    }
    void Draw(const std::vector<ScanPoint>& points, int first = 0) {
        graph->Draw(points.data(), first, static_cast<int>(points.size()));
    }
    // Plot position of a sample in the circle views, worked out independently of the graph.
    Pixel Mapped(int angle, int distance) const {
        const float theta = static_cast<float>(angle * 3.1415926 / 2880);
        const int r = static_cast<int>(distance * graph->RowScale(0));
        return {
            static_cast<int>(std::sin(static_cast<double>(theta)) * r + (graph->PlotWidth() >> 1)),
            static_cast<int>((graph->PlotHeight() >> 1) -
                             std::cos(static_cast<double>(theta)) * r)};
    }
    // Renders a label where a view should have written it, on an otherwise identical image.
    QImage Expected(const QImage& base, int x, int y, const char* text, const QColor& font,
                    const QColor& back) {
        QImage copy = base.copy();
        GraphCanvas canvas(&copy);
        canvas.Begin();
        DrawLabel(canvas, x, y, QString::fromUtf8(text), font, back);
        canvas.End();
        return copy;
    }

    QImage target;
    TViewState shared;  // the program's, across the graphs a test makes
    std::unique_ptr<TVykGraph> graph;
};

TEST_F(VykGraphTest, NewGraphBeforeAnyLayout) {
    TVykGraph fresh(&target, 0, kViewCircle);
    EXPECT_EQ(fresh.Plot().width(), 1500);
    EXPECT_EQ(fresh.Plot().height(), 350);
    EXPECT_EQ(fresh.PointsPerView(), 10000);
    EXPECT_EQ(fresh.MaxRows(), 1);
    EXPECT_EQ(TVykGraph(&target, 9, kViewData).MaxRows(), 4);
    int distance = -1;
    int angle = -1;
    fresh.GetReferencePoint(distance, angle);
    EXPECT_EQ(distance, 0);
    EXPECT_EQ(angle, 0);
}

TEST_F(VykGraphTest, SetViewLaysOutAndPaintsTheTarget) {
    Use(GraphProgram::Console, kViewData);
    EXPECT_EQ(graph->PlotWidth(), 1056);
    EXPECT_EQ(graph->PlotHeight(), 515);
    EXPECT_EQ(graph->Plot().size(), QSize(1056, 515));
    EXPECT_EQ(graph->PlotLeft(), 30);
    EXPECT_EQ(Rgb(target, 500, 5), colours::kButtonFace.rgb() & 0xFFFFFF);
    EXPECT_EQ(Rgb(target, 500, kH - 20), graphtest::kBlack);  // time axis
    EXPECT_EQ(Rgb(target, 130, kH - 25), graphtest::kBlack);  // its tick at 130

    graph->SetView(kViewCircle, 5, kW, kH);
    EXPECT_EQ(graph->RowCount(), 1);
    EXPECT_EQ(graph->Plot().size(), QSize(1106, 578));
    EXPECT_EQ(graph->PlotLeft(), 0);
    EXPECT_EQ(Rgb(target, 500, 5), graphtest::kBlack);
}

TEST_F(VykGraphTest, CircleLayoutHasOneRowWhateverTheRowsAsked) {
    TVykGraph graph(&target, 4, kViewData);
    target = QImage(kW, kH, QImage::Format_RGB32);
    graph.SetView(kViewData, 3, kW, kH);
    EXPECT_EQ(graph.RowCount(), 3);
    graph.SetView(kViewCircle, 3, kW, kH);
    EXPECT_EQ(graph.RowCount(), 1);
}

TEST_F(VykGraphTest, TimeZoomBelongsToTheConsole) {
    Use(GraphProgram::Console, kViewData);
    EXPECT_EQ(graph->SetTimeZoom(0), 1056);
    EXPECT_EQ(graph->SetTimeZoom(2), 4224);
    EXPECT_EQ(graph->SetTimeZoom(-6), 16);
    EXPECT_EQ(graph->SetTimeZoom(40), 1056 << 10);  // clamped to 10
    EXPECT_EQ(graph->TimeZoom(), 10);

    Use(GraphProgram::ZoneTool, kViewData);
    EXPECT_EQ(graph->SetTimeZoom(2), 1056);
    EXPECT_EQ(graph->TimeZoom(), 0);
    graph->SetDisplayFilter(true);
    EXPECT_FALSE(graph->DisplayFilter());
}

TEST_F(VykGraphTest, PickReferenceAngleOnlyInTheCircleView) {
    Use(GraphProgram::Console, kViewCircle);
    const int cx = kW / 2;
    const int cy = 20 + (kH - 20) / 2;
    graph->PickReferenceAngle(cx + 200, cy);
    EXPECT_EQ(graph->ReferenceAngle(), 1440);
    graph->PickReferenceAngle(cx, cy - 50);
    EXPECT_EQ(graph->ReferenceAngle(), 0);
    graph->PickReferenceAngle(cx + 80, cy - 80);
    EXPECT_EQ(graph->ReferenceAngle(), 720);
    graph->SetView(kViewData, 1, kW, kH);
    graph->PickReferenceAngle(cx + 200, cy);
    EXPECT_EQ(graph->ReferenceAngle(), 720);
}

TEST_F(VykGraphTest, RowScaleStepsIgnoreRowsOutsideTheTables) {
    Use(GraphProgram::Console, kViewCircle);
    graph->ShrinkRowScale(0);
    EXPECT_FLOAT_EQ(graph->RowScale(0), 0.9f);
    graph->GrowRowScale(0);
    EXPECT_EQ(graph->RowScale(0), 1.0f);
    graph->ShrinkRowScale(-1);
    graph->ShrinkRowScale(4);
    for (int row = 0; row < kMaxRows; ++row) {
        EXPECT_EQ(graph->RowScale(row), 1.0f);
    }
}

TEST_F(VykGraphTest, CircleViewDotsASampleAtItsMappedPixel) {
    Use(GraphProgram::Console, kViewCircle);
    const int angle = 300;
    const int distance = 230;
    Draw(Revolution(4, {Sample(angle, distance), Sample(2000, 0)}));
    const Pixel p = Mapped(angle, distance);
    const QImage& plot = graph->Plot();
    EXPECT_EQ(Rgb(plot, p.x - 1, p.y - 1), graphtest::kRed);
    EXPECT_EQ(Rgb(plot, p.x - 2, p.y - 2), graphtest::kRed);
    EXPECT_EQ(Rgb(plot, p.x, p.y), graphtest::kBlack);
    EXPECT_EQ(Rgb(plot, p.x - 3, p.y - 1), graphtest::kBlack);
    // The plot reaches the target 20 pixels down.
    EXPECT_EQ(Rgb(target, p.x - 1, p.y - 1 + 20), graphtest::kRed);
    EXPECT_EQ(shared.lastDrawnRevolution, 4);
}

TEST_F(VykGraphTest, ConsoleCircleViewNeedsANewRevolution) {
    Use(GraphProgram::Console, kViewCircle);
    std::vector<ScanPoint> points = Revolution(4, {Sample(300, 230)});
    Draw(points);
    const QImage first = graph->Plot().copy();
    points[9] = Sample(300, 120);  // same counter, other data: not drawn again
    Draw(points);
    EXPECT_EQ(graph->Plot(), first);
    points.push_back(Sample(300, 120));
    points.push_back(Marker(6));
    Draw(points);
    EXPECT_NE(graph->Plot(), first);
    EXPECT_EQ(shared.lastDrawnRevolution, 5);
}

TEST_F(VykGraphTest, ConsoleCircleViewWithoutARevolutionDrawsNothing) {
    Use(GraphProgram::Console, kViewCircle);
    std::vector<ScanPoint> points(9, Sample(300, 230));
    points[2] = Marker(1);
    points[6] = Marker(2);
    Draw(points);  // fewer than 10 records
    points.push_back(Sample(300, 230));
    points[2] = Sample(300, 230);
    Draw(points);  // one marker only
    EXPECT_EQ(graphtest::CountColour(graph->Plot(), graphtest::kBlack),
              graph->PlotWidth() * graph->PlotHeight());
}

TEST_F(VykGraphTest, RevolutionOfNoReturnsShowsOnlyGraticuleAndTexts) {
    Use(GraphProgram::Console, kViewCircle);
    Draw(Revolution(1, std::vector<ScanPoint>(200, Sample(1000, 0))));
    const QImage& plot = graph->Plot();
    EXPECT_EQ(graphtest::CountColour(plot, graphtest::kRed), 0);
    EXPECT_GT(graphtest::CountColour(plot, graphtest::kBlue), 1000);
    // "5K" in blue at the top right, the ring at radius 100 on the axis.
    EXPECT_LT(graphtest::CountColour(plot.copy(kW - 100, 20, 32, 40), graphtest::kBlack), 32 * 40);
    EXPECT_EQ(Rgb(plot, (kW >> 1), ((kH - 20) >> 1) - 100), graphtest::kBlue);
}

TEST_F(VykGraphTest, ReferenceBearingLineAndPoint) {
    Use(GraphProgram::Console, kViewCircle);
    // At the start bearing 0 no sample qualifies.
    Draw(Revolution(1, {Sample(1430, 230), Sample(1445, 240)}));
    int distance = -1;
    int angle = -1;
    graph->GetReferencePoint(distance, angle);
    EXPECT_EQ(distance, 0);
    EXPECT_EQ(angle, 0);
    // Texts only: no white reference line along the samples' bearing.
    EXPECT_GT(graphtest::CountColour(graph->Plot(), graphtest::kWhite), 0);
    const QRect alongTheLine(560, 280, 200, 15);
    const int whiteWithoutLine =
        graphtest::CountColour(graph->Plot().copy(alongTheLine), graphtest::kWhite);
    EXPECT_EQ(whiteWithoutLine, 0);

    graph->PickReferenceAngle(kW / 2 + 100, 20 + (kH - 20) / 2);  // 1440
    Draw(Revolution(2, {Sample(1430, 230), Sample(1445, 240)}));
    graph->GetReferencePoint(distance, angle);
    EXPECT_EQ(distance, 230);
    EXPECT_EQ(angle, 1430);
    EXPECT_GT(graphtest::CountColour(graph->Plot().copy(alongTheLine), graphtest::kWhite),
              whiteWithoutLine + 100);
}

TEST_F(VykGraphTest, DisplayFilterDropsSamplesAlongTheBeam) {
    Use(GraphProgram::Console, kViewCircle);
    graph->SetDisplayFilter(true);
    // 16 units apart, half the range: the second lies along the first one's beam.
    Draw(Revolution(1, {Sample(1000, 250), Sample(1016, 110)}));
    const Pixel kept = Mapped(1000, 250);
    const Pixel dropped = Mapped(1016, 110);
    EXPECT_EQ(Rgb(graph->Plot(), kept.x - 1, kept.y - 1), graphtest::kRed);
    EXPECT_EQ(Rgb(graph->Plot(), dropped.x - 1, dropped.y - 1), graphtest::kBlack);
    graph->SetDisplayFilter(false);
    Draw(Revolution(2, {Sample(1000, 250), Sample(1016, 110)}));
    EXPECT_EQ(Rgb(graph->Plot(), dropped.x - 1, dropped.y - 1), graphtest::kRed);
}

TEST_F(VykGraphTest, RateTextAppearsWithTheFirstEstimate) {
    Use(GraphProgram::Console, kViewCircle);
    std::vector<ScanPoint> points = Revolution(0, {Sample(300, 230)});
    const QRect rateBox(20, 40, 8 * 14, 20);  // "10.00,100.00ms"
    for (int i = 1; i <= 50; ++i) {
        points.back() = Marker(i);
        points.push_back(Marker(i + 1));
        Draw(points);
        const int black = graphtest::CountColour(graph->Plot().copy(rateBox), graphtest::kBlack);
        if (i < 50) {
            ASSERT_EQ(black, rateBox.width() * rateBox.height()) << "drawing " << i;
        } else {
            EXPECT_LT(black, rateBox.width() * rateBox.height());
        }
    }
    // 50 revolutions in 5000 ms from tick 0.
    EXPECT_FLOAT_EQ(shared.rateFrequency, 10.0f);
    EXPECT_TRUE(graphtest::SameRegion(
        graph->Plot(),
        Expected(graph->Plot(), 20, 40, "10.00,100.00ms", colours::kWhite, colours::kBlack),
        rateBox.x(), rateBox.y(), rateBox.width(), rateBox.height()));
}

TEST_F(VykGraphTest, CircleViewWritesTheCounterAndTheRevolutionLength) {
    Use(GraphProgram::Console, kViewCircle);
    const std::vector<ScanPoint> points =
        Revolution(4, {Sample(300, 230), Sample(900, 230), Sample(5770, 1)});
    Draw(points);
    // end - start: the three samples and the opening marker.
    EXPECT_TRUE(graphtest::SameRegion(
        graph->Plot(), Expected(graph->Plot(), 20, 20, "4,4", colours::kWhite, colours::kBlack), 20,
        20, 24, 20));
}

TEST_F(VykGraphTest, MultiCircleViewDrawsTheWholeWindowEveryTime) {
    Use(GraphProgram::Console, kViewMultiCircle);
    EXPECT_EQ(graph->PlotLeft(), 30);  // strip layout, plot copied to (0, 20)
    Draw({Marker(3), Sample(300, 230), Marker(4), Sample(900, 150)});
    const Pixel gone = Mapped(300, 230);
    ASSERT_EQ(Rgb(graph->Plot(), gone.x - 1, gone.y - 1), graphtest::kRed);
    // The next window replaces the whole plot, samples and text.
    Draw({Marker(7), Sample(2000, 200), Sample(4000, 120), Marker(8), Sample(900, 150)});
    EXPECT_EQ(Rgb(graph->Plot(), gone.x - 1, gone.y - 1), graphtest::kBlack);
    for (const Pixel p : {Mapped(2000, 200), Mapped(4000, 120), Mapped(900, 150)}) {
        EXPECT_EQ(Rgb(graph->Plot(), p.x - 1, p.y - 1), graphtest::kRed) << p.x << "," << p.y;
    }
    const Pixel b = Mapped(900, 150);
    EXPECT_EQ(Rgb(target, b.x - 1, b.y - 1 + 20), graphtest::kRed);
    const QImage expected =
        Expected(graph->Plot(), 20, 20, "8,5", colours::kWhite, colours::kBlack);
    EXPECT_EQ(graph->Plot(), expected);
}

// The black plot with its graticule is kept from one circle drawing to the next: after a change
// of scale or size the drawing must equal that of a new graph set up the same way.
TEST_F(VykGraphTest, CircleViewAfterAChangeDrawsAsANewGraph) {
    const struct {
        const char* name;
        std::function<void(TVykGraph&)> change;
    } cases[] = {
        {"smaller scale", [](TVykGraph& g) { g.ShrinkRowScale(0); }},
        {"other size", [](TVykGraph& g) { g.SetView(kViewCircle, 1, 800, 500); }},
        {"data view and back",
         [](TVykGraph& g) {
             g.SetView(kViewData, 1, 700, 400);
             g.SetView(kViewCircle, 1, kW, kH);
         }},
    };
    const std::vector<ScanPoint> revolution = Revolution(1, {Sample(1000, 300)});
    for (const auto& c : cases) {
        for (const GraphProgram program : {GraphProgram::Console, GraphProgram::ZoneTool}) {
            Use(program, kViewCircle);
            Draw(revolution);
            c.change(*graph);
            shared = TViewState{};
            Draw(revolution);
            const QImage changed = graph->Plot().copy();

            Use(program, kViewCircle);
            c.change(*graph);
            shared = TViewState{};
            Draw(revolution);
            EXPECT_EQ(changed, graph->Plot()) << c.name;
        }
    }
}

TEST_F(VykGraphTest, ZoneToolHasNoMultiCircleView) {
    Use(GraphProgram::ZoneTool, kViewMultiCircle);
    Draw({Marker(3), Sample(300, 230), Marker(4)});
    EXPECT_EQ(Rgb(graph->Plot(), 5, 300), colours::kButtonFace.rgb() & 0xFFFFFF);
}

class StripViewTest : public VykGraphTest {
protected:
    void SetUp() override {
        VykGraphTest::SetUp();
        Use(GraphProgram::Console, kViewData);
        h = graph->PlotHeight();
    }
    // Short bars so the texts above them stay readable.
    std::vector<ScanPoint> Bars(int n) { return std::vector<ScanPoint>(n, Sample(100, 10)); }
    int h = 0;
};

TEST_F(StripViewTest, ZeroDistanceIsARedTickAndFarOnesReachTheTop) {
    std::vector<ScanPoint> points = Bars(200);
    points[150] = Sample(100, 0);
    points[120] = Sample(100, 100000);
    Draw(points);
    const QImage& plot = graph->Plot();
    for (int y = h - 6; y < h - 1; ++y) {
        EXPECT_EQ(Rgb(plot, 150, y), graphtest::kRed) << y;
    }
    EXPECT_NE(Rgb(plot, 150, h - 7), graphtest::kRed);
    EXPECT_EQ(Rgb(plot, 120, 1), graphtest::kBlack);
    EXPECT_EQ(Rgb(plot, 120, 200), graphtest::kBlack);
    EXPECT_EQ(Rgb(plot, 121, 200), colours::kButtonFace.rgb() & 0xFFFFFF);
    EXPECT_EQ(Rgb(plot, 121, h - 5), graphtest::kBlack);  // a 10 cm bar
    EXPECT_EQ(Rgb(plot, 121, h - 11), colours::kButtonFace.rgb() & 0xFFFFFF);
    EXPECT_EQ(Rgb(plot, 300, h - 100), graphtest::kBlue);  // grid
    EXPECT_EQ(Rgb(target, 30 + 150, 20 + h - 3), graphtest::kRed);
}

TEST_F(StripViewTest, BarHeightTruncatesTheUnroundedProduct) {
    graph->ShrinkRowScale(0);  // 0.9f lies just below 0.9: 10 cm make 8.99999976 pixels
    Draw(Bars(20));
    EXPECT_EQ(Rgb(graph->Plot(), 5, h - 8), graphtest::kBlack);
    EXPECT_EQ(Rgb(graph->Plot(), 5, h - 9), colours::kButtonFace.rgb() & 0xFFFFFF);
}

TEST_F(StripViewTest, HugeDistanceAtTheOvershootScaleReachesTheTop) {
    for (int i = 0; i < 36; ++i) {
        graph->ShrinkRowScale(0);
    }
    for (int i = 0; i < 37; ++i) {
        graph->GrowRowScale(0);
    }
    ASSERT_GT(graph->RowScale(0), 1.1f);
    std::vector<ScanPoint> points = Bars(20);
    points[5] = Sample(scanner::kStatusCodeF4, INT32_MAX);  // a status line's first number
    Draw(points);
    EXPECT_EQ(Rgb(graph->Plot(), 5, 1), graphtest::kBlack);
    EXPECT_EQ(Rgb(graph->Plot(), 6, 1), colours::kButtonFace.rgb() & 0xFFFFFF);
}

TEST_F(StripViewTest, OneBarPerColumnAtHighZoom) {
    graph->SetTimeZoom(2);
    std::vector<ScanPoint> points = Bars(40);
    points[4] = Sample(100, 0);                       // first of column 1: red tick
    points[5] = Sample(100, 300);                     // later ones of the column are not drawn
    points[9] = Sample(scanner::kInfoZeroDegree, 3);  // but its info points are
    Draw(points);
    EXPECT_EQ(Rgb(graph->Plot(), 1, h - 3), graphtest::kRed);
    EXPECT_EQ(Rgb(graph->Plot(), 2, 200), graphtest::kGreen);
    EXPECT_EQ(Rgb(graph->Plot(), 1, h - 150), colours::kButtonFace.rgb() & 0xFFFFFF);
}

TEST_F(StripViewTest, FrequencyMarkerWithSeconds) {
    std::vector<ScanPoint> points = Bars(300);
    points[99] = Sample(scanner::kInfoSeconds, 7);
    points[100] = Sample(scanner::kInfoFrequency, 100);
    points[200] = Sample(scanner::kInfoFrequency, 0);
    Draw(points);
    const QImage& plot = graph->Plot();
    EXPECT_EQ(Rgb(plot, 100, 40), graphtest::kRed);
    EXPECT_EQ(Rgb(plot, 100, 39), colours::kButtonFace.rgb() & 0xFFFFFF);
    EXPECT_TRUE(graphtest::SameRegion(
        plot, Expected(plot, 100, 60, "7秒 20.0HZ", colours::kBlack, colours::kButtonFace), 100, 60,
        80, 20));
    // v = 0: the line only.
    EXPECT_EQ(Rgb(plot, 200, 70), graphtest::kRed);
    EXPECT_EQ(Rgb(plot, 201, 70), colours::kButtonFace.rgb() & 0xFFFFFF);
}

TEST_F(StripViewTest, InfoMarkerTexts) {
    std::vector<ScanPoint> points = Bars(700);
    points[100] = Sample(scanner::kInfoZeroDegree, 42);
    points[200] = Sample(scanner::kInfoMarkFirst + 2, 720);
    points[300] = Sample(scanner::kInfoT1, 65);
    points[400] = Sample(scanner::kInfoLateMarkFirst, 1440);
    points[500] = Sample(scanner::kInfoLateMarkFirst + 3, 2880);
    points[600] = Sample(scanner::kInfoLast + 1, 5);
    Draw(points);
    const QImage& plot = graph->Plot();
    struct Case {
        int x, y;
        const char* text;
    } cases[] = {
        {102, 140, "42圈"},  {10, 30, "42   "},     {200, 240, "3:90度"},
        {302, 180, "T1:65"}, {400, 200, "1:180度"}, {500, 240, "4:360度"},
    };
    for (const Case& c : cases) {
        const int width = 8 * AnsiLength(QString::fromUtf8(c.text));
        EXPECT_TRUE(graphtest::SameRegion(
            plot, Expected(plot, c.x, c.y, c.text, colours::kBlack, colours::kButtonFace), c.x, c.y,
            width, 15))  // the grid may cross a label's lower rows
            << c.text;
    }
    EXPECT_EQ(Rgb(plot, 100, 120), graphtest::kGreen);
    EXPECT_EQ(Rgb(plot, 100, 119), colours::kButtonFace.rgb() & 0xFFFFFF);
    EXPECT_EQ(Rgb(plot, 200, 220), graphtest::kGreen);
    EXPECT_EQ(Rgb(plot, 600, 300), colours::kButtonFace.rgb() & 0xFFFFFF);
}

TEST_F(StripViewTest, LegacyModeSkipsOtherLasersAndMarksStatusLines) {
    TVykGraph legacy(&target, 2, 150);
    legacy.SetView(150, 2, kW, kH);
    std::vector<ScanPoint> points = Bars(300);
    points[50] = ScanPoint{1, 7, 0, 0, 0, 0};  // laser 1: only in row 1
    points[60] = Sample(254, 0);
    legacy.Draw(points.data(), 0, static_cast<int>(points.size()));
    // The plot holds the last row drawn (row 1): its red tick, no status mark.
    const int lh = legacy.PlotHeight();
    EXPECT_EQ(Rgb(legacy.Plot(), 50, lh - 3), graphtest::kRed);
    EXPECT_NE(Rgb(legacy.Plot(), 60, lh - 40), graphtest::kRed);
    // Row 0 on the target: status mark, laser 0 bar at column 50.
    EXPECT_EQ(Rgb(target, 30 + 60, legacy.RowTop(0) + lh - 40), graphtest::kRed);
    EXPECT_NE(Rgb(target, 30 + 50, legacy.RowTop(0) + lh - 3), graphtest::kRed);
}

TEST_F(StripViewTest, TimeLabelsNameTheSampleIndexInThousands) {
    Draw(Bars(100), 25000);
    EXPECT_TRUE(graphtest::SameRegion(
        target, Expected(target, 132, kH - 50, "25.100  ", colours::kBlack, colours::kButtonFace),
        132, kH - 50, 64, 20));
}

TEST_F(VykGraphTest, FailedPlotAllocationIsReportedAndRecovered) {
    Use(GraphProgram::Console, kViewCircle, 400, 300);
    graph->SetView(kViewCircle, 1, 100000000, 300);
    EXPECT_TRUE(graph->Plot().isNull());
    target.fill(Qt::black);
    Draw(Revolution(1, {Sample(300, 100)}));
    EXPECT_EQ(Rgb(target, 35, 25), colours::kButtonFace.rgb() & 0xFFFFFF);
    EXPECT_TRUE(graphtest::SameRegion(target,
                                      Expected(target, 40, 30, "Err:allocate bitmap buffer failed!",
                                               colours::kBlack, colours::kButtonFace),
                                      40, 30, 8 * 34, 20));
    graph->SetView(kViewCircle, 1, 400, 300);
    EXPECT_EQ(graph->Plot().size(), QSize(400, 280));
}

}  // namespace
