#pragma once

// The zones of the group shown tried on every complete revolution of a recording, on a worker
// thread so that the replay's window goes on; started again from the first revolution whenever
// a zone is edited.

#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "Zonetally.h"

namespace record {
class RecordingSet;
}  // namespace record

// "区域1: 1234/5000 圈触发": the zone's output, the revolutions that trip it of those checked.
QString ZoneSummaryText(const ZoneSummary& summary);

class ZoneRecordingSummary {
public:
    // The set must outlive the summary and stay as it is.
    explicit ZoneRecordingSummary(const record::RecordingSet& set, int32_t distanceLimit = 6000);
    ~ZoneRecordingSummary();
    ZoneRecordingSummary(const ZoneRecordingSummary&) = delete;
    ZoneRecordingSummary& operator=(const ZoneRecordingSummary&) = delete;

    // Tries these zones (ZoneIndex values) of table from the first revolution on; a run still
    // going is stopped first, and what it counted is gone.
    void Start(const ZoneTable& table, const std::vector<int>& zones);
    void Stop();
    // Tries the zones of group (0..3) unless they are those tried already: asked at every
    // redraw of a replay, only a changed zone starts the count again.
    void Follow(const ZoneTable& table, int group);

    struct Progress {
        std::vector<ZoneSummary> zones;  // over the revolutions checked so far
        bool done = false;               // every complete revolution was checked
        // The segment that could not be read, with the reason: the counts stop in it.
        QString error;
    };
    // May be asked from any thread while the worker counts.
    Progress Current() const;

private:
    void Run(const ZoneTable& table, const std::vector<int>& zones);
    void Publish(const ZoneTally& tally, bool done, const QString& error);

    const record::RecordingSet& set_;
    std::optional<std::array<ProtectZone, kZoneOutputs>> followed_;
    const int32_t distanceLimit_;
    mutable std::mutex mutex_;
    Progress progress_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

// The summary as the window shows it: a line per zone, a word while the count goes on, and the
// reason when the recording could not be read to its end.
QString ZoneSummaryLines(const ZoneRecordingSummary::Progress& progress);
