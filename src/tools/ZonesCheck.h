#pragma once

// vyk-zones check: the zones of an INI file tried on a recording before they go into a scanner,
// every complete revolution tested with the zone tool's own hit test.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "Zonetally.h"

namespace zonescli {

struct Options;

// One line per zone, and the same as one JSON object; baud turns byte positions into time.
std::string SummaryText(const ZoneSummary& summary, const ZoneTable& table, int baud);
std::string SummaryJson(const std::vector<ZoneSummary>& summaries, const ZoneTable& table,
                        int baud);

// The whole command on a table that passed the input rules: kOk, kTripped, kFileError.
int Check(const Options& options, const ZoneTable& table, std::ostream& out, std::ostream& err);

}  // namespace zonescli
