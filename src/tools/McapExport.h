#pragma once

// vyk-decode --mcap: a recording, all its entries as one continuous stream, converted into an
// MCAP file of LaserScan messages, one per complete revolution.

#include <iosfwd>
#include <string>

#include "DecodeCli.h"

namespace decodecli {

int ConvertToMcap(const Options& options, std::ostream& err, bool showProgress);

}  // namespace decodecli
