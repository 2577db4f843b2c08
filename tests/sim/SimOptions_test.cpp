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
        Parse({"--link",         "/tmp/x", "--model",    "vyk05",      "--packet",      "5",
               "--baud=115200",  "--fast", "--duration", "2.5",        "--state",       "s",
               "--group",        "3",      "--boot",     "fw",         "--corrupt",     "0.01",
               "--garbage",      "0.5",    "--drop-ack", "4",          "--stall-after", "1",
               "--hangup-after", "9",      "--seed",     "4294967295", "--log",         "l"},
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
        {"--packet", "6"},    {"--packet", "4x"},    {"--model", "vyk20"},
        {"--baud", "0"},      {"--group", "4"},      {"--corrupt", "1.5"},
        {"--duration", "-1"}, {"--duration", "nan"}, {"--seed", "-1"},
        {"--link"},           {"--bogus"},           {"--link", "a", "--device", "b"},
        {"--drop-ack", ""},
    };
    for (const auto& args : bad) {
        SimOptions o;
        std::string error;
        EXPECT_FALSE(Parse(args, o, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

TEST(SimOptions, HelpNamesEveryOption) {
    const std::string help = HelpText();
    for (const char* name :
         {"--link", "--device", "--model", "--packet", "--baud", "--fast", "--duration", "--state",
          "--group", "--boot", "--corrupt", "--garbage", "--drop-ack", "--stall-after",
          "--hangup-after", "--seed", "--log", "--help"}) {
        EXPECT_NE(help.find(name), std::string::npos) << name;
    }
}

}  // namespace
