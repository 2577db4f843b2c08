// vyk-sim's line faults read back by vyk-decode --stats-only from the simulator's copy of what
// it sent: each counter moves by what the simulator says it did.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "DecodeCli.h"
#include "SpawnedProgram.h"

namespace {

struct SimRun {
    std::map<std::string, long long> stats;         // vyk-decode's figures
    long long leftOut = 0, stray = 0, flipped = 0;  // the simulator's report
};

// The simulator unpaced for a second, read on its pseudo-terminal, then stopped.
SimRun Simulate(const std::vector<std::string>& faults) {
    char folder[] = "/tmp/vyk-linkstats-XXXXXX";
    EXPECT_NE(mkdtemp(folder), nullptr);
    const std::string tee = std::string(folder) + "/sent.bin";
    std::vector<std::string> argv = {VYK_SIM_PATH, "--fast", "--seed", "3", "--tee", tee};
    argv.insert(argv.end(), faults.begin(), faults.end());
    SimRun run;
    {
        SpawnedProgram sim(argv, true);
        const std::string device = sim.ReadLine();
        const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(fd, 0) << device;
        termios tio{};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        char buffer[65536];
        while (std::chrono::steady_clock::now() < end) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 50) > 0 && read(fd, buffer, sizeof buffer) < 0)
                break;
        }
        sim.Terminate();
        const std::string report = sim.ReadAll(10);
        close(fd);
        EXPECT_EQ(sim.WaitExit(10), 0);
        std::sscanf(report.c_str(),
                    "vyk-sim: left out %lld revolutions, added %lld stray bytes, flipped %lld bits",
                    &run.leftOut, &run.stray, &run.flipped);
    }
    std::ostringstream out, err;
    EXPECT_EQ(decodecli::Run({"--stats-only", tee}, out, err), 0);
    EXPECT_EQ(out.str(), "");
    std::istringstream lines(err.str());
    for (std::string line; std::getline(lines, line);) {
        const auto colon = line.find(": ");
        run.stats[line.substr(0, colon)] = std::stoll(line.substr(colon + 2));
    }
    std::remove(tee.c_str());
    rmdir(folder);
    return run;
}

TEST(LinkStats, ACleanLineLosesNothing) {
    const SimRun r = Simulate({});
    EXPECT_GT(r.stats.at("revolutions"), 20);
    EXPECT_GT(r.stats.at("records"), 20 * 500);
    EXPECT_GE(r.stats.at("status lines"), 1);
    EXPECT_GE(r.stats.at("text lines"), r.stats.at("status lines"));
    EXPECT_EQ(r.stats.at("missing revolutions"), 0);
    EXPECT_EQ(r.stats.at("skipped bytes"), 0);
    EXPECT_EQ(r.stats.at("refused packets"), 0);
}

TEST(LinkStats, RevolutionsLeftOutAreCountedByTheMarkersCounter) {
    const SimRun r = Simulate({"--drop-turns", "4"});
    const long long seen = r.stats.at("revolutions");
    ASSERT_GT(seen, 20);
    // Of every four revolutions the fourth is left out: the markers' gaps say how many.
    EXPECT_EQ(r.stats.at("missing revolutions"), (seen - 1) / 3);
    // The simulator's count may hold one more whose follower it queued but did not send.
    EXPECT_GE(r.leftOut, r.stats.at("missing revolutions"));
    EXPECT_LE(r.leftOut, r.stats.at("missing revolutions") + 1);
    EXPECT_EQ(r.stats.at("skipped bytes"), 0);
    EXPECT_EQ(r.stats.at("refused packets"), 0);
}

// A stray byte ends up skipped (an end mark alone, a two-byte group) or in a refused packet (it
// lengthens or splits one); a flipped bit fails the check of the packet it falls in, unless it
// is one of the few bits the check does not cover or falls in text.
TEST(LinkStats, StrayBytesAndFlippedBitsShowAsSkippedBytesAndRefusedPackets) {
    const SimRun garbage = Simulate({"--garbage", "0.001"});
    ASSERT_GT(garbage.stray, 100);
    const long long damage =
        garbage.stats.at("skipped bytes") + garbage.stats.at("refused packets");
    EXPECT_GE(damage, garbage.stray / 2);
    EXPECT_LE(damage, garbage.stray * 3);

    const SimRun corrupt = Simulate({"--corrupt", "0.001"});
    ASSERT_GT(corrupt.flipped, 100);
    EXPECT_GE(corrupt.stats.at("refused packets"), corrupt.flipped / 2);
    EXPECT_LE(corrupt.stats.at("refused packets"), corrupt.flipped * 2);
}

}  // namespace
