// What Draw draws in each view: the circle views, the strips and their markers.

#include <algorithm>
#include <cstdint>

#include "ScannerInterface.h"
#include "Vykgraph.h"

using namespace vykgraph;

namespace {

constexpr int kDotSize = 2;
constexpr float kDiagonal = 0.7071f;
constexpr int kAxisFontSize = 15;
constexpr int kTagFontSize = 20;
constexpr int kZoneRingCm = 500;
constexpr int kStatusMarker = 254;
constexpr int kGridSpacing = 100;
constexpr int kMaxGridLines = 100;

bool IsInfo(int angle) {
    return angle >= scanner::kInfoFirst;
}

}  // namespace

void TVykGraph::DrawGraticule(const QColor& colour, float scale) {
    GraphCanvas& c = plotCanvas_;
    const int cx = layout_.plotWidth >> 1;
    const int cy = layout_.plotHeight >> 1;
    const RingPlan plan = PlanRings(cx, cy);
    c.brushColor = colour;
    c.penColor = colour;
    for (int i = 0; i < plan.rings; ++i) {
        const int r = 100 + 50 * i;
        const float metres = static_cast<float>((i + 2) * 0.5 / scale);
        DrawLabel(c, cx + 20, cy - r - 14, FormatText("%0.2f m", metres), colours::kWhite,
                  colours::kBlack);
        c.Arc(cx - r, cy - r, cx + r, cy + r, cx - r, cy - r, cx - r, cy - r);
    }
    if (!IsConsole()) {
        const int r = static_cast<int>(static_cast<double>(scale) * kZoneRingCm);
        c.penColor = colours::kRed;
        c.Arc(cx - r, cy - r, cx + r, cy + r, cx - r, cy - r, cx - r, cy - r);
        c.penColor = colour;
    }
    const int R = plan.outerRadius;
    const int A = plan.axisReach;
    const int d = static_cast<int>(R * kDiagonal);
    const Pixel bearings[8] = {{cx, cy - R - 4}, {cx + d, cy - d}, {cx + R, cy}, {cx + d, cy + d},
                               {cx, cy + R},     {cx - d, cy + d}, {cx - R, cy}, {cx - d, cy - d}};
    DrawLine(c, bearings[1].x, bearings[1].y, bearings[5].x, bearings[5].y, 1);
    DrawLine(c, bearings[3].x, bearings[3].y, bearings[7].x, bearings[7].y, 1);
    DrawLine(c, cx - A, cy, cx + A, cy, 1);
    DrawLine(c, cx, cy - A, cx, cy + A, 1);
    DrawBigLabel(c, cx + 10, cy - A - 10, QStringLiteral("Y"), colours::kBlue, colours::kBlack,
                 kAxisFontSize);
    DrawBigLabel(c, cx + A, cy, QStringLiteral("X"), colours::kBlue, colours::kBlack,
                 kAxisFontSize);
    static const Pixel offsets[8] = {{-10, -14}, {20, 0},  {20, 10},  {20, 0},
                                     {5, 0},     {-40, 0}, {-40, 10}, {-30, -20}};
    for (int k = 0; k < 8; ++k) {
        DrawLabel(c, bearings[k].x + offsets[k].x, bearings[k].y + offsets[k].y,
                  FormatText("%d", 45 * k), colours::kWhite, colours::kBlack);
    }
}

TVykGraph::CircleFrame TVykGraph::BeginCircle() {
    const CircleFrame frame{
        layout_.plotWidth >> 1, layout_.plotHeight >> 1, rowScale_[0], {0, 0}, false};
    // Filling and drawing the graticule cost more than copying their picture.
    if (circleBackground_.size() == plot_.size() && circleBackgroundScale_ == frame.scale) {
        plotCanvas_.CopyImage(0, 0, circleBackground_);
        // The pen and brush as the graticule leaves them.
        plotCanvas_.penColor = colours::kBlue;
        plotCanvas_.brushColor = colours::kBlue;
        return frame;
    }
    FillBox(plotCanvas_, 0, 0, layout_.plotWidth, layout_.plotHeight, colours::kBlack);
    DrawGraticule(colours::kBlue, frame.scale);
    circleBackground_ = plot_.copy();
    circleBackgroundScale_ = frame.scale;
    return frame;
}

void TVykGraph::PlotCircleSample(CircleFrame& frame, const ScanPoint& p, double sine, double cosine,
                                 int next) {
    GraphCanvas& c = plotCanvas_;
    const Pixel px = PolarPixel(sine, cosine, p.distance, frame.scale, frame.cx, frame.cy);
    if (px.x != frame.last.x || px.y != frame.last.y) {
        DrawDot(c, px.x, px.y, colours::kRed, kDotSize);
        frame.last = px;
    }
    if (!frame.referenceFound && p.angle < referenceAngle_ && next >= referenceAngle_ &&
        next < scanner::kInfoFirst) {
        frame.referenceFound = true;
        referencePointAngle_ = p.angle;
        referencePointDistance_ = p.distance;
        c.penColor = colours::kWhite;
        DrawLine(c, px.x, px.y, frame.cx, frame.cy, 1);
        c.penColor = colours::kRed;
    }
}

