#include "ZonesCheck.h"

#include <unistd.h>

#include <cstdio>
#include <ostream>

#include "DecodeCli.h"
#include "LaserScanMcap.h"
#include "ProgressBar.h"
#include "ScannerInterface.h"
#include "Zonehit.h"
#include "ZonesCli.h"

namespace zonescli {
namespace {

constexpr double kNanosecondsPerSecond = 1e9;

const char* ShapeName(const ProtectZone& zone) {
    return zone.count == vykgraph::kSectorZone ? "sector" : "polygon";
}

std::string Seconds(double seconds, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, seconds);
    return text;
}

std::string RevolutionText(const std::optional<TrippingRevolution>& r) {
    return r ? std::to_string(r->index) + " at " + Seconds(r->seconds, 3) + " s" : "-";
}

std::string RevolutionJson(const std::optional<TrippingRevolution>& r) {
    if (!r)
        return "null";
    return "{\"revolution\": " + std::to_string(r->index) +
           ", \"time_s\": " + Seconds(r->seconds, 6) + "}";
}

// The zones that exist, of one group (0..3) or of all when group is -1.
std::vector<int> ZonesToCheck(const ZoneTable& table, int group) {
    std::vector<int> zones;
    for (int z = 0; z < kZoneCount; ++z) {
        if ((group < 0 || z / kZoneOutputs == group) &&
            table.zones[z].count >= vykgraph::kSectorZone) {
            zones.push_back(z);
        }
    }
    return zones;
}

}  // namespace

ZoneTally::ZoneTally(const ZoneTable& table, const std::vector<int>& zones, int baud)
    : baud_(baud) {
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
    const TrippingRevolution revolution{
        revolutions_, static_cast<double>(record::LaserScanMcap::StampOf(0, openedAt_, baud_)) /
                          kNanosecondsPerSecond};
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

std::string SummaryText(const ZoneSummary& s, const ZoneTable& table) {
    return "group " + std::to_string(s.zone / kZoneOutputs + 1) + " output " +
           std::to_string(s.zone % kZoneOutputs + 1) + " " + ShapeName(table.zones[s.zone]) +
           ": revolutions " + std::to_string(s.revolutions) + ", tripped " +
           std::to_string(s.tripped) + ", max hits " + std::to_string(s.maxHits) + ", first " +
           RevolutionText(s.first) + ", last " + RevolutionText(s.last) + ", longest run " +
           std::to_string(s.longestRun);
}

std::string SummaryJson(const std::vector<ZoneSummary>& summaries, const ZoneTable& table) {
    std::string json = "{\"zones\": [";
    for (size_t i = 0; i < summaries.size(); ++i) {
        const ZoneSummary& s = summaries[i];
        json += i == 0 ? "\n  " : ",\n  ";
        json += "{\"group\": " + std::to_string(s.zone / kZoneOutputs + 1) +
                ", \"output\": " + std::to_string(s.zone % kZoneOutputs + 1) + ", \"shape\": \"" +
                ShapeName(table.zones[s.zone]) +
                "\", \"revolutions\": " + std::to_string(s.revolutions) +
                ", \"tripped\": " + std::to_string(s.tripped) +
                ", \"max_hits\": " + std::to_string(s.maxHits) +
                ", \"first\": " + RevolutionJson(s.first) +
                ", \"last\": " + RevolutionJson(s.last) +
                ", \"longest_run\": " + std::to_string(s.longestRun) + "}";
    }
    json += summaries.empty() ? "]}" : "\n]}";
    return json;
}

int Check(const Options& options, const ZoneTable& table, std::ostream& out, std::ostream& err) {
    const int baud = options.baudGiven ? options.baud : scanner::kConsoleBaud;
    const std::vector<int> zones = ZonesToCheck(table, options.group - 1);
    ZoneTally tally(table, zones, baud);
    decodecli::ScanFeed feed(scanner::kDefaultDistanceLimit, tally);
    ProgressBar progress(err, isatty(STDERR_FILENO) == 1);
    std::string error;
    const bool read = decodecli::FeedInput(options.recording, feed, progress, error);
    progress.Finish();
    if (!read) {
        err << "vyk-zones: cannot read " << options.recording << ": " << error << '\n';
        return kFileError;
    }
    feed.End();
    // Nothing tested is no pass: a gate on an empty site must not open on a file of no scan.
    if (tally.Revolutions() == 0) {
        err << "vyk-zones: " << options.recording << " holds no complete revolution\n";
        return kFileError;
    }
    if (zones.empty())
        err << "vyk-zones: " << options.iniFile << " holds no zone to check\n";
    const std::vector<ZoneSummary> summaries = tally.Summaries();
    if (options.json) {
        out << SummaryJson(summaries, table) << '\n';
    } else {
        for (const ZoneSummary& s : summaries) out << SummaryText(s, table) << '\n';
    }
    out.flush();
    if (!out) {
        err << "vyk-zones: cannot write the results\n";
        return kFileError;
    }
    for (const ZoneSummary& s : summaries) {
        if (s.tripped > 0)
            return kTripped;
    }
    return kOk;
}

}  // namespace zonescli
