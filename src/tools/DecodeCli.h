#pragma once

// vyk-decode: decodes a recorded scanner stream into CSV records, for scripts.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "LaserScanMcap.h"
#include "LinkCounts.h"
#include "ProgressBar.h"
#include "StreamSink.h"

namespace decodecli {

struct Options {
    int32_t distanceLimit = 6000;
    int chunk = 0;           // 0: each buffer in one call
    bool stats = false;      // the link's figures on stderr after the records
    bool statsOnly = false;  // the figures and no records
    std::string file;        // "-": standard input
    // --mcap: the MCAP file to write instead of CSV, and how to make its scans.
    std::string mcap;
    int baud = scanner::kConsoleBaud;
    int bins = record::kDefaultScanBins;
    std::string frame = record::kDefaultScanFrame;
    bool haveStart = false;
    uint64_t start = 0;  // nanoseconds since the epoch
};

enum ExitCode { kOk = 0, kFileError = 1, kUsageError = 2 };

// An input feeds the sink its entries (Append, then EndEntry after each), shows how much of
// it was read, and stops early once the output has failed. It is opened and read once, so a
// pipe loses nothing: a plain stream is one entry, a ZIP archive (a file, never a pipe) one
// entry per archive entry. Returns false with the reason when the input cannot be read.
bool FeedInput(const std::string& path, record::StreamSink& sink, ProgressBar& progress,
               std::string& error);

// The link's figures as vyk-decode prints them, one "name: value" line each.
std::string StatsText(const LinkCounts& counts);

// The whole program: arguments without the program name. The progress bar goes to err when
// showProgress is set, unless the records go to the same terminal.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool showProgress = false, bool outIsTerminal = false);

}  // namespace decodecli
