#pragma once

// Revolutions of a recording as CSV, for analysis in Python or a spreadsheet: one row per
// measured sample (a bearing below 360 degrees and a distance above 0) under a header line.
// x and y follow the display: bearing 0 is ahead (up on screen) and grows clockwise, so
// x = distance * sin(bearing) is to the right and y = distance * cos(bearing) ahead.

#include <QString>
#include <cstdint>

#include "RevolutionFeed.h"

namespace record {

constexpr char kRevolutionCsvHeader[] = "revolution,time_s,angle_deg,distance_cm,x_cm,y_cm\n";

struct RevolutionCsvOptions {
    double byteRate = 23040;  // bytes a second on the line: turns positions into time_s
    int32_t distanceLimit = 6000;
};

// The span's revolutions written beside path and renamed over it once complete, the revolution
// column counting from 1 as the console shows them. time_s is the revolution's opening marker's
// position over the byte rate. Cancelled or failed, path keeps what it held.
FeedOutcome WriteRevolutionCsv(const RecordingSet& set, const RevolutionSpan& span,
                               const RevolutionCsvOptions& options, const QString& path,
                               const ExportProgress& progress = {});

}  // namespace record
