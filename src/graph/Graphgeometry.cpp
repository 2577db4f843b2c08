#include "Graphgeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ScannerInterface.h"

namespace vykgraph {

namespace {

constexpr int kTitleHeight = 20;
constexpr int kStripMarginX = 50;
constexpr int kStripMarginY = 63;
constexpr int kStripMinWidth = 200;
constexpr int kStripMinHeight = 100;
constexpr int kMinPointsPerView = 100;
constexpr double kScaleStep = 0.9;
constexpr double kScaleFloor = 0.0225284;  // about 0.9 ** 36
constexpr int kFirstRing = 100;
constexpr int kRingStep = 50;
constexpr int kMaxRings = 100;
constexpr int kFilterWindow = 160;  // 10 degrees
constexpr int kRateEvery = 50;

double Degrees(float t) {
    return std::atan(static_cast<double>(t)) / kPi * 180;
}

float Quotient(int numerator, int denominator) {
    return static_cast<float>(static_cast<double>(numerator) / denominator);
}

struct BearingTable {
    std::array<double, scanner::kAnglesPerTurn> sine;
    std::array<double, scanner::kAnglesPerTurn> cosine;
};

double BearingTheta(int angle) {
    return static_cast<float>(angle * kPi / 2880);
}

const BearingTable& Bearings() {
    static const BearingTable table = [] {
        BearingTable t;
        for (int a = 0; a < scanner::kAnglesPerTurn; ++a) {
            t.sine[a] = std::sin(BearingTheta(a));
            t.cosine[a] = std::cos(BearingTheta(a));
        }
        return t;
    }();
    return table;
}

using Table1024 = std::array<int16_t, 720>;

Table1024 MakeTable(double (*f)(double)) {
    Table1024 t;
    for (int j = 0; j < static_cast<int>(t.size()); ++j) {
        t[j] = static_cast<int16_t>(1024 * f(j * kPi / 1440));
    }
    return t;
}

}  // namespace

GraphLayout CircleLayout(int targetWidth, int targetHeight) {
    GraphLayout layout;
    // A plot needs at least one pixel; smaller targets would leave no bitmap at all.
    layout.plotWidth = std::max(1, targetWidth);
    layout.plotHeight = std::max(1, targetHeight - kTitleHeight);
    layout.rowTop[0] = kCircleTop;
    layout.plotLeft = 0;
    return layout;
}

GraphLayout StripLayout(int targetWidth, int targetHeight, int rows) {
    GraphLayout layout;
    const int width = std::max(kStripMinWidth, targetWidth - kStripMarginX);
    const int height =
        std::max(kStripMinHeight, targetHeight - kTitleHeight * rows - kStripMarginY);
    layout.plotWidth = width;
    layout.plotHeight = height / rows;
    layout.rowTop[0] = kTitleHeight;
    for (int i = 1; i < rows; ++i) {
        layout.rowTop[i] = layout.rowTop[i - 1] + layout.plotHeight + kTitleHeight;
    }
    layout.plotLeft = kStripLeft;
    return layout;
}

int PointsPerView(int viewType, int plotWidth, int timeZoom) {
    if (viewType == kViewCircle) {
        return kCirclePoints;
    }
    const int points = timeZoom >= 0 ? plotWidth << timeZoom : plotWidth >> -timeZoom;
    return points > 0 ? points : kMinPointsPerView;
}

int ReferenceAngleAt(int x, int y, int cx, int cy) {
    if (y == cy) {
        return x >= cx ? 1440 : 4320;
    }
    if (x == cx) {
        return y >= cy ? 2880 : 0;
    }
    double degrees;
    if (x > cx && y < cy) {
        degrees = Degrees(Quotient(x - cx, cy - y));
    } else if (x > cx) {
        degrees = Degrees(Quotient(y - cy, x - cx)) + 90;
    } else if (y > cy) {
        degrees = Degrees(Quotient(cx - x, y - cy)) + 180;
    } else {
        degrees = Degrees(Quotient(cy - y, cx - x)) + 270;
    }
    return static_cast<int>(degrees * 16);
}

int HitRow(const GraphLayout& layout, int rows, int x, int y) {
    if (x <= layout.plotLeft || x >= layout.plotLeft + layout.plotWidth) {
        return 0;
    }
    for (int i = 0; i < rows && i < kMaxRows; ++i) {
        if (y > layout.rowTop[i] && y < layout.rowTop[i] + layout.plotHeight) {
            return i + 1;
        }
    }
    return 0;
}

float ShrinkScale(float scale) {
    if (static_cast<double>(scale) > kScaleFloor) {
        return static_cast<float>(scale * kScaleStep);
    }
    return static_cast<float>(kScaleFloor);
}

float GrowScale(float scale) {
    if (scale < 1.0f) {
        return static_cast<float>(scale / kScaleStep);
    }
    return 1.0f;
}

void BearingSinCos(int angle, double& sine, double& cosine) {
    if (angle >= 0 && angle < scanner::kAnglesPerTurn) {
        const BearingTable& table = Bearings();
        sine = table.sine[angle];
        cosine = table.cosine[angle];
        return;
    }
    sine = std::sin(BearingTheta(angle));
    cosine = std::cos(BearingTheta(angle));
}

RingPlan PlanRings(int cx, int cy) {
    const int rmax = std::min(cx, cy);
    int rings = 0;
    while (rings < kMaxRings && kFirstRing + kRingStep * rings + kRingStep <= rmax) {
        ++rings;
    }
    const int outer = kFirstRing + kRingStep * (rings - 1);
    return {rings, outer, outer + kRingStep};
}

bool FindLastRevolution(const ScanPoint* points, int count, bool skipSame, int& lastDrawn,
                        int& start, int& end) {
    if (count < 10) {
        return false;
    }
    int e = count - 1;
    while (e >= 1 && points[e].angle != scanner::kInfoZeroDegree) {
        --e;
    }
    if (e < 1) {
        return false;
    }
    int s = e - 1;
    while (s >= 1 && points[s].angle != scanner::kInfoZeroDegree) {
        --s;
    }
    if (s < 1) {
        return false;
    }
    if (skipSame && points[s].distance == lastDrawn) {
        return false;
    }
    lastDrawn = points[s].distance;
    start = s;
    end = e;
    return true;
}

float SnapFrequency(float f) {
    const int t = static_cast<int>(static_cast<double>(f) * 10);
    if (t % 10 == 0) {
        return static_cast<float>(t / 10.0);
    }
    const int u = static_cast<int>((f + 0.09) * 10);
    if (u % 10 == 0) {
        return static_cast<float>(u / 10.0);
    }
    return f;
}

bool RateEstimatorStep(TViewState& state, int marker, int64_t nowMs) {
    if (state.rateCalls < kRateEvery - 1) {
        ++state.rateCalls;
    } else {
        state.rateCalls = 0;
        const int64_t elapsed = nowMs - state.rateLastTick;
        state.rateElapsed =
            static_cast<int>(std::clamp<int64_t>(elapsed == 0 ? 1 : elapsed, INT32_MIN, INT32_MAX));
        state.rateTurns = marker > state.rateLastMarker
                              ? marker - state.rateLastMarker
                              : marker - state.rateLastMarker + scanner::kRevolutionCounterModulo;
        state.rateLastTick = nowMs;
        state.rateLastMarker = marker;
        state.rateFrequency =
            SnapFrequency(static_cast<float>(state.rateTurns * 1000.0 / state.rateElapsed));
    }
    return state.rateElapsed > 10 && state.rateElapsed < 600000;
}

const std::array<int16_t, 720>& SinTable1024() {
    static const Table1024 table = MakeTable([](double v) { return std::sin(v); });
    return table;
}

const std::array<int16_t, 720>& CosTable1024() {
    static const Table1024 table = MakeTable([](double v) { return std::cos(v); });
    return table;
}

bool DisplayFilterRejects(FilterState& state, int distance, int angle) {
    int c = angle - state.prevAngle;
    if (c < 0) {
        c += scanner::kAnglesPerTurn;
    }
    const int prevDistance = state.prevDistance;
    state.prevDistance = distance;
    state.prevAngle = angle;
    // Out-of-range bearings (c still negative) count as far apart: they must not index the tables.
    if (c < 0 || c > kFilterWindow) {
        return false;
    }
    const int j = c >> 1;
    const int64_t s = SinTable1024()[j];
    const int64_t co = CosTable1024()[j];
    const int64_t e = std::llabs(int64_t{prevDistance} * 1024 - distance * co);
    return 6 * distance * s < e;
}

}  // namespace vykgraph
