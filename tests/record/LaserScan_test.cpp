#include "LaserScan.h"

#include <gtest/gtest.h>

namespace {

// ROS angles grow counter-clockwise from x forward, bearings clockwise from the same 0 degrees;
// bin k starts at -pi + k * 2 pi / bins.
TEST(ScanBinTest, ABearingLandsInTheBinOfMinusItself) {
    const struct {
        int angle, bins, bin;
    } cases[] = {
        {0, 720, 360},     // straight ahead: ROS angle 0
        {1440, 720, 180},  // 90 degrees clockwise, to the right: -pi / 2
        {4320, 720, 540},  // to the left: +pi / 2
        {2880, 720, 0},    // behind: -pi, the first bin
        {8, 720, 359},     // half a degree clockwise: just below 0
        {7, 720, 359},
        {5752, 720, 361},  // half a degree counter-clockwise: just above 0
        {5759, 720, 360},  // 1/16 degree counter-clockwise still shares the bin of 0
        {2881, 720, 719},  // just past behind, clockwise: the last bin
        {2879, 720, 0},
        // Bins that do not divide the turn: the edges are found without rounding.
        {0, 7, 3},     // 2880 * 7 / 5760 = 3.5
        {2057, 7, 1},  // 823 * 7 = 5761, just past the edge of bin 1
        {2058, 7, 0},  // 822 * 7 = 5754, just short of it
        {1234, 5760, 1646},
        {1234, 1, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(record::ScanBin(c.angle, c.bins), c.bin) << c.angle << " of " << c.bins;
}

TEST(LaserScanDefinitionTest, CarriesTheTypesItUsesAsRos2BagsStoreThem) {
    const std::string& text = record::LaserScanDefinition();
    const std::string separator(80, '=');
    EXPECT_EQ(text.find("std_msgs/Header header\n"), 0u);
    EXPECT_NE(text.find("float32[] ranges\n"), std::string::npos);
    EXPECT_NE(text.find(separator + "\nMSG: std_msgs/Header\nbuiltin_interfaces/Time stamp\n"),
              std::string::npos);
    EXPECT_NE(text.find(separator + "\nMSG: builtin_interfaces/Time\nint32 sec\nuint32 nanosec\n"),
              std::string::npos);
}

}  // namespace
