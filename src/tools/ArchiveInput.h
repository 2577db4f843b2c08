#pragma once

// vyk-decode's ZIP input: a recording archive, recognised by its first bytes, whose entries
// are decoded in the archive's order, each as a buffer of its own.

#include <string>

#include "CsvWriter.h"
#include "ProgressBar.h"
#include "WindowedDecoder.h"

namespace decodecli {

// True when the file begins like a ZIP archive; false too when it cannot be read.
bool IsArchive(const std::string& path);

// Feeds every entry to the decoder as FeedFile does a plain file. Returns false with the
// problem (a damaged archive, a refused entry) in error.
bool FeedArchive(const std::string& path, WindowedDecoder& decoder, const CsvWriter& output,
                 ProgressBar& progress, std::string& error);

}  // namespace decodecli
