#include "SimOptions.h"

#include <functional>
#include <map>

#include "CommandLine.h"
#include "Device.h"
#include "ScannerInterface.h"

namespace {

using Setter = std::function<bool(SimOptions&, const std::string&)>;

template <typename T>
Setter Integer(T SimOptions::*field, long min, long max) {
    return [=](SimOptions& o, const std::string& text) {
        long v;
        if (!cli::ParseNumber(text, v, min, max))
            return false;
        o.*field = static_cast<T>(v);
        return true;
    };
}

Setter Real(double SimOptions::*field, double min, double max) {
    return [=](SimOptions& o, const std::string& text) {
        return cli::ParseNumber(text, o.*field, min, max);
    };
}

Setter Text(std::string SimOptions::*field) {
    return [=](SimOptions& o, const std::string& text) {
        o.*field = text;
        return !text.empty();
    };
}

constexpr char kHelp[] = "--help";
constexpr char kVersion[] = "--version";
constexpr char kFast[] = "--fast";

const std::map<std::string, Setter>& ValueOptions() {
    constexpr double kLongest = 1e7;
    static const std::map<std::string, Setter> options = {
        {"--link", Text(&SimOptions::link)},
        {"--device", Text(&SimOptions::device)},
        {"--model",
         [](SimOptions& o, const std::string& text) {
             if (text == "vyk10") {
                 o.model = ScannerModel::Vyk10;
             } else if (text == "vyk05") {
                 o.model = ScannerModel::Vyk05;
             } else {
                 return false;
             }
             return true;
         }},
        {"--packet", Integer(&SimOptions::packet, 3, 5)},
        {"--baud", Integer(&SimOptions::baud, 50, 4000000)},
        {"--duration", Real(&SimOptions::duration, 0, kLongest)},
        {"--state", Text(&SimOptions::state)},
        {"--group", Integer(&SimOptions::group, 0, 3)},
        {"--boot", Text(&SimOptions::boot)},
        {"--corrupt", Real(&SimOptions::corrupt, 0, 1)},
        {"--garbage", Real(&SimOptions::garbage, 0, 1)},
        {"--drop-turns", Integer(&SimOptions::dropTurns, 2, 1000000)},
        {"--drop-ack", Integer(&SimOptions::dropAck, 0, 1000000)},
        {"--slow-ack", Integer(&SimOptions::slowAck, 0, 1000000)},
        {"--forget-point", Integer(&SimOptions::forgetPoint, 0, 1000000)},
        {"--stall-after", Real(&SimOptions::stallAfter, 0, kLongest)},
        {"--hangup-after", Real(&SimOptions::hangupAfter, 0, kLongest)},
        {"--hangup-after-image", Integer(&SimOptions::imageHangup, 1, 1 << 20)},
        {"--deaf-after-image", Integer(&SimOptions::imageDeaf, 1, 1 << 20)},
        {"--seed", Integer(&SimOptions::seed, 0, 4294967295L)},
        {"--log", Text(&SimOptions::log)},
        {"--tee", Text(&SimOptions::tee)},
    };
    return options;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, SimOptions& options, std::string& error) {
    bool baudGiven = false;
    std::vector<cli::Option> table = {cli::Flag(kFast, options.fast)};
    for (const auto& [name, setter] : ValueOptions()) {
        table.push_back({name, true, [&, name = name, setter = setter](const std::string& text) {
                             baudGiven = baudGiven || name == "--baud";
                             return setter(options, text);
                         }});
    }
    const cli::Parsed parsed =
        cli::ParseOptions(table, std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.outcome) {
        case cli::Parsed::Outcome::Help:
            options.help = true;
            return true;
        case cli::Parsed::Outcome::Version:
            options.version = true;
            return true;
        case cli::Parsed::Outcome::BadUse:
            error = parsed.error;
            return false;
        case cli::Parsed::Outcome::Run:
            break;
    }
    if (!parsed.arguments.empty()) {
        error = "unexpected argument " + parsed.arguments.front();
        return false;
    }
    if (!options.link.empty() && !options.device.empty()) {
        error = "--link makes a pseudo-terminal; it cannot go with --device";
        return false;
    }
    if (!baudGiven) {
        options.baud =
            options.model == ScannerModel::Vyk05 ? scanner::kZoneToolBaud : scanner::kConsoleBaud;
    }
    if (!options.device.empty() && !TDevice::KnownRate(options.baud)) {
        error = "--baud " + std::to_string(options.baud) +
                " with --device: a serial device takes one of the rates from 9600 to 921600";
        return false;
    }
    return true;
}

std::vector<std::string> OptionNames() {
    std::vector<std::string> names = {kHelp, kVersion, kFast};
    for (const auto& option : ValueOptions()) names.push_back(option.first);
    return names;
}

std::string HelpText() {
    return R"(usage: vyk-sim [options]
Plays a VYK-10 or VYK-05 laser scanner on a pseudo-terminal (or a given device).
The first line printed is the path of the device to open.

  --link PATH          also make PATH a symbolic link to the pseudo-terminal (removed at exit)
  --device PATH        use an existing serial device instead of a pseudo-terminal
  --model vyk10|vyk05  scanner model (default vyk10); vyk05 keeps twelve protection zones
  --packet 3|4|5       measurement packet size in bytes (default 4)
  --baud N             line rate (default 230400, vyk05 115200): N/10 bytes per second;
                       with --device one of 9600 19200 38400 57600 115200 230400 460800 921600
  --fast               no pacing: send as fast as the reader takes the bytes
  --duration SECONDS   exit after this time (default: run until killed)
  --state FILE         settings and zones: read at start, written by "#SU"
  --group 0..3         input group whose zones drive the outputs (vyk05, default 0)
  --boot FIRMWARE_OUT  start in the boot loader; a good image is written to FIRMWARE_OUT
  --corrupt RATE       probability per sent byte of a flipped bit (0..1); with --boot,
                       per byte the boot loader receives, its messages left whole
  --garbage RATE       probability per sent byte of a stray byte (0..1)
  --drop-turns N       leave out every N-th revolution, marker and samples (N >= 2)
  --drop-ack N         ignore every N-th zone command ("#IOL", "#SPR", "#SU")
  --slow-ack N         carry out every N-th zone command at once but answer it 1.1 s
                       later, after the zone tool has sent it again
  --forget-point N     answer every N-th "#SPR" with "ok" but keep the zone as it was
  --stall-after S      stop sending after S seconds (commands are still read)
  --hangup-after S     close the device after S seconds and exit
  --hangup-after-image N
                       with --boot: close the device and exit once N bytes of the image came
  --deaf-after-image N with --boot: once N bytes of the image came, stop reading the line
                       and answering (the boot loader hangs; the sender's line fills up)
  --seed N             seed of noise, missing returns and faults (default 1)
  --log FILE           every received command line and sent reply, time-stamped
  --tee FILE           a copy of every byte sent, written as it goes out
  --help               this text
  --version            the program's version

The scan: walls, fixed objects and one slowly moving object, 10 Hz by default.
Each turn starts with info point 5768 (turn counter mod 2048), then once a
second 5769 (seconds), 5760 (2000 / Hz), for vyk05 5770 (outputs, group in
bits 6-7), then the samples from 0 to 360 degrees; now and then a "#CART" line.
Text lines end in CR LF and one 0x80 byte, so the packet after a line stays whole.
With --corrupt, --garbage or --drop-turns, what was done to the stream is told on
stderr at exit.
)";
}
