#include "StatusTexts.h"

#include <gtest/gtest.h>

using namespace scanwindow;

namespace {

TEST(StatusTexts, PointPanelSwitchesToKAbove50000) {
    const struct {
        int count;
        float rate;
        const char* text;
    } cases[] = {
        {0, 0.0f, "0,0.00K"},
        {50000, 1.5f, "50000,1.50K"},
        {50001, 1.5f, "48K,1.50K"},
        {1000000, 9.876f, "976K,9.88K"},
    };
    for (const auto& c : cases) EXPECT_EQ(PointStatusText(c.count, c.rate), c.text) << c.count;
}

TEST(StatusTexts, BytePanelSwitchesToKAbove50000AndToMAbove1200000) {
    const struct {
        int64_t total;
        float rate;
        const char* text;
    } cases[] = {
        {0, 0.0f, "0,0.00k/s"},
        {50000, 23.04f, "50000,23.04k/s"},
        {50001, 23.04f, "48K,23.04k/s"},
        {1200000, 0.0f, "1171K,0.00k/s"},
        {1200001, 92.16f, "1.14M,92.16k/s"},
        // Days of streaming pass 2^31 and 2^32 bytes.
        {2147483653LL, 1.0f, "2048.00M,1.00k/s"},
        {5000000000LL, 92.16f, "4768.37M,92.16k/s"},
    };
    for (const auto& c : cases) EXPECT_EQ(ByteStatusText(c.total, c.rate), c.text) << c.total;
}

TEST(StatusTexts, PortZoomAndFixedPanels) {
    EXPECT_EQ(PortStatusText(true, 7, 230400), "COM7:230400");
    EXPECT_EQ(PortStatusText(false, 7, 230400), "COM Closed");
    EXPECT_EQ(ZoomStatusText(-6), "-6,0");
    EXPECT_EQ(UnsetValueText(), "0.00");
}

TEST(StatusTexts, Readings) {
    EXPECT_EQ(ReferenceText(1234, 720), QString::fromUtf8("距离:1234cm 角度:45.00               "));
    const struct {
        int16_t angle;
        int32_t distance;
        const char* text;
    } cases[] = {
        {5759, 300, "距离:300cm 角度 359.94                   "},
        {5760, 20, "分度盘 0 角度 2.50                   "},
        {5766, 8, "分度盘 6 角度 1.00                   "},
        {5767, 8, "5767      "},
        {5768, 12, "0度 分度盘      "},
        {5769, 12, "5769      "},
    };
    for (const auto& c : cases) {
        ScanPoint p{};
        p.angle = c.angle;
        p.distance = c.distance;
        EXPECT_EQ(SampleText(p), QString::fromUtf8(c.text)) << c.angle;
    }
}

}  // namespace