void TVykGraph::DrawCircleView(const ScanPoint* points, int count) {
    TViewState& shared = *shared_;
    int start = 0;
    int end = 0;
    if (!FindLastRevolution(points, count, IsConsole(), shared.lastDrawnRevolution, start, end) &&
        IsConsole()) {
        return;
    }
    GraphCanvas& c = plotCanvas_;
    CircleFrame frame = BeginCircle();
    const QColor savedPen = c.penColor;
    c.penColor = colours::kRed;
    zoneHits_.fill(0);

    for (int k = start; k < end; ++k) {
        const ScanPoint& p = points[k];
        if (IsInfo(p.angle)) {
            if (!IsConsole() && p.angle == scanner::kInfoT1) {
                outputState_ = p.distance;
                outputSeen_ = true;
            }
            continue;
        }
        if (p.distance < 1) {
            continue;
        }
        if (IsConsole() && displayFilter_ && DisplayFilterRejects(filter_, p.distance, p.angle)) {
            continue;
        }
        double sine;
        double cosine;
        BearingSinCos(p.angle, sine, cosine);
        if (!IsConsole()) {
            CountZoneHits(p.distance, p.angle, sine, cosine);
        }
        PlotCircleSample(frame, p, sine, cosine, points[k + 1].angle);
    }

    DrawLabel(c, 20, 20, FormatText("%d,%d", shared.lastDrawnRevolution, end - start),
              colours::kWhite, colours::kBlack);
    if (IsConsole()) {
        DrawBigLabel(c, layout_.plotWidth - 100, 20, QStringLiteral("5K"), colours::kBlue,
                     colours::kBlack, kTagFontSize);
    } else {
        DrawZones(start, end);
    }
    c.penColor = savedPen;
    DrawRate(shared.lastDrawnRevolution);
}

void TVykGraph::DrawMultiCircleView(const ScanPoint* points, int count) {
    if (count <= 0) {
        return;
    }
    GraphCanvas& c = plotCanvas_;
    CircleFrame frame = BeginCircle();
    const QColor savedPen = c.penColor;
    c.penColor = colours::kRed;

    // The window spans several revolutions; its newest 0-degree counter stands for all of them,
    // so the rate text counts real turns (-1 while the window holds no marker).
    int marker = -1;
    for (int k = 0; k < count; ++k) {
        const ScanPoint& p = points[k];
        if (p.angle == scanner::kInfoZeroDegree) {
            marker = p.distance;
        }
        if (IsInfo(p.angle) || p.distance <= 0) {
            continue;
        }
        double sine;
        double cosine;
        BearingSinCos(p.angle, sine, cosine);
        PlotCircleSample(frame, p, sine, cosine, k + 1 < count ? points[k + 1].angle : -1);
    }

    DrawLabel(c, 20, 20, FormatText("%d,%d", marker, count), colours::kWhite, colours::kBlack);
    c.penColor = savedPen;
    if (marker >= 0) {
        DrawRate(marker);
    }
}

void TVykGraph::DrawRate(int marker) {
    TViewState& shared = *shared_;
    if (RateEstimatorStep(shared, marker, tick_())) {
        const float period =
            static_cast<float>(static_cast<double>(shared.rateElapsed) / shared.rateTurns);
        DrawLabel(plotCanvas_, 20, 40, FormatText("%0.2f,%0.2fms", shared.rateFrequency, period),
                  colours::kWhite, colours::kBlack);
    }
}

