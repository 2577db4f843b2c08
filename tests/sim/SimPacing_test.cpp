// The simulator carries about what the real line would, baud / 10 bytes per second: neither
// as fast as the reader takes the bytes nor stalled. bench/sim measures the figure.

#include <gtest/gtest.h>

#include <chrono>

#include "SimProcess.h"

namespace {

TEST(SimPacing, TheByteRateFollowsTheBaudRate) {
    for (const int baud : {115200, 460800}) {
        SimProcess sim({"--baud", std::to_string(baud), "--duration", "30"});
        ASSERT_TRUE(sim.Connect());
        sim.ReadFor(0.5);  // past the start and what the line held before
        const auto start = std::chrono::steady_clock::now();
        const size_t bytes = sim.ReadFor(2.0).size();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double ratio = bytes / seconds / (baud / 10.0);
        EXPECT_GT(ratio, 0.7) << baud;
        EXPECT_LT(ratio, 1.3) << baud;
    }
}

}  // namespace
