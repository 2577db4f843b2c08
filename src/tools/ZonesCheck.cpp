#include "ZonesCheck.h"

#include <unistd.h>

#include <cstdio>
#include <ostream>

#include "DecodeCli.h"
#include "LaserScanMcap.h"
#include "ProgressBar.h"
#include "ScanFeed.h"
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

// When the revolution's opening marker came, from the recording's first byte.
double SecondsOf(const TrippingRevolution& r, int baud) {
    return static_cast<double>(record::LaserScanMcap::StampOf(0, r.bytePosition, baud)) /
           kNanosecondsPerSecond;
}

std::string RevolutionText(const std::optional<TrippingRevolution>& r, int baud) {
    return r ? std::to_string(r->index) + " at " + Seconds(SecondsOf(*r, baud), 3) + " s" : "-";
}

std::string RevolutionJson(const std::optional<TrippingRevolution>& r, int baud) {
    if (!r)
        return "null";
    return "{\"revolution\": " + std::to_string(r->index) +
           ", \"time_s\": " + Seconds(SecondsOf(*r, baud), 6) + "}";
}

}  // namespace

std::string SummaryText(const ZoneSummary& s, const ZoneTable& table, int baud) {
    return "group " + std::to_string(s.zone / kZoneOutputs + 1) + " output " +
           std::to_string(s.zone % kZoneOutputs + 1) + " " + ShapeName(table.zones[s.zone]) +
           ": revolutions " + std::to_string(s.revolutions) + ", tripped " +
           std::to_string(s.tripped) + ", max hits " + std::to_string(s.maxHits) + ", first " +
           RevolutionText(s.first, baud) + ", last " + RevolutionText(s.last, baud) +
           ", longest run " + std::to_string(s.longestRun);
}

std::string SummaryJson(const std::vector<ZoneSummary>& summaries, const ZoneTable& table,
                        int baud) {
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
                ", \"first\": " + RevolutionJson(s.first, baud) +
                ", \"last\": " + RevolutionJson(s.last, baud) +
                ", \"longest_run\": " + std::to_string(s.longestRun) + "}";
    }
    json += summaries.empty() ? "]}" : "\n]}";
    return json;
}

int Check(const Options& options, const ZoneTable& table, std::ostream& out, std::ostream& err) {
    const int baud = options.baudGiven ? options.baud : scanner::kConsoleBaud;
    const std::vector<int> zones = ExistingZones(table, options.group - 1);
    ZoneTally tally(table, zones);
    record::ScanFeed feed(scanner::kDefaultDistanceLimit, tally);
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
        out << SummaryJson(summaries, table, baud) << '\n';
    } else {
        for (const ZoneSummary& s : summaries) out << SummaryText(s, table, baud) << '\n';
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
