#include "LaserScanMcap.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <limits>

#include "McapReader.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kInf = std::numeric_limits<double>::infinity();

// The reader gives float32 values widened to double; so is what we expect of them.
double F(double value) {
    return static_cast<float>(value);
}

std::vector<double> Ranges(const QJsonValue& scan) {
    std::vector<double> ranges;
    for (const QJsonValue& r : scan["ranges"].toArray()) ranges.push_back(JsonNumber(r));
    return ranges;
}

TEST(LaserScanMcapTest, EachCompleteRevolutionIsOneScanInRosConventions) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("scan.mcap").toStdString();
    record::LaserScanMcapOptions options;
    options.bins = 8;
    options.distanceLimit = 4000;
    options.frameId = "base_scan";
    options.start = 1'700'000'000'250'000'000;
    options.baud = 115200;  // 11520 bytes a second
    record::LaserScanMcap mcap;
    ASSERT_TRUE(mcap.Open(path, options)) << mcap.Error();
    mcap.Sample(0, 100);  // before the first marker: no revolution
    ASSERT_TRUE(mcap.Marker(1000));
    mcap.Sample(0, 500);
    mcap.Sample(0, 300);     // the nearest return of a bin wins
    mcap.Sample(1440, 0);    // no return
    mcap.Sample(4320, 250);  // to the left: +pi / 2
    mcap.Sample(5760, 100);  // an info code is no bearing
    mcap.Sample(-5, 100);
    ASSERT_TRUE(mcap.Marker(1000 + 11520));
    mcap.Sample(2880, 1234);  // behind: the first bin
    ASSERT_TRUE(mcap.Marker(1000 + 11520 + 5760));
    mcap.Sample(0, 77);  // after the last marker: left out
    ASSERT_TRUE(mcap.Close()) << mcap.Error();
    EXPECT_EQ(mcap.Revolutions(), 2u);

    const QJsonObject file = ReadMcap(path);
    ASSERT_FALSE(file.isEmpty());
    EXPECT_EQ(file["header"]["profile"].toString(), "ros2");
    const QJsonObject schema = file["schemas"][0].toObject();
    EXPECT_EQ(schema["name"].toString(), "sensor_msgs/msg/LaserScan");
    EXPECT_EQ(schema["encoding"].toString(), "ros2msg");
    EXPECT_EQ(schema["data"].toString().toStdString(), record::LaserScanDefinition());
    const QJsonObject channel = file["channels"][0].toObject();
    EXPECT_EQ(channel["topic"].toString(), "/scan");
    EXPECT_EQ(channel["messageEncoding"].toString(), "cdr");

    const QJsonArray messages = file["messages"].toArray();
    ASSERT_EQ(messages.size(), 2);
    const struct {
        uint64_t stamp;
        double scanTime;
        std::vector<double> ranges;
    } expected[] = {
        // 1000 bytes at 11520 a second after the start
        {1'700'000'000'336'805'555, 1.0, {kInf, kInf, kInf, kInf, F(3.0), kInf, F(2.5), kInf}},
        {1'700'000'001'336'805'555, 0.5, {F(12.34), kInf, kInf, kInf, kInf, kInf, kInf, kInf}},
    };
    for (int i = 0; i < 2; ++i) {
        const QJsonObject m = messages[i].toObject();
        const QJsonObject scan = m["scan"].toObject();
        const auto& e = expected[i];
        EXPECT_EQ(m["sequence"].toInt(), i);
        EXPECT_EQ(JsonUint64(m["logTime"]), e.stamp);
        EXPECT_EQ(JsonUint64(m["publishTime"]), e.stamp);
        EXPECT_EQ(JsonStamp(scan), e.stamp);
        EXPECT_EQ(scan["header"]["frame_id"].toString(), "base_scan");
        EXPECT_EQ(JsonNumber(scan["angle_min"]), F(-kPi));
        EXPECT_EQ(JsonNumber(scan["angle_increment"]), F(2 * kPi / 8));
        EXPECT_EQ(JsonNumber(scan["angle_max"]), F(-kPi + 7 * 2 * kPi / 8));
        EXPECT_EQ(JsonNumber(scan["scan_time"]), F(e.scanTime));
        EXPECT_EQ(JsonNumber(scan["time_increment"]), F(e.scanTime / 8));
        EXPECT_EQ(JsonNumber(scan["range_min"]), F(0.01));
        EXPECT_EQ(JsonNumber(scan["range_max"]), F(40.0));
        EXPECT_EQ(Ranges(scan), e.ranges) << i;
        EXPECT_TRUE(scan["intensities"].toArray().isEmpty());
    }
}

// Far into a long recording the stamp still comes from whole numbers, not from a rounded rate.
TEST(LaserScanMcapTest, StampsAreExactAtAnyPosition) {
    EXPECT_EQ(record::LaserScanMcap::StampOf(0, 23040, 230400), 1'000'000'000u);
    EXPECT_EQ(record::LaserScanMcap::StampOf(5, 1, 3), 3'333'333'338u);
    EXPECT_EQ(record::LaserScanMcap::StampOf(0, 480'000'000'000, 230400), 20'833'333'333'333'333u);
}

}  // namespace
