#include "CommandLine.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <regex>
#include <sstream>

#include "OpenFailure.h"

namespace {

TEST(CommandLineNumber, TakesWholeNumbersInTheirRangeOnly) {
    const struct {
        const char* text;
        bool taken;
        int value;
    } cases[] = {
        {"42", true, 42},          {"-7", true, -7},   {"0", true, 0},    {"", false, 0},
        {" 42", false, 0},         {"42 ", false, 0},  {"+42", false, 0}, {"4x", false, 0},
        {"0x10", false, 0},        {"100", true, 100}, {"101", false, 0}, {"-11", false, 0},
        {"99999999999", false, 0},
    };
    for (const auto& c : cases) {
        int value = 0;
        EXPECT_EQ(cli::ParseNumber(c.text, value, -10, 100), c.taken) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
    double seconds = 1;
    EXPECT_TRUE(cli::ParseNumber("2.5", seconds));
    EXPECT_EQ(seconds, 2.5);
    for (const char* text : {"nan", "inf", "1e999"})
        EXPECT_FALSE(cli::ParseNumber(text, seconds)) << text;
}

struct Line {
    int baud = 0;
    bool dry = false;
};

cli::Parsed ParseLine(const std::vector<std::string>& args, Line& line) {
    return cli::ParseOptions({cli::Number("--baud", line.baud, 1), cli::Flag("--dry", line.dry)},
                             args);
}

TEST(CommandLineOptions, ReadsOptionsAndArgumentsAndRefusesBadUse) {
    using Outcome = cli::Parsed::Outcome;
    const struct {
        std::vector<std::string> args;
        Outcome outcome;
        std::vector<std::string> arguments;
        const char* error;
    } cases[] = {
        {{"--baud", "9600", "a", "--dry", "b"}, Outcome::Run, {"a", "b"}, ""},
        {{"--baud=9600", "-", "--", "--dry"}, Outcome::Run, {"-", "--dry"}, ""},
        {{"--bogus", "--help"}, Outcome::Help, {}, ""},
        {{"a", "-h"}, Outcome::Help, {}, ""},
        {{"--version", "--baud"}, Outcome::Version, {}, ""},
        {{"--", "--help"}, Outcome::Run, {"--help"}, ""},
        {{"--bogus"}, Outcome::BadUse, {}, "unknown option --bogus"},
        {{"-x"}, Outcome::BadUse, {}, "unknown option -x"},
        {{"a", "--baud"}, Outcome::BadUse, {}, "--baud needs a value"},
        {{"--baud", "0"}, Outcome::BadUse, {}, "bad value for --baud: 0"},
        {{"--dry=1"}, Outcome::BadUse, {}, "--dry takes no value"},
    };
    for (const auto& c : cases) {
        Line line;
        const cli::Parsed parsed = ParseLine(c.args, line);
        const std::string what = testing::PrintToString(c.args);
        EXPECT_EQ(parsed.outcome, c.outcome) << what;
        if (c.outcome == Outcome::Run) {
            EXPECT_EQ(parsed.arguments, c.arguments) << what;
        }
        EXPECT_EQ(parsed.error, c.error) << what;
    }
    Line line;
    ParseLine({"--baud", "9600", "--dry"}, line);
    EXPECT_EQ(line.baud, 9600);
    EXPECT_TRUE(line.dry);
}

TEST(CommandLineOptions, AnswersHelpVersionAndBadUseWithTheirStatus) {
    const cli::Program program{"vyk-test", "usage: vyk-test [--baud N] FILE", "Tests.\n"};
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {{"--help"}, 0, "usage: vyk-test [--baud N] FILE\nTests.\n", ""},
        {{"--baud", "x"},
         cli::kUsageError,
         "",
         "usage: vyk-test [--baud N] FILE\nvyk-test: bad value for --baud: x (see --help)\n"},
    };
    for (const auto& c : cases) {
        Line line;
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(cli::Answer(program, ParseLine(c.args, line), out, err), c.status);
        EXPECT_EQ(out.str(), c.out);
        EXPECT_EQ(err.str(), c.err);
    }
    Line line;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_FALSE(cli::Answer(program, ParseLine({"a"}, line), out, err).has_value());
    EXPECT_TRUE(out.str().empty() && err.str().empty());
    EXPECT_EQ(cli::Answer(program, ParseLine({"--version"}, line), out, err), 0);
    EXPECT_TRUE(std::regex_match(out.str(), std::regex("vyk-test [0-9]+\\.[0-9]+\n"))) << out.str();
}

TEST(CommandLineOpenFailed, SaysWhyFromTheErrno) {
    const struct {
        int error;
        const char* text;
    } cases[] = {
        {ENOENT, "/dev/ttyUSB7: no such serial device"},
        {EACCES,
         "/dev/ttyUSB7: permission denied (add yourself to the group dialout and log in "
         "again)"},
        {EBUSY, "/dev/ttyUSB7: in use by another program"},
        {EIO, "/dev/ttyUSB7: Input/output error"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OpenFailedText("/dev/ttyUSB7", c.error, OpenFailureStyle::Line), c.text);
}

}  // namespace
