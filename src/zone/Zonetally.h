#pragma once

// The zones of a table tried on the revolutions of a scan stream: how many revolutions trip each
// zone, for vyk-zones check and the zone tool's replay alike.

#include <cstdint>
#include <optional>
#include <vector>

#include "ScanFeed.h"
#include "Zonetable.h"

struct TrippingRevolution {
    uint64_t index;         // from 0 at the recording's first complete revolution
    uint64_t bytePosition;  // of its opening marker in the recording's stream
};

// What one zone saw over the revolutions tallied.
struct ZoneSummary {
    int zone = 0;  // ZoneIndex
    uint64_t revolutions = 0;
    uint64_t tripped = 0;
    int maxHits = 0;
    std::optional<TrippingRevolution> first;
    std::optional<TrippingRevolution> last;
    uint64_t longestRun = 0;  // consecutive tripping revolutions
};

// The zones that exist (a sector or a polygon), of one group (0..3) or of all when group is -1.
std::vector<int> ExistingZones(const ZoneTable& table, int group);

// Takes a scan feed's records.
class ZoneTally : public record::ScanReceiver {
public:
    // zones: ZoneIndex values of the table's zones to follow.
    ZoneTally(const ZoneTable& table, const std::vector<int>& zones);

    // A 0-degree marker that begins at this byte of the stream: it ends the revolution open
    // and opens the next. Records before the first marker belong to no complete revolution,
    // nor do those after the last.
    bool Marker(uint64_t bytePosition) override;
    // A record of the stream; info points and unmeasured samples count nowhere.
    void Sample(int angle, int32_t distance) override;

    uint64_t Revolutions() const { return revolutions_; }
    std::vector<ZoneSummary> Summaries() const;

private:
    struct Followed {
        ProtectZone zone;
        ZoneSummary summary;
        int hits = 0;  // in the revolution being read
        uint64_t run = 0;
    };

    void CloseRevolution();

    std::vector<Followed> followed_;
    bool open_ = false;  // a marker has opened a revolution
    uint64_t openedAt_ = 0;
    uint64_t revolutions_ = 0;
};
