#pragma once

// vyk-upgrade: flashes one scanner's firmware over its boot loader, for production scripts.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace upgradecli {

struct Options {
    int baud = 115200;
    int timeout = 60;  // seconds without a boot loader message
    int retries = 0;   // check errors after which the boot loader's next request is answered
    std::optional<uint32_t> expectCrc;
    std::optional<uint32_t> expectSize;
    bool json = false;  // one JSON object per event on stdout instead of the list texts
    std::string port;   // a COM name or a device path
    std::string file;
};

enum ExitCode {
    kOk = 0,
    kFileError = 1,
    kUsageError = 2,
    kCheckError = 3,
    kPortError = 4,
    kTimeout = 5,
    kLineLost = 6,
};

// The whole program: arguments without the program name.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace upgradecli
