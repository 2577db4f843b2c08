#include "SimOptions.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

bool Parse(std::vector<const char*> args, SimOptions& options, std::string& error) {
    args.insert(args.begin(), "vyk-sim");
    return ParseOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(SimOptions, ReadsTheCommandLine) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(
        Parse({"--link",         "/tmp/x", "--model",        "vyk05",      "--packet",      "5",
               "--baud=115200",  "--fast", "--duration",     "2.5",        "--state",       "s",
               "--group",        "3",      "--boot",         "fw",         "--corrupt",     "0.01",
               "--garbage",      "0.5",    "--drop-ack",     "4",          "--stall-after", "1",
               "--hangup-after", "9",      "--seed",         "4294967295", "--log",         "l",
               "--slow-ack",     "2",      "--forget-point", "3"},
              o, error))
        << error;
    EXPECT_EQ(o.link, "/tmp/x");
    EXPECT_EQ(o.model, ScannerModel::Vyk05);
    EXPECT_EQ(o.packet, 5);
    EXPECT_EQ(o.baud, 115200);
    EXPECT_TRUE(o.fast);
    EXPECT_DOUBLE_EQ(o.duration, 2.5);
    EXPECT_EQ(o.group, 3);
    EXPECT_EQ(o.boot, "fw");
    EXPECT_DOUBLE_EQ(o.garbage, 0.5);
    EXPECT_EQ(o.dropAck, 4);
    EXPECT_EQ(o.slowAck, 2);
    EXPECT_EQ(o.forgetPoint, 3);
    EXPECT_DOUBLE_EQ(o.hangupAfter, 9);
    EXPECT_EQ(o.seed, 4294967295u);
    EXPECT_EQ(o.log, "l");

    SimOptions defaults;
    ASSERT_TRUE(Parse({}, defaults, error));
    EXPECT_EQ(defaults.model, ScannerModel::Vyk10);
    EXPECT_EQ(defaults.packet, 4);
    EXPECT_EQ(defaults.baud, 230400);
    EXPECT_FALSE(defaults.fast);
}

TEST(SimOptions, RefusesBadValues) {
    const std::vector<std::vector<const char*>> bad = {
        {"--packet", "6"},
        {"--packet", "4x"},
        {"--model", "vyk20"},
        {"--baud", "0"},
        {"--group", "4"},
        {"--corrupt", "1.5"},
        {"--duration", "-1"},
        {"--duration", "nan"},
        {"--seed", "-1"},
        {"--link"},
        {"--bogus"},
        {"--link", "a", "--device", "b"},
        {"--drop-ack", ""},
        // A device is set to its rate, and it has only the listed ones.
        {"--device", "/dev/ttyUSB0", "--baud", "250000"},
    };
    for (const auto& args : bad) {
        SimOptions o;
        std::string error;
        EXPECT_FALSE(Parse(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

// Each model starts at the rate its program presets, unless --baud says otherwise.
TEST(SimOptions, BaudDefaultsToTheModelsRate) {
    const struct {
        std::vector<const char*> args;
        int baud;
    } cases[] = {
        {{}, 230400},
        {{"--model", "vyk10"}, 230400},
        {{"--model", "vyk05"}, 115200},
        {{"--model", "vyk05", "--baud", "230400"}, 230400},
        {{"--baud", "9600", "--model", "vyk05"}, 9600},
        {{"--baud", "250000"}, 250000},  // a pseudo-terminal paces any rate
        {{"--device", "/dev/ttyUSB0", "--model", "vyk05"}, 115200},
    };
    for (const auto& c : cases) {
        SimOptions o;
        std::string error;
        ASSERT_TRUE(Parse(c.args, o, error)) << error;
        EXPECT_EQ(o.baud, c.baud) << (c.args.empty() ? "" : c.args.back());
    }
}

// A hand-kept list of the names missed --tee: the help text could leave an option out unseen.
TEST(SimOptions, HelpNamesEveryOption) {
    const std::string help = HelpText();
    const std::vector<std::string> names = OptionNames();
    ASSERT_FALSE(names.empty());
    for (const std::string& name : names)
        EXPECT_NE(help.find(name + " "), std::string::npos) << name;
}

}  // namespace
