// The simulator carries what the real line would: baud / 10 bytes per second. This is a
// property of its pacing, checked as a ratio, not a speed target of our code.

#include <gtest/gtest.h>

#include <chrono>

#include "SimProcess.h"

namespace {

TEST(SimPacing, ByteRateStaysWithinTwoPercentOverTenSeconds) {
    SimProcess sim({"--baud", "230400", "--duration", "30"});
    ASSERT_TRUE(sim.Connect());
    sim.ReadFor(1.0);  // past the start and what the line held before
    const auto start = std::chrono::steady_clock::now();
    const size_t bytes = sim.ReadFor(10.0).size();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double ratio = bytes / seconds / 23040.0;
    RecordProperty("ratio", std::to_string(ratio));
    std::printf("measured %.1f bytes/s over %.2f s: %.4f of 23040\n", bytes / seconds, seconds,
                ratio);
    EXPECT_NEAR(ratio, 1.0, 0.02);
}

}  // namespace
