#include "Lasernode.h"

#include <gtest/gtest.h>

TEST(PacketCheck, Placeholder) {
    const uint8_t packet[] = {0x70, 0x01, 0x9F};
    EXPECT_EQ(TLaserDecode::PacketCheck(packet, 3), 7);
}
