#pragma once

// vyk-decode: decodes a recorded scanner stream into CSV records, for scripts.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "Lasernode.h"

namespace decodecli {

struct Options {
    int32_t distanceLimit = 6000;
    int chunk = 0;  // 0: the whole file in one call
    std::string file;
};

enum ExitCode { kOk = 0, kFileError = 1, kUsageError = 2 };

// Returns false on a bad option or value.
bool ParseArguments(const std::vector<std::string>& args, Options& options);

// Decodes as the programs do: one call for the whole buffer, or consecutive calls over
// chunk-sized pieces, each writing from the next free slot of an array of size / 3 + 1 records.
std::vector<ScanPoint> DecodeBuffer(const std::vector<uint8_t>& bytes, int32_t distanceLimit,
                                    int chunk);

void WriteCsv(const std::vector<ScanPoint>& points, std::ostream& out);

// The whole program: arguments without the program name.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace decodecli
