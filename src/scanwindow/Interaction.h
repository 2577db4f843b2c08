#pragma once

// The console's mouse, wheel, zoom and dialog rules, apart from the widgets.

#include <QString>

#include "Acquisition.h"

class Prompt;

namespace scanwindow {

// Views 162 and 163 have time zoom buttons and the history button.
bool HasTimeAxis(int viewType);

// The time zoom buttons: -6..10; an end stop disables its button.
class TimeZoomButtons {
public:
    int TimeZoom() const { return timeZoom_; }
    bool UpEnabled() const { return upEnabled_; }
    bool DownEnabled() const { return downEnabled_; }
    // Each returns true when the zoom changed, so the window lays out and redraws.
    bool Up();
    bool Down();

private:
    int timeZoom_ = 0;
    bool upEnabled_ = true;
    bool downEnabled_ = true;
};

// Each wheel direction acts on every fifth event only.
class WheelGate {
public:
    bool Event();

private:
    int counter_ = 0;
};

// |value| shifted left by timeZoom (right when negative), with the sign of value.
int ShiftByZoom(int value, int timeZoom);

// Dragging through the point buffer with the left button in the strip views.
struct DragState {
    bool dragging = false;
    int dragRow = 0;
    int dragLastX = 0;

    void Press(int row, int x);
    void Release();
    // A move over row (HitRow) at x; true when viewStart moved and the view needs a redraw.
    // Dragging to the right shows earlier samples.
    bool Move(int row, int x, int timeZoom, PointStore& store);
};

// Index of the sample read under the mouse at x on strip row, or -1.
int SampleUnderMouse(const PointStore& store, int x, int plotLeft, int timeZoom, int row);

// The debug popup opens on a right-button release over the leftmost 10 pixels of the status bar.
bool OpensDebugMenu(bool rightButton, int x);

constexpr char kDistanceTooSmall[] = "最大距离不能小于1!";

// The distance limit dialog; true when the answer is an integer that differs from the limit.
// A limit below 1 would drop every measurement: it is refused with a message.
bool AskDistanceLimit(Prompt& prompt, int& distanceLimit);
constexpr char kBaudTooSmall[] = "波特率不能小于1!";

// The replay's baud dialog; true when the answer is an integer that differs from baud. A rate
// below 1 would put every revolution at an endless time: it is refused with a message.
bool AskReplayBaud(Prompt& prompt, int& baud);
// The title dialog; a cancelled box returns the unchanged title.
QString AskTitle(Prompt& prompt, const QString& title);

}  // namespace scanwindow
