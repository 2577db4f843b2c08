#pragma once

// The scan display's arithmetic: layouts, mappings, scale steps, revolution search, rate and
// filter rules. Plain functions so they can be checked without drawing anything.

#include <array>
#include <cstdint>

#include "Lasernode.h"

namespace vykgraph {

constexpr double kPi = 3.1415926;

constexpr int kViewCircle = 161;
constexpr int kViewData = 162;
constexpr int kViewMultiCircle = 163;
constexpr int kViewLegacyBelow = 160;  // view types below this draw the legacy strips

constexpr int kMaxRows = 4;
constexpr int kCircleTop = 20;  // the circle views sit this far down the target
constexpr int kStripLeft = 30;
constexpr int kCirclePoints = 10000;
constexpr int kMinTimeZoom = -6;
constexpr int kMaxTimeZoom = 10;

// Where the plot goes on the target.
struct GraphLayout {
    int plotWidth = 0;
    int plotHeight = 0;
    int plotLeft = 0;
    std::array<int, kMaxRows> rowTop{};
};

GraphLayout CircleLayout(int targetWidth, int targetHeight);
GraphLayout StripLayout(int targetWidth, int targetHeight, int rows);
int PointsPerView(int viewType, int plotWidth, int timeZoom);
// Plot column of the k-th sample of a strip window.
inline int StripColumn(int k, int timeZoom) {
    return timeZoom >= 0 ? k >> timeZoom : k << -timeZoom;
}

// Bearing of a plot position relative to the centre (cx, cy), 1/16 degree.
int ReferenceAngleAt(int x, int y, int cx, int cy);
// 1-based strip row strictly containing (x, y) on the target, or 0.
int HitRow(const GraphLayout& layout, int rows, int x, int y);

float ShrinkScale(float scale);
float GrowScale(float scale);

// sin and cos of the single-precision bearing angle * pi / 2880, tabulated for 0..5759.
void BearingSinCos(int angle, double& sine, double& cosine);

struct Pixel {
    int x;
    int y;
};
// Truncates toward zero; far-off values (a corrupt record) are held where int arithmetic is safe,
// the width of a box from -limit to +limit included.
inline int TruncPixel(double v) {
    constexpr double kLimit = 1 << 29;
    return static_cast<int>(v < -kLimit ? -kLimit : (v > kLimit ? kLimit : v));
}
inline Pixel PolarPixel(double sine, double cosine, int distance, float scale, int cx, int cy) {
    const int r = TruncPixel(static_cast<double>(distance) * scale);
    return {TruncPixel(sine * r + cx), TruncPixel(cy - cosine * r)};
}

// Rings of the polar graticule that fit a plot with half-sizes cx, cy.
struct RingPlan {
    int rings;        // drawn rings, radii 100, 150, ...
    int outerRadius;  // R: radius of the last ring (50 when none fits)
    int axisReach;    // A = R + 50
};
RingPlan PlanRings(int cx, int cy);

// The last complete revolution between two 0-degree markers (index 0 never counts).
// With skipSame the revolution whose counter equals lastDrawn is not taken again.
// On success lastDrawn becomes that counter.
bool FindLastRevolution(const ScanPoint* points, int count, bool skipSame, int& lastDrawn,
                        int& start, int& end);

float SnapFrequency(float f);

// State shared by every drawing of the program: its window keeps one and hands it to its graph.
struct TViewState {
    int lastDrawnRevolution = -1;
    int rateCalls = 0;
    int64_t rateLastTick = 0;
    int rateLastMarker = 0;
    int rateElapsed = 0;
    int rateTurns = 0;
    float rateFrequency = 0.0f;
    int markTextY = 240;
};

// One step of the rotation rate estimate at the end of a circle drawing with 0-degree counter
// marker; returns whether the rate text is due.
bool RateEstimatorStep(TViewState& state, int marker, int64_t nowMs);

// The display filter's integer tables, 1/8 degree per entry, scaled by 1024.
const std::array<int16_t, 720>& SinTable1024();
const std::array<int16_t, 720>& CosTable1024();

struct FilterState {
    int prevDistance = 0;
    int prevAngle = 0;
};
bool DisplayFilterRejects(FilterState& state, int distance, int angle);

}  // namespace vykgraph
