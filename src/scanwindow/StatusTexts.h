#pragma once

// The texts of the console's status bar panels and of the reading label.

#include <QString>
#include <cstdint>

#include "Lasernode.h"

namespace scanwindow {

constexpr int kStatusPanelWidths[8] = {100, 60, 120, 120, 60, 60, 18, 50};
constexpr char kBuildText[] = "Build 19";
constexpr char kPanel6Text[] = "4";
constexpr int kLinkStatusWidth = 160;  // the link's health, right of the panels

QString PortStatusText(bool open, int portNumber, int baudRate);
// The second number stays 0: nothing in the console gives it a value.
QString ZoomStatusText(int timeZoom);
QString PointStatusText(int pointCount, float pointRate);
QString ByteStatusText(int64_t receivedTotal, float byteRate);
// Panel 4 shows a value the console never sets.
QString UnsetValueText();

// The reading of the reference point after a redraw.
QString ReferenceText(int referenceDistance, int referenceAngle);
// The reading of the sample under the mouse in the strip views.
QString SampleText(const ScanPoint& point);

}  // namespace scanwindow
