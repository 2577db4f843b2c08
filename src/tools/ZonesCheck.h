#pragma once

// vyk-zones check: the zones of an INI file tried on a recording before they go into a scanner,
// every complete revolution tested with the zone tool's own hit test.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "ScanFeed.h"
#include "Zonetable.h"

namespace zonescli {

struct Options;

struct TrippingRevolution {
    uint64_t index;  // from 0 at the recording's first complete revolution
    double seconds;  // when its opening marker came, from the recording's first byte
};

// What one zone saw over the whole recording.
struct ZoneSummary {
    int zone = 0;  // ZoneIndex
    uint64_t revolutions = 0;
    uint64_t tripped = 0;
    int maxHits = 0;
    std::optional<TrippingRevolution> first;
    std::optional<TrippingRevolution> last;
    uint64_t longestRun = 0;  // consecutive tripping revolutions
};

// Counts the hits of each zone in every revolution between two 0-degree markers; samples before
// the first marker and after the last belong to no complete revolution.
class ZoneTally : public decodecli::ScanReceiver {
public:
    // zones: ZoneIndex values of the table's zones to follow; baud: the recording's line rate.
    ZoneTally(const ZoneTable& table, const std::vector<int>& zones, int baud);

    bool Marker(uint64_t bytePosition) override;
    void Sample(int angle, int32_t distance) override;

    uint64_t Revolutions() const { return revolutions_; }
    std::vector<ZoneSummary> Summaries() const;

private:
    struct Followed {
        ProtectZone zone;
        ZoneSummary summary;
        int hits = 0;  // in the open revolution
        uint64_t run = 0;
    };
    void CloseRevolution();

    std::vector<Followed> followed_;
    const int baud_;
    bool open_ = false;  // a marker has opened a revolution
    uint64_t openedAt_ = 0;
    uint64_t revolutions_ = 0;
};

// One line per zone, and the same as one JSON object.
std::string SummaryText(const ZoneSummary& summary, const ZoneTable& table);
std::string SummaryJson(const std::vector<ZoneSummary>& summaries, const ZoneTable& table);

// The whole command on a table that passed the input rules: kOk, kTripped, kFileError.
int Check(const Options& options, const ZoneTable& table, std::ostream& out, std::ostream& err);

}  // namespace zonescli
