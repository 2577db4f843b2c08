// The zone tool's additions to the circle view: zone hits, outlines and the outputs' state.

#include <algorithm>
#include <cmath>

#include "Vykgraph.h"
#include "Zonehit.h"

using namespace vykgraph;

namespace {

constexpr int kGroupShift = 6;
constexpr int kBoxWidth = 100;
// The recording's own outputs, right of the group box.
constexpr int kRecordedLeft = 171;
constexpr int kRecordedWidth = 50;

// A hand-edited record may claim more corners than it holds: only five are drawn.
int Corners(const ProtectZone& zone) {
    return std::min<int>(zone.count, ProtectZone::kPairs);
}

bool Active(int outputState, int slot) {
    return ((outputState >> slot) & 1) != 0;
}

}  // namespace

void TVykGraph::SetOutputsFromZones(bool fromZones) {
    outputsFromZones_ = fromZones;
    outputSeen_ = false;
}

bool TVykGraph::OutputActive(int slot) const {
    if (zones_[slot].count <= 1)
        return false;
    return outputsFromZones_ ? ZoneTrips(zones_[slot], zoneHits_[slot])
                             : Active(outputState_, slot);
}

void TVykGraph::CountZoneHits(int distance, int angle, double sine, double cosine) {
    const ZoneSample sample = MakeZoneSample(distance, angle, sine, cosine);
    for (int z = 0; z < kZoneSlots; ++z) {
        zoneHits_[z] += InZone(zones_[z], sample);
    }
}

void TVykGraph::DrawZones(int start, int end) {
    GraphCanvas& c = plotCanvas_;
    const int cx = layout_.plotWidth >> 1;
    const int cy = layout_.plotHeight >> 1;
    const double scale = rowScale_[0];
    for (int z = 0; z < kZoneSlots; ++z) {
        const ProtectZone& zone = zones_[z];
        if (zone.count <= 1) {
            continue;
        }
        c.penColor = OutputActive(z) ? colours::kRed : colours::kGreen;
        if (zone.count == kSectorZone) {
            const int R = TruncPixel(zone.x[0] * scale);
            const float alpha = static_cast<float>(zone.y[0] * kPi / 180);
            const int t = static_cast<int>(std::sin(static_cast<double>(alpha)) * R);
            const int u = static_cast<int>(std::cos(static_cast<double>(alpha)) * R);
            const QString text = start + 5 < end ? FormatText("%d:%d", z + 1, zoneHits_[z])
                                                 : FormatText("%d", z + 1);
            DrawLabel(c, cx - t, cy - u, text, colours::kWhite, colours::kBlack);
            c.Arc(cx - R, cy - R, cx + R, cy + R, cx + t, cy - u, cx - t, cy - u);
            if (t > 0) {
                c.MoveTo(cx + t, cy - u);
                c.LineTo(cx, cy);
                c.LineTo(cx - t, cy - u);
            }
            continue;
        }
        const int n = Corners(zone);
        Pixel corners[ProtectZone::kPairs];
        for (int j = 0; j < n; ++j) {
            corners[j] = {TruncPixel(cx + zone.x[j] * scale), TruncPixel(cy - zone.y[j] * scale)};
        }
        const QString text =
            start + 10 < end ? FormatText("%d:%d", z + 1, zoneHits_[z]) : FormatText("%d", z + 1);
        DrawLabel(c, corners[0].x, corners[0].y, text, colours::kWhite, colours::kBlack);
        c.MoveTo(corners[0].x, corners[0].y);
        for (int j = 1; j < n; ++j) {
            c.LineTo(corners[j].x, corners[j].y);
        }
        c.LineTo(corners[0].x, corners[0].y);
    }
    for (int z = 0; z < kZoneSlots; ++z) {
        DrawZoneIndicator(z);
        if (outputsFromZones_ && outputSeen_) {
            DrawRecordedIndicator(z);
        }
    }
    DrawGroupIndicator();
}

namespace {

void DrawIndicatorBox(GraphCanvas& c, int left, int top, int right, int bottom,
                      const QColor& colour) {
    const QPoint corners[4] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    const QColor brush = c.brushColor;
    c.penColor = colours::kBlue;
    c.brushColor = colour;
    c.Polygon(corners, 4);
    c.brushColor = brush;
}

}  // namespace

void TVykGraph::DrawZoneIndicator(int slot) {
    const int h = layout_.plotHeight;
    const QColor& colour = OutputActive(slot) ? colours::kRed : colours::kGreen;
    const int left = kBoxWidth * slot;
    DrawIndicatorBox(plotCanvas_, left + 1, h - 30, left + 101, h - 1, colour);
    DrawLabel(plotCanvas_, left + 26, h - 22, FormatText("区域保护%d", slot + 1), colours::kWhite,
              colour);
}

void TVykGraph::DrawRecordedIndicator(int slot) {
    const int h = layout_.plotHeight;
    // The recording's scanner had zones of its own: its output shows whether this slot has one.
    const QColor& colour = Active(outputState_, slot) ? colours::kRed : colours::kGreen;
    const int left = kRecordedLeft + kRecordedWidth * slot;
    DrawIndicatorBox(plotCanvas_, left, h - 60, left + kRecordedWidth - 2, h - 31, colour);
    DrawLabel(plotCanvas_, left + 4, h - 52, FormatText("记录%d", slot + 1), colours::kWhite,
              colour);
}

void TVykGraph::DrawGroupIndicator() {
    const int h = layout_.plotHeight;
    const int group = (outputState_ >> kGroupShift) & 3;
    DrawIndicatorBox(plotCanvas_, 1, h - 60, 161, h - 31, colours::kTeal);
    DrawLabel(plotCanvas_, 26, h - 52, FormatText("当前输入第 %d 组", group + 1), colours::kWhite,
              colours::kTeal);
}
