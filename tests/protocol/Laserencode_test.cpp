#include "Laserencode.h"

#include <gtest/gtest.h>

#include "Lasernode.h"

namespace {

// The encoder must produce exactly the packets the decoder reads back, over each field's range.
TEST(Laserencode, RoundTripsEveryPacketKind) {
    for (int d = 0; d < 32768; d += 97) {
        for (int laser = 0; laser < 8; ++laser) {
            ScanPoint p{};
            const auto packet = laserencode::EncodePacket3(d, laser);
            ASSERT_TRUE(TLaserDecode::DecodePacket3(p, packet.data(), 40000));
            EXPECT_EQ(p.distance, d);
            EXPECT_EQ(p.laser, laser);
            EXPECT_EQ(TLaserDecode::FindPacketEnd(packet.data(), 3), 2);
        }
    }
    for (int d = 0; d < 4096; d += 13) {
        for (int angle = 0; angle < 8192; angle += 61) {
            ScanPoint p{};
            const auto packet = laserencode::EncodePacket4(d, angle);
            ASSERT_TRUE(TLaserDecode::DecodePacket4(p, packet.data(), 6000));
            EXPECT_EQ(p.distance, d);
            EXPECT_EQ(p.angle, angle);
            EXPECT_EQ(TLaserDecode::FindPacketEnd(packet.data(), 4), 3);
        }
    }
    for (int d = 0; d < 16384; d += 211) {
        for (int angle = 0; angle < 65536; angle += 509) {
            ScanPoint p{};
            const auto packet = laserencode::EncodePacket5(d, angle);
            ASSERT_TRUE(TLaserDecode::DecodePacket5(p, packet.data(), 40000));
            EXPECT_EQ(p.distance, d);
            EXPECT_EQ(static_cast<uint16_t>(p.angle), angle);
            EXPECT_EQ(TLaserDecode::FindPacketEnd(packet.data(), 5), 4);
        }
    }
}

}  // namespace
