#pragma once

// vyk-decode --mcap: a recording, all its entries as one continuous stream, converted into an
// MCAP file of LaserScan messages, one per complete revolution.

#include <cstdint>
#include <iosfwd>
#include <string>

#include "DecodeCli.h"

namespace decodecli {

// The nanoseconds since the epoch of the stream's first byte as the file tells it: the first
// archive entry's modification time less its duration at the byte rate; 0 for a raw file.
uint64_t EstimatedStart(const std::string& path, bool archive, int baud);

int ConvertToMcap(const Options& options, std::ostream& err, bool showProgress);

}  // namespace decodecli
