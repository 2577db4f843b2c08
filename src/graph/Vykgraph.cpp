#include "Vykgraph.h"

#include <algorithm>
#include <chrono>

namespace {

constexpr int kInitialPlotWidth = 1500;
constexpr int kInitialPlotHeight = 350;
constexpr int kRowReference = 700;
constexpr int kAxisPenWidth = 3;
constexpr int kTickSpacing = 100;
constexpr int kMaxTicks = 100;
constexpr QImage::Format kFormat = QImage::Format_RGB32;
constexpr char kAllocationError[] = "Err:allocate bitmap buffer failed!";

int64_t UptimeMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

using namespace vykgraph;

TVykGraph::TVykGraph(QImage* target, int maxRows, int viewType, GraphProgram program,
                     TViewState* shared)
    : program_(program),
      shared_(shared ? shared : &ownState_),
      maxRows_(std::clamp(maxRows, 1, kMaxRows)),
      viewType_(viewType),
      plot_(kInitialPlotWidth, kInitialPlotHeight, kFormat),
      target_(target),
      plotCanvas_(&plot_),
      targetCanvas_(target),
      tick_(UptimeMs) {
    layout_.plotWidth = kInitialPlotWidth;
    layout_.plotHeight = kInitialPlotHeight;
    layout_.rowTop[0] = kCircleTop;
    rowScale_.fill(1.0f);
    if (!plot_.isNull()) {
        plot_.fill(colours::kBlack);
    }
}

TVykGraph::~TVykGraph() = default;

bool TVykGraph::ResizePlot(int width, int height) {
    if (!plot_.isNull() && plot_.width() == width && plot_.height() == height) {
        return true;
    }
    // A failed allocation leaves a null plot; Draw reports it and the next layout tries again.
    plot_ = QImage(width, height, kFormat);
    if (plot_.isNull()) {
        return false;
    }
    plot_.fill(colours::kBlack);
    return true;
}

void TVykGraph::SetView(int viewType, int rows, int targetWidth, int targetHeight) {
    canvasWidth_ = targetWidth;
    canvasHeight_ = targetHeight;
    viewType_ = viewType;
    const bool circle = viewType == kViewCircle;
    // The circle view is one plot, whatever the owner asks for.
    rowCount_ = circle || rows < 1 ? 1 : (rows >= maxRows_ ? maxRows_ : rows);
    layout_ = circle ? CircleLayout(targetWidth, targetHeight)
                     : StripLayout(targetWidth, targetHeight, rowCount_);
    ResizePlot(layout_.plotWidth, layout_.plotHeight);

    if (!targetCanvas_.Begin()) {
        return;
    }
    FillBox(targetCanvas_, 0, 0, canvasWidth_, canvasHeight_,
            circle ? colours::kBlack : colours::kButtonFace);
    if (!circle) {
        DrawStripAxes(targetWidth, targetHeight);
    }
    targetCanvas_.End();
}

void TVykGraph::DrawStripAxes(int width, int height) {
    DrawLine(targetCanvas_, 10, height - 20, width - 20, height - 20, kAxisPenWidth);
    DrawLine(targetCanvas_, 10, 10, 10, height - 20, kAxisPenWidth);
    for (int i = 0, x = kStripLeft; i < kMaxTicks && x <= layout_.plotWidth + kStripLeft;
         ++i, x += kTickSpacing) {
        DrawLine(targetCanvas_, x, height - 26, x, height - 23, kAxisPenWidth);
    }
}

int TVykGraph::PointsPerView() const {
    return vykgraph::PointsPerView(viewType_, layout_.plotWidth, timeZoom_);
}

int TVykGraph::SetTimeZoom(int zoom) {
    if (IsConsole()) {
        // Shifts beyond this range would overflow; the console's buttons never leave it.
        timeZoom_ = std::clamp(zoom, kMinTimeZoom, kMaxTimeZoom);
    }
    return PointsPerView();
}

void TVykGraph::Draw(const ScanPoint* points, int firstIndex, int count) {
    if (points == nullptr || count < 0) {
        count = 0;
    }
    if (!targetCanvas_.Begin()) {
        return;
    }
    if (plot_.isNull()) {
        DrawAllocationError();
        targetCanvas_.End();
        return;
    }
    if (viewType_ == kViewCircle || (viewType_ == kViewMultiCircle && IsConsole())) {
        plotCanvas_.Begin();
        if (viewType_ == kViewCircle) {
            DrawCircleView(points, count);
        } else {
            DrawMultiCircleView(points, count);
        }
        plotCanvas_.End();
        targetCanvas_.CopyImage(0, kCircleTop, plot_);
    } else {
        for (int row = 0; row < rowCount_; ++row) {
            plotCanvas_.Begin();
            DrawStripRow(row, points, count, viewType_ > 159 ? -1 : kRowReference);
            plotCanvas_.End();
            targetCanvas_.CopyImage(layout_.plotLeft, layout_.rowTop[row], plot_);
        }
        DrawTimeLabels(firstIndex);
    }
    targetCanvas_.End();
}

void TVykGraph::DrawAllocationError() {
    const QString text = QString::fromLatin1(kAllocationError);
    for (int row = 0; row < rowCount_; ++row) {
        const int top = layout_.rowTop[row];
        FillBox(targetCanvas_, kStripLeft, top, layout_.plotWidth - 1, layout_.plotHeight,
                colours::kButtonFace);
        DrawLabel(targetCanvas_, 40, top + 10, text, colours::kBlack, colours::kButtonFace);
    }
}

void TVykGraph::DrawTimeLabels(int firstIndex) {
    for (int k = 0;
         k < kMaxTicks && kStripLeft + kTickSpacing * k <= layout_.plotWidth + kStripLeft; ++k) {
        const int offset = StripColumnSpan(kTickSpacing * k);
        const float thousands = static_cast<float>((firstIndex + offset) * 0.001);
        DrawLabel(targetCanvas_, 32 + kTickSpacing * k, canvasHeight_ - 50,
                  FormatText("%0.3f  ", thousands), colours::kBlack, colours::kButtonFace);
    }
}

int TVykGraph::StripColumnSpan(int columns) const {
    return timeZoom_ >= 0 ? columns << timeZoom_ : columns >> -timeZoom_;
}

void TVykGraph::GetReferencePoint(int& distance, int& angle) const {
    distance = referencePointDistance_;
    angle = referencePointAngle_;
}

void TVykGraph::PickReferenceAngle(int x, int y) {
    if (viewType_ != kViewCircle) {
        return;
    }
    referenceAngle_ = ReferenceAngleAt(x - layout_.plotLeft, y - kCircleTop, layout_.plotWidth >> 1,
                                       layout_.plotHeight >> 1);
}

int TVykGraph::HitRow(int x, int y) const {
    return vykgraph::HitRow(layout_, rowCount_, x, y);
}

void TVykGraph::ShrinkRowScale(int row) {
    if (row >= 0 && row < kMaxRows) {
        rowScale_[row] = ShrinkScale(rowScale_[row]);
    }
}

void TVykGraph::GrowRowScale(int row) {
    if (row >= 0 && row < kMaxRows) {
        rowScale_[row] = GrowScale(rowScale_[row]);
    }
}

void TVykGraph::SetDisplayFilter(bool enabled) {
    if (IsConsole()) {
        displayFilter_ = enabled;
    }
}

void TVykGraph::SetZone(int slot, const ProtectZone& zone) {
    if (slot >= 0 && slot < kZoneSlots) {
        zones_[slot] = zone;
    }
}
