#pragma once

// vyk-decode: decodes a recorded scanner stream into CSV records, for scripts.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "CsvWriter.h"
#include "ProgressBar.h"
#include "WindowedDecoder.h"

namespace decodecli {

struct Options {
    int32_t distanceLimit = 6000;
    int chunk = 0;  // 0: each buffer in one call
    bool help = false;
    std::string file;
};

enum ExitCode { kOk = 0, kFileError = 1, kUsageError = 2 };

// Returns false on a bad option or value.
bool ParseArguments(const std::vector<std::string>& args, Options& options);

// An input feeds the decoder its buffers (Append, then EndBuffer after each), shows how much of
// it was read, and stops early once the output has failed. A plain file is one buffer.
// Returns false with the system's reason when the input cannot be read.
bool FeedFile(const std::string& path, WindowedDecoder& decoder, const CsvWriter& output,
              ProgressBar& progress, std::string& error);

// The whole program: arguments without the program name. The progress bar goes to err.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool showProgress = false);

}  // namespace decodecli
