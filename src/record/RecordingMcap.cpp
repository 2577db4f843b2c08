#include "RecordingMcap.h"

#include <QFile>

namespace record {

LaserScanMcapOptions RecordingMcapOptions(const RecordingSet& set, int baud,
                                          int32_t distanceLimit) {
    LaserScanMcapOptions options;
    options.baud = baud;
    options.distanceLimit = distanceLimit;
    if (set.SegmentCount() > 0) {
        const Segment& first = set.At(0);
        options.start = LaserScanMcap::EstimatedStart(QFile::encodeName(first.path).toStdString(),
                                                      first.entry >= 0, baud);
    }
    return options;
}

FeedOutcome WriteRecordingMcap(const RecordingSet& set, const RevolutionSpan& span,
                               const LaserScanMcapOptions& options, const QString& path,
                               const ExportProgress& progress) {
    FeedOutcome outcome;
    LaserScanMcap mcap;
    if (!mcap.Open(QFile::encodeName(path).toStdString(), options)) {
        outcome.result = FeedResult::Failed;
        outcome.reason = QString::fromStdString(mcap.Error());
        return outcome;
    }
    outcome = FeedRevolutions(set, span, options.distanceLimit, mcap, progress);
    if (outcome.result == FeedResult::Done && !mcap.Close())
        outcome.result = FeedResult::Failed;
    if (outcome.result != FeedResult::Done) {
        if (outcome.result == FeedResult::Failed && outcome.reason.isEmpty())
            outcome.reason = QString::fromStdString(mcap.Error());
        mcap.Discard();
        return outcome;
    }
    outcome.revolutions = mcap.Revolutions();
    return outcome;
}

}  // namespace record
