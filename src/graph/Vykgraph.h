#pragma once

// TVykGraph: draws scans into an off-screen plot and copies it onto the target image that the
// main window shows. One class for both programs; GraphProgram picks the program's behaviour.

#include <QImage>
#include <array>
#include <cstdint>

#include "Graphcanvas.h"
#include "Graphgeometry.h"
#include "Lasernode.h"
#include "ProtectZone.h"

enum class GraphProgram {
    Console,   // VYK-10: views 161, 162, 163, time zoom, display filter, "5K" label
    ZoneTool,  // VYK-05: views 161, 162, zone overlay, 5 m ring; time zoom stays 0
};

class TVykGraph {
public:
    using TickSource = int64_t (*)();  // milliseconds since the system started
    static constexpr int kZoneSlots = 3;

    // The target is not owned; its owner keeps it the size given to SetView and must not
    // replace it during Draw. shared is the program's view state, kept by the owner past the
    // graph's end; without it the graph keeps its own.
    TVykGraph(QImage* target, int maxRows, int viewType,
              GraphProgram program = GraphProgram::Console, vykgraph::TViewState* shared = nullptr);
    ~TVykGraph();
    TVykGraph(const TVykGraph&) = delete;
    TVykGraph& operator=(const TVykGraph&) = delete;

    void SetView(int viewType, int rows, int targetWidth, int targetHeight);
    int PointsPerView() const;
    int SetTimeZoom(int zoom);
    int PlotLeft() const { return layout_.plotLeft; }
    // Draws count samples from points on (the caller's buffer advanced by firstIndex).
    void Draw(const ScanPoint* points, int firstIndex, int count);
    void GetReferencePoint(int& distance, int& angle) const;
    void PickReferenceAngle(int x, int y);
    int HitRow(int x, int y) const;
    void ShrinkRowScale(int row);
    void GrowRowScale(int row);
    void SetDisplayFilter(bool enabled);
    void SetZone(int slot, const ProtectZone& zone);
    // A replay tries the zones as drawn: an output is active when its zone trips in the drawn
    // revolution, and the recording's own outputs, once it gave any, are shown beside.
    void SetOutputsFromZones(bool fromZones);

    // Read-only view of the state, for the owners' status texts and for tests.
    GraphProgram Program() const { return program_; }
    int ViewType() const { return viewType_; }
    int RowCount() const { return rowCount_; }
    int MaxRows() const { return maxRows_; }
    int PlotWidth() const { return layout_.plotWidth; }
    int PlotHeight() const { return layout_.plotHeight; }
    int RowTop(int row) const { return layout_.rowTop[row]; }
    float RowScale(int row) const { return rowScale_[row]; }
    int TimeZoom() const { return timeZoom_; }
    int ReferenceAngle() const { return referenceAngle_; }
    int OutputState() const { return outputState_; }
    bool OutputActive(int slot) const;
    bool DisplayFilter() const { return displayFilter_; }
    const ProtectZone& Zone(int slot) const { return zones_[slot]; }
    const vykgraph::TViewState& ViewState() const { return *shared_; }
    const QImage& Plot() const { return plot_; }
    // Hit counts of the zone slots in the last circle drawing.
    int ZoneHits(int slot) const { return zoneHits_[slot]; }

    void SetTickSource(TickSource source) { tick_ = source; }

private:
    bool IsConsole() const { return program_ == GraphProgram::Console; }
    bool ResizePlot(int width, int height);
    int StripColumnSpan(int columns) const;

    // Per-drawing state of a circle view's sample loop.
    struct CircleFrame {
        int cx;
        int cy;
        float scale;
        vykgraph::Pixel last;
        bool referenceFound;
    };
    CircleFrame BeginCircle();
    // next is the following sample's angle, or -1 when there is none.
    void PlotCircleSample(CircleFrame& frame, const ScanPoint& p, double sine, double cosine,
                          int next);
    void DrawCircleView(const ScanPoint* points, int count);
    void DrawMultiCircleView(const ScanPoint* points, int count);
    void DrawStripRow(int row, const ScanPoint* points, int count, int reference);
    void DrawStripBar(int x, int distance, int reference, float scale, const QColor& savedPen);
    // Info markers of samples begin..end-1 of one column; returns end.
    int DrawColumnInfo(const ScanPoint* points, int begin, int end, const QColor& savedPen);
    void DrawInfoMarker(int code, int x, int value);
    void DrawLegacyMarker(int code, int x, int row);
    void DrawTimeLabels(int firstIndex);
    void DrawStripAxes(int width, int height);
    void DrawGraticule(const QColor& colour, float scale);
    void DrawRate(int marker);
    void DrawAllocationError();

    void CountZoneHits(int distance, int angle, double sine, double cosine);
    void DrawZones(int start, int end);
    void DrawZoneIndicator(int slot);
    void DrawRecordedIndicator(int slot);
    void DrawGroupIndicator();

    GraphProgram program_;
    vykgraph::TViewState ownState_;
    vykgraph::TViewState* shared_;
    vykgraph::GraphLayout layout_;
    int rowCount_ = 1;
    int maxRows_;
    int viewType_;
    QImage plot_;
    // The black plot with its graticule as the last circle drawing began, and the scale it was
    // drawn with: the same on every drawing until the layout or the scale changes.
    QImage circleBackground_;
    float circleBackgroundScale_ = 0;
    int timeZoom_ = 0;
    std::array<float, vykgraph::kMaxRows> rowScale_;
    QImage* target_;
    int canvasWidth_ = 1000;
    int canvasHeight_ = 1000;
    int referencePointAngle_ = 0;
    int referencePointDistance_ = 0;
    int referenceAngle_ = 0;
    int infoSeconds_ = 0;
    std::array<ProtectZone, kZoneSlots> zones_{};
    std::array<int, kZoneSlots> zoneHits_{};
    bool displayFilter_ = false;
    vykgraph::FilterState filter_;
    int outputState_ = 0;
    bool outputsFromZones_ = false;
    bool outputSeen_ = false;  // an info point 5770 was met since SetOutputsFromZones

    vykgraph::GraphCanvas plotCanvas_;
    vykgraph::GraphCanvas targetCanvas_;
    TickSource tick_;
};
