#pragma once

// vyk-decode's ZIP input: a recording archive, recognised by its first bytes, whose entries
// are read in the archive's order.

#include <string>

#include "ProgressBar.h"
#include "StreamSink.h"

namespace decodecli {

// True when the file is a plain file that begins like a ZIP archive; false too when it cannot
// be read, and for a pipe or a device, which are never read here.
bool IsArchive(const std::string& path);

// Feeds every entry to the sink as FeedInput does a plain stream. Returns false with the
// problem (a damaged archive, a refused entry) in error.
bool FeedArchive(const std::string& path, record::StreamSink& sink, ProgressBar& progress,
                 std::string& error);

}  // namespace decodecli
