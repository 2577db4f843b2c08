#pragma once

// vyk-zones: configures a fleet of zone scanners with one zone set (push), checks what a scanner
// holds against one (verify), reads a scanner's zones back into an INI file (pull) and tries a
// zone set on a recording (check), with the zone tool's zone model, input rules, commands,
// replies and hit test.

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
    kTripped = 7,  // check: some zone trips in some revolution
};

struct Options {
    enum class Command { None, Push, Pull, Verify, Check };
    Command command = Command::None;
    int baud = 115200;
    bool baudGiven = false;  // check: the recording's rate, 230400 unless given
    bool dryRun = false;
    bool verify = true;  // push: read the zones back and send the ones that differ again
    std::string port;
    std::string iniFile;
    int group = 0;  // check: 1..4, 0 for all four
    bool json = false;
    std::string recording;
};

// The whole program: arguments without the program name. portsIni names the file whose [Ports]
// keys map COM names (the XDG config folder's vyk-zones.ini when empty).
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const std::string& portsIni = {});

}  // namespace zonescli
