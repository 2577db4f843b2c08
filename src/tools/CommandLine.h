#pragma once

// What every command-line tool shares: its options with --help and --version, whole numbers,
// the usage line and exit status 2 on bad use.

#include <charconv>
#include <cmath>
#include <functional>
#include <iosfwd>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace cli {

constexpr int kUsageError = 2;

// A number written out whole and in [min, max]: no blanks, no '+', nothing after it.
template <typename T>
bool ParseNumber(const std::string& text, T& value, T min = std::numeric_limits<T>::lowest(),
                 T max = std::numeric_limits<T>::max()) {
    T parsed{};
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, parsed);
    if (text.empty() || result.ec != std::errc() || result.ptr != end)
        return false;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(parsed))
            return false;
    }
    if (parsed < min || parsed > max)
        return false;
    value = parsed;
    return true;
}

struct Option {
    std::string name;  // "--baud"; its value follows as the next argument or after '='
    bool takesValue;
    // Takes the value (empty for a flag); false refuses it.
    std::function<bool(const std::string& value)> take;
};

Option Flag(const std::string& name, bool& set);
// A value that must not be empty.
Option Text(const std::string& name, std::string& value);
template <typename T>
Option Number(const std::string& name, T& value, T min = std::numeric_limits<T>::lowest(),
              T max = std::numeric_limits<T>::max()) {
    return {name, true, [&value, min, max](const std::string& text) {
                return ParseNumber(text, value, min, max);
            }};
}

struct Parsed {
    enum class Outcome { Run, Help, Version, BadUse };
    Outcome outcome = Outcome::Run;
    std::vector<std::string> arguments;  // the rest, in order
    std::string error;                   // BadUse: why
};

// The arguments after the program name. --help (or -h) and --version anywhere win over the
// rest; "--" ends the options and "-" alone is an argument.
Parsed ParseOptions(const std::vector<Option>& options, const std::vector<std::string>& args);

struct Program {
    std::string name;   // "vyk-upgrade", the prefix of its messages
    std::string usage;  // the usage lines, without the last line break
    std::string help;   // what --help prints after the usage lines
};

// Prints what --help, --version or bad use ask for: the help or the version on out, or the
// usage and why on err. Returns the exit status the program ends with; none when it runs on.
std::optional<int> Answer(const Program& program, const Parsed& parsed, std::ostream& out,
                          std::ostream& err);

// The usage and why on err; returns kUsageError.
int UsageError(const Program& program, const std::string& why, std::ostream& err);
// "NAME VERSION".
std::string VersionText(const std::string& name);

}  // namespace cli
