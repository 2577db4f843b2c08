#pragma once

// Revolutions of a recording set as an MCAP file of LaserScan messages: the conversion of
// vyk-decode --mcap, for the console's export of a whole recording or a range of it.

#include <QString>

#include "LaserScanMcap.h"
#include "RevolutionFeed.h"

namespace record {

// The options of vyk-decode --mcap without its flags, the start estimated from the first
// segment's archive as it does.
LaserScanMcapOptions RecordingMcapOptions(const RecordingSet& set, int baud, int32_t distanceLimit);

// The span's complete revolutions (the recording's last, which the stream ends, is none),
// written under a temporary name beside path and renamed when complete. Cancelled or failed,
// neither the temporary file nor a new path is left, and an old path keeps what it held.
FeedOutcome WriteRecordingMcap(const RecordingSet& set, const RevolutionSpan& span,
                               const LaserScanMcapOptions& options, const QString& path,
                               const ExportProgress& progress = {});

}  // namespace record
