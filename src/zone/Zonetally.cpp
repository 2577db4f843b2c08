#include "Zonetally.h"

#include <algorithm>

#include "ScannerInterface.h"
#include "Zonehit.h"

std::vector<int> ExistingZones(const ZoneTable& table, int group) {
    std::vector<int> zones;
    for (int z = 0; z < kZoneCount; ++z) {
        if ((group < 0 || z / kZoneOutputs == group) &&
            table.zones[z].count >= vykgraph::kSectorZone) {
            zones.push_back(z);
        }
    }
    return zones;
}

ZoneTally::ZoneTally(const ZoneTable& table, const std::vector<int>& zones) {
    for (const int z : zones) {
        Followed followed;
        followed.zone = table.zones[z];
        followed.summary.zone = z;
        followed_.push_back(followed);
    }
}

bool ZoneTally::Marker(uint64_t bytePosition) {
    if (open_)
        CloseRevolution();
    open_ = true;
    openedAt_ = bytePosition;
    return true;
}

void ZoneTally::Sample(int angle, int32_t distance) {
    if (!open_ || angle >= scanner::kInfoFirst || distance < 1)
        return;
    const vykgraph::ZoneSample sample = vykgraph::MakeZoneSample(distance, angle);
    for (Followed& f : followed_) f.hits += vykgraph::InZone(f.zone, sample);
}

void ZoneTally::CloseRevolution() {
    const TrippingRevolution revolution{revolutions_, openedAt_};
    for (Followed& f : followed_) {
        ZoneSummary& s = f.summary;
        ++s.revolutions;
        s.maxHits = std::max(s.maxHits, f.hits);
        if (vykgraph::ZoneTrips(f.zone, f.hits)) {
            ++s.tripped;
            if (!s.first)
                s.first = revolution;
            s.last = revolution;
            s.longestRun = std::max(s.longestRun, ++f.run);
        } else {
            f.run = 0;
        }
        f.hits = 0;
    }
    ++revolutions_;
}

std::vector<ZoneSummary> ZoneTally::Summaries() const {
    std::vector<ZoneSummary> summaries;
    for (const Followed& f : followed_) summaries.push_back(f.summary);
    return summaries;
}
