#pragma once

// vyk-zones: configures a fleet of zone scanners with one zone set (push), checks what a scanner
// holds against one (verify) and reads a scanner's zones back into an INI file (pull), with the
// zone tool's zone model, input rules, commands and replies.

#include <iosfwd>
#include <string>
#include <vector>

namespace zonescli {

enum ExitCode {
    kOk = 0,
    kFileError = 1,
    kUsageError = 2,
    kNotAcknowledged = 3,
    kPortError = 4,
    kNoReport = 5,
    kMismatch = 6,
};

struct Options {
    enum class Command { None, Push, Pull, Verify };
    Command command = Command::None;
    int baud = 115200;
    bool dryRun = false;
    bool verify = true;  // push: read the zones back and send the ones that differ again
    std::string port;
    std::string iniFile;
};

// The whole program: arguments without the program name. portsIni names the file whose [Ports]
// keys map COM names (the XDG config folder's vyk-zones.ini when empty).
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const std::string& portsIni = {});

}  // namespace zonescli
