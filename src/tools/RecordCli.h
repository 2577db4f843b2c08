#pragma once

// vyk-record: records a scanner's byte stream headless, with the console's recorder, so that its
// archives are the console's; it stops on a signal or after a time, and at once when a write or
// a pack fails, keeping every byte recorded before.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace recordcli {

enum ExitCode {
    kOk = 0,
    kNameExists = 1,
    kUsageError = 2,
    kWriteError = 3,
    kPortError = 4,
};

struct Options {
    int baud = 230400;
    double duration = 0;  // seconds; 0 records until a signal
    int32_t segmentBytes = 33554432;
    std::string port;
    std::string name;
};

// Returns false on a bad option or value, or a missing argument.
bool ParseArguments(const std::vector<std::string>& args, Options& options);

// The whole program: arguments without the program name. portsIni names the file whose [Ports]
// keys map COM names (the XDG config folder's vyk-record.ini when empty).
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const std::string& portsIni = {});

}  // namespace recordcli
