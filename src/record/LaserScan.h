#pragma once

// One revolution as a ROS 2 sensor_msgs/msg/LaserScan in CDR, by the ROS conventions: x forward
// along the scanner's 0 degree bearing, angles counter-clockwise, so the ROS angle is minus the
// bearing; the bins run from -pi, each holding the nearest return in metres or +Inf.

#include <cstdint>
#include <string>
#include <vector>

namespace record {

constexpr int kDefaultScanBins = 720;
constexpr char kLaserScanType[] = "sensor_msgs/msg/LaserScan";

// The message definition as ROS 2 bags store it, with the types it uses appended.
const std::string& LaserScanDefinition();

// The bin of a bearing in 1/16 degree (0..5759) among bins, found in integers so that no
// rounding decides it.
int ScanBin(int angle, int bins);

class LaserScanMessage {
public:
    // bins 1..5760; the distance limit in cm becomes range_max.
    LaserScanMessage(int bins, int32_t distanceLimit, std::string frameId);

    // Starts an empty revolution: every bin without a return.
    void Clear();
    // A measurement: bearing in 1/16 degree, distance in cm (0 is no return).
    void Add(int angle, int32_t distance);
    // The CDR bytes of the revolution, stamped in nanoseconds since the epoch.
    const std::vector<uint8_t>& Encode(uint64_t stamp, double scanTime);

private:
    const int bins_;
    const float rangeMax_;
    const std::string frameId_;
    std::vector<int32_t> nearest_;  // cm; -1 when the bin has no return
    std::vector<uint8_t> bytes_;
};

}  // namespace record