void TVykGraph::DrawStripRow(int row, const ScanPoint* points, int count, int reference) {
    GraphCanvas& c = plotCanvas_;
    const int width = layout_.plotWidth;
    const int height = layout_.plotHeight;
    FillBox(c, 0, 0, width, height, colours::kButtonFace);
    DrawFrame(c, 0, 0, width - 1, height - 1);
    const QColor savedPen = c.penColor;
    const float scale = rowScale_[row >= 0 && row < rowCount_ ? row : 0];
    const bool legacy = viewType_ < kViewLegacyBelow;

    int lastColumn = -1;
    for (int k = 0; k < count; ++k) {
        const int x = StripColumn(k, timeZoom_);
        if (x > width) {
            break;
        }
        const ScanPoint& p = points[k];
        if (!legacy) {
            if (IsInfo(p.angle)) {
                if (viewType_ == kViewData) {
                    DrawInfoMarker(p.angle, x, p.distance);
                    c.penColor = savedPen;
                }
                continue;
            }
        } else if (p.angle < 128) {
            if (p.laser != row && rowCount_ > 1) {
                continue;
            }
        } else {
            DrawLegacyMarker(p.angle, x, row);
            c.penColor = savedPen;
            continue;
        }
        if (x == lastColumn) {
            continue;
        }
        lastColumn = x;
        DrawStripBar(x, p.distance, reference, scale, savedPen);
        if (!legacy && timeZoom_ > 0) {
            // The rest of the column draws no bar: only its info points need a look.
            const int columnEnd = std::min(count, (x + 1) << timeZoom_);
            k = DrawColumnInfo(points, k + 1, columnEnd, savedPen) - 1;
        }
    }

    c.penColor = colours::kBlue;
    for (int i = 0, y = height; i < kMaxGridLines && y >= 0; ++i, y -= kGridSpacing) {
        DrawLine(c, 0, y, width, y, 1);
    }
    const QString text = reference > 0
                             ? FormatText("基准值:%d,%d,%0.3f", reference, timeZoom_, scale)
                             : FormatText("%d,%0.3f", timeZoom_, scale);
    DrawLabel(c, 10, 10, text, colours::kBlack, colours::kButtonFace);
    c.penColor = savedPen;
}

void TVykGraph::DrawStripBar(int x, int distance, int reference, float scale,
                             const QColor& savedPen) {
    GraphCanvas& c = plotCanvas_;
    const int height = layout_.plotHeight;
    if (distance == 0) {
        c.penColor = colours::kRed;
        c.MoveTo(x, height - 6);
        c.LineTo(x, height - 1);
        c.penColor = savedPen;
        return;
    }
    c.penColor = colours::kBlack;
    // A status line's distance may be any int: keep the arithmetic within range.
    const int64_t v = reference > 0 ? int64_t{reference} - distance : distance;
    int y = height - 6;
    if (v > 0) {
        y = std::clamp(height - TruncPixel(static_cast<double>(v) * scale), 1, height - 6);
    }
    DrawLine(c, x, y, x, height - 1, 1);
}

int TVykGraph::DrawColumnInfo(const ScanPoint* points, int begin, int end, const QColor& savedPen) {
    if (viewType_ != kViewData) {
        return end;
    }
    const int x = StripColumn(begin, timeZoom_);
    for (int k = begin; k < end; ++k) {
        if (IsInfo(points[k].angle)) {
            DrawInfoMarker(points[k].angle, x, points[k].distance);
            plotCanvas_.penColor = savedPen;
        }
    }
    return end;
}

void TVykGraph::DrawInfoMarker(int code, int x, int value) {
    GraphCanvas& c = plotCanvas_;
    const int bottom = layout_.plotHeight - 1;
    auto marker = [&](const QColor& colour, int top) {
        c.penColor = colour;
        c.MoveTo(x, top);
        c.LineTo(x, bottom);
    };
    auto label = [&](int lx, int ly, const QString& text) {
        DrawLabel(c, lx, ly, text, colours::kBlack, colours::kButtonFace);
    };
    if (code == scanner::kInfoFrequency) {
        marker(colours::kRed, 40);
        if (value > 0) {
            const double hz = static_cast<int>(2000.0 / value);
            label(x, 60,
                  infoSeconds_ > 0 ? FormatText("%d秒 %0.1fHZ", infoSeconds_, hz)
                                   : FormatText("%0.1fHZ", hz));
        }
    } else if (code >= scanner::kInfoMarkFirst && code <= scanner::kInfoMarkLast) {
        marker(colours::kGreen, 220);
        label(x, 240, FormatText("%d:%d度", code - scanner::kInfoFirst, value >> 3));
    } else if (code == scanner::kInfoZeroDegree) {
        marker(colours::kGreen, 120);
        label(x + 2, 140, FormatText("%d圈", value));
        label(10, 30, FormatText("%d   ", value));
    } else if (code == scanner::kInfoSeconds) {
        infoSeconds_ = value;
    } else if (code == scanner::kInfoT1) {
        label(x + 2, 180, FormatText("T1:%d", value));
    } else if (code >= scanner::kInfoLateMarkFirst && code <= scanner::kInfoLast) {
        marker(colours::kGreen, 220);
        int& textY = shared_->markTextY;
        textY = textY == 240 ? 200 : 240;
        label(x, textY, FormatText("%d:%d度", code - scanner::kInfoT1, value >> 3));
    }
}

void TVykGraph::DrawLegacyMarker(int code, int x, int row) {
    const int height = layout_.plotHeight;
    if (code == kStatusMarker && height > 50 && row == 0) {
        plotCanvas_.penColor = colours::kRed;
        plotCanvas_.MoveTo(x, height - 50);
        plotCanvas_.LineTo(x, height - 1);
    }
}
