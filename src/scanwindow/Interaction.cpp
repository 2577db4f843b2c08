#include "Interaction.h"

#include <algorithm>
#include <cstdlib>

#include "Graphgeometry.h"
#include "Prompt.h"

namespace scanwindow {

bool HasTimeAxis(int viewType) {
    return viewType == vykgraph::kViewData || viewType == vykgraph::kViewMultiCircle;
}

bool TimeZoomButtons::Up() {
    bool changed = false;
    if (timeZoom_ < vykgraph::kMinTimeZoom + 1) {
        timeZoom_ = vykgraph::kMinTimeZoom;
    } else {
        --timeZoom_;
        downEnabled_ = true;
        changed = true;
    }
    if (timeZoom_ == vykgraph::kMinTimeZoom)
        upEnabled_ = false;
    return changed;
}

bool TimeZoomButtons::Down() {
    bool changed = false;
    if (timeZoom_ > vykgraph::kMaxTimeZoom - 1) {
        timeZoom_ = vykgraph::kMaxTimeZoom;
    } else {
        ++timeZoom_;
        upEnabled_ = true;
        changed = true;
    }
    if (timeZoom_ == vykgraph::kMaxTimeZoom)
        downEnabled_ = false;
    return changed;
}

bool WheelGate::Event() {
    if (counter_ <= 3) {
        ++counter_;
        return false;
    }
    counter_ = 0;
    return true;
}

int ShiftByZoom(int value, int timeZoom) {
    const int magnitude =
        timeZoom >= 0 ? std::abs(value) << timeZoom : std::abs(value) >> -timeZoom;
    return value < 0 ? -magnitude : magnitude;
}

void DragState::Press(int row, int x) {
    dragRow = row;
    dragging = row > 0;
    if (dragging)
        dragLastX = x;
}

void DragState::Release() {
    dragging = false;
    dragRow = 0;
}

bool DragState::Move(int row, int x, int timeZoom, PointStore& store) {
    if (row == 0 || (dragging && row != dragRow)) {
        Release();
        return false;
    }
    if (!dragging)
        return false;
    bool moved = false;
    if (store.pointCount > 0) {
        store.viewStart -= ShiftByZoom(x - dragLastX, timeZoom);
        store.viewStart = std::clamp(store.viewStart, 0, store.pointCount - 1);
        moved = true;
    }
    dragLastX = x;
    return moved;
}

int SampleUnderMouse(const PointStore& store, int x, int plotLeft, int timeZoom, int row) {
    if (store.pointCount <= 0)
        return -1;
    const int offset = ShiftByZoom(x - plotLeft, timeZoom);
    int i = std::min(store.viewStart + offset, store.pointCount - 1);
    while (i >= store.viewStart && store.pointBuffer[i].laser + 1 != row) --i;
    if (i < store.viewStart || i < 0 || store.pointBuffer[i].laser != 0)
        return -1;
    return i;
}

bool OpensDebugMenu(bool rightButton, int x) {
    return rightButton && x >= 0 && x <= 9;
}

namespace {

// A positive integer asked for with the value as the default; true when it changed.
bool AskPositive(Prompt& prompt, const char* label, const char* tooSmall, int& value) {
    const QString answer =
        prompt.Input(QString::fromUtf8("提示："), QString::fromUtf8(label), QString::number(value));
    bool ok = false;
    const int entered = answer.trimmed().toInt(&ok);
    if (!ok || entered == value)
        return false;
    if (entered < 1) {
        prompt.Message(QString::fromUtf8(tooSmall));
        return false;
    }
    value = entered;
    return true;
}

}  // namespace

bool AskDistanceLimit(Prompt& prompt, int& distanceLimit) {
    return AskPositive(prompt, "输入最大距离值：", kDistanceTooSmall, distanceLimit);
}

bool AskReplayBaud(Prompt& prompt, int& baud) {
    return AskPositive(prompt, "回放的波特率（录制时的串口速度）：", kBaudTooSmall, baud);
}

QString AskTitle(Prompt& prompt, const QString& title) {
    return prompt.Input(QString::fromUtf8("输入"), QString::fromUtf8("标题名称："), title);
}

}  // namespace scanwindow
