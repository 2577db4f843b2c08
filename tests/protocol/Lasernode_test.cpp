#include "Lasernode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Laserencode.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A slot filled with a pattern, so that fields a decode must leave alone are seen to stay.
ScanPoint Untouched() {
    ScanPoint p;
    p.laser = 0xAB;
    p.angle = -1234;
    p.distance = -5;
    p.aux1 = 111;
    p.aux2 = 222;
    p.aux3 = 333;
    return p;
}

bool SameFields(const ScanPoint& a, const ScanPoint& b) {
    return a.laser == b.laser && a.angle == b.angle && a.distance == b.distance &&
           a.aux1 == b.aux1 && a.aux2 == b.aux2 && a.aux3 == b.aux3;
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

template <typename Packet>
void Append(Bytes& stream, const Packet& packet) {
    stream.insert(stream.end(), packet.begin(), packet.end());
}

struct PacketCase {
    Bytes bytes;
    bool accepted;
    int distance;
    int angle;
    int laser;
};

bool Decode(ScanPoint& p, const Bytes& b, int32_t limit) {
    switch (b.size()) {
        case 3:
            return TLaserDecode::DecodePacket3(p, b.data(), static_cast<uint32_t>(limit));
        case 4:
            return TLaserDecode::DecodePacket4(p, b.data(), limit);
        default:
            return TLaserDecode::DecodePacket5(p, b.data(), static_cast<uint32_t>(limit));
    }
}

TEST(Packets, KnownPacketsDecode) {
    const PacketCase cases[] = {
        {{0x70, 0x01, 0x9F}, true, 159, 7, 0},
        {{0x62, 0x09, 0xD2}, true, 1234, 7, 1},
        {{0x30, 0x09, 0x00, 0x80}, true, 18, 0, 0},
        {{0x13, 0x74, 0x16, 0xC0}, true, 1000, 2880, 0},
        {{0x60, 0x0F, 0x50, 0x17, 0xB8}, true, 2000, 3000, 0},
    };
    for (const PacketCase& c : cases) {
        ScanPoint p = Untouched();
        ASSERT_TRUE(Decode(p, c.bytes, 6000)) << c.bytes.size() << "-byte packet";
        EXPECT_EQ(p.distance, c.distance);
        EXPECT_EQ(p.angle, c.angle);
        EXPECT_EQ(p.laser, c.laser);
        EXPECT_EQ(p.aux1, 111);
        EXPECT_EQ(p.aux2, 222);
        EXPECT_EQ(p.aux3, 333);
    }
}

TEST(Packets, CheckValueIsBitSumOfLaterBytes) {
    const Bytes p3{0x70, 0x01, 0x9F};
    const Bytes p4{0x13, 0x74, 0x16, 0xC0};
    EXPECT_EQ(TLaserDecode::PacketCheck(p3.data(), 3), 7);
    EXPECT_EQ(TLaserDecode::PacketCheck(p4.data(), 4), 1);
}

TEST(Packets, SingleBitFlipsAfterFirstByteAreRejected) {
    const Bytes packets[] = {
        {0x70, 0x01, 0x9F}, {0x13, 0x74, 0x16, 0xC0}, {0x60, 0x0F, 0x50, 0x17, 0xB8}};
    for (const Bytes& good : packets) {
        for (size_t byte = 1; byte < good.size(); ++byte) {
            for (int bit = 0; bit < 7; ++bit) {
                Bytes bad = good;
                bad[byte] ^= 1 << bit;
                ScanPoint p = Untouched();
                EXPECT_FALSE(Decode(p, bad, 6000)) << "byte " << byte << " bit " << bit;
            }
        }
    }
}

TEST(Packets, UncheckedBitsPassTheCheck) {
    // Two flips in opposite directions keep the bit sum; A3..A0 are not covered at all.
    ScanPoint p = Untouched();
    EXPECT_TRUE(Decode(p, {0x70, 0x03, 0x9E}, 6000));
    EXPECT_TRUE(Decode(p, {0x7F, 0x01, 0x9F}, 40000));
}

struct LimitCase {
    const char* what;
    Bytes bytes;
    int32_t limit;
    bool accepted;
};

TEST(Packets, DistanceLimit) {
    const auto p3 = [](int d) {
        auto a = laserencode::EncodePacket3(d);
        return Bytes(a.begin(), a.end());
    };
    const auto p4 = [](int d, int angle) {
        auto a = laserencode::EncodePacket4(d, angle);
        return Bytes(a.begin(), a.end());
    };
    const auto p5 = [](int d, int angle) {
        auto a = laserencode::EncodePacket5(d, angle);
        return Bytes(a.begin(), a.end());
    };
    const LimitCase cases[] = {
        {"4-byte at most 4095 under the default", p4(4095, 100), 6000, true},
        {"4-byte equal to the limit", p4(1000, 100), 1000, false},
        {"4-byte just below the limit", p4(999, 100), 1000, true},
        {"3-byte equal to the limit", p3(1000), 1000, true},
        {"3-byte above the limit", p3(1001), 1000, false},
        {"5-byte equal to the limit", p5(1000, 5), 1000, true},
        {"5-byte above the limit", p5(1001, 5), 1000, false},
        {"4-byte info packet beyond the limit", p4(3000, 5768), 1000, true},
        {"negative limit: 3-byte passes unsigned", p3(32767), -1, true},
        {"negative limit: 5-byte passes unsigned", p5(16383, 5), -1, true},
        {"negative limit: 4-byte measurement fails", p4(0, 100), -1, false},
        {"negative limit: 4-byte info passes", p4(0, 5760), -1, true},
    };
    for (const LimitCase& c : cases) {
        ScanPoint p = Untouched();
        EXPECT_EQ(Decode(p, c.bytes, c.limit), c.accepted) << c.what;
    }
}

TEST(Packets, RejectedFourBytePacketIsWrittenFirst) {
    const auto packet = laserencode::EncodePacket4(1000, 100);
    ScanPoint p = Untouched();
    EXPECT_FALSE(TLaserDecode::DecodePacket4(p, packet.data(), 1000));
    EXPECT_EQ(p.distance, 1000);
    EXPECT_EQ(p.angle, 100);
    EXPECT_EQ(p.laser, 0);
}

TEST(Packets, RejectedThreeAndFiveBytePacketsLeaveTheSlot) {
    const auto p3 = laserencode::EncodePacket3(1001);
    const auto p5 = laserencode::EncodePacket5(1001, 5);
    ScanPoint p = Untouched();
    EXPECT_FALSE(TLaserDecode::DecodePacket3(p, p3.data(), 1000));
    EXPECT_FALSE(TLaserDecode::DecodePacket5(p, p5.data(), 1000));
    EXPECT_TRUE(SameFields(p, Untouched()));
}

TEST(Packets, FiveByteAngleWrapsNegativeAndCarriesFlag) {
    const auto packet = laserencode::EncodePacket5(7, 0x8000 | 0x0400 | 3);
    ScanPoint p = Untouched();
    ASSERT_TRUE(TLaserDecode::DecodePacket5(p, packet.data(), 6000));
    EXPECT_EQ(p.angle, static_cast<int16_t>(0x8403));
    EXPECT_EQ(p.laser, 1);
}

TEST(Packets, FindPacketEnd) {
    const Bytes b{0x01, 0x02, 0x83, 0x04};
    EXPECT_EQ(TLaserDecode::FindPacketEnd(b.data(), 4), 2);
    EXPECT_EQ(TLaserDecode::FindPacketEnd(b.data(), 2), 2);
    EXPECT_EQ(TLaserDecode::FindPacketEnd(b.data(), 0), 0);
}

struct StatusCase {
    std::string line;
    bool accepted;
    int code, distance, aux1, aux2, aux3;
};

TEST(StatusLine, Table) {
    const StatusCase cases[] = {
        {"#CARTF4,12,0x1A,7,9\r", true, 244, 12, 26, 9, 7},
        {"#CARTFE,12,26,7,9\r", true, 254, 12, 9, 26, 7},
        {"#CARTE5,1 2 3\r", true, 229, 123, 0, 0, 0},
        {"#CARTF4,12,1A,3,4\r", true, 244, 12, 0, 4, 3},
        {"#CARTf4,12\r", false, 0, 0, 0, 0, 0},
        {"#CARTFa,12\r", false, 0, 0, 0, 0, 0},
        {"#CARTF4 12\r", false, 0, 0, 0, 0, 0},
        {"#CARTF4\r", false, 0, 0, 0, 0, 0},
        {"#CARTE9 junk,5,X1f,,8\r", true, 233, 5, 8, 31, 0},
        {"#CARTF0,7,0x,3,4\r", true, 240, 7, 4, 0, 3},
        {"#CARTF0,7,x10,3,4\r", true, 240, 7, 4, 16, 3},
        {"#CARTF4,1,0xFFFFFFFF,2,3\r", true, 244, 1, -1, 3, 2},
        {"#CARTF4,1,0x123456789,2,3\r", true, 244, 1, 0x12345678, 3, 2},
        {"#CARTF4,1,9999999999,2,3\r", true, 244, 1, 0, 3, 2},
        {"#CARTF4,1,2147483647,2,3\r", true, 244, 1, 2147483647, 3, 2},
        {"#CARTF4,1,-5,2,3\r", true, 244, 1, 0, 3, 2},
        {"#XARTF4,12,1,2,3\r", false, 0, 0, 0, 0, 0},
        {"#CARTG4,12,1,2,3\r", false, 0, 0, 0, 0, 0},
    };
    for (const StatusCase& c : cases) {
        ScanPoint p = Untouched();
        const Bytes line = Text(c.line);
        ASSERT_EQ(TLaserDecode::DecodeStatusLine(p, line.data(), static_cast<int>(line.size())),
                  c.accepted)
            << c.line;
        if (!c.accepted) {
            EXPECT_TRUE(SameFields(p, Untouched())) << c.line;
            continue;
        }
        EXPECT_EQ(p.angle, c.code) << c.line;
        EXPECT_EQ(p.distance, c.distance) << c.line;
        EXPECT_EQ(p.aux1, c.aux1) << c.line;
        EXPECT_EQ(p.aux2, c.aux2) << c.line;
        EXPECT_EQ(p.aux3, c.aux3) << c.line;
        EXPECT_EQ(p.laser, 0xAB) << "a status line never writes laser";
    }
}

TEST(StatusLine, ReadsStopAtTheLineEnd) {
    // The numbers continue in the buffer past the given length; none of them may be read.
    const Bytes buffer = Text("#CARTF4,12,34,56,78");
    ScanPoint p = Untouched();
    ASSERT_TRUE(TLaserDecode::DecodeStatusLine(p, buffer.data(), 12));
    EXPECT_EQ(p.distance, 12);
    EXPECT_EQ(p.aux1, 3);
    EXPECT_EQ(p.aux2, 0);
    EXPECT_EQ(p.aux3, 0);
}

class DecodeStreamTest : public ::testing::Test {
protected:
    int Decode(const Bytes& bytes, int capacity = 64, int32_t limit = 6000) {
        points.assign(capacity + 1, Untouched());
        return decoder.DecodeStream(points.data(), capacity, bytes.data(),
                                    static_cast<int>(bytes.size()), limit);
    }

    TLaserDecode decoder;
    std::vector<ScanPoint> points;
};

TEST_F(DecodeStreamTest, ShortBuffersYieldNothing) {
    EXPECT_EQ(Decode({}), 0);
    EXPECT_EQ(Decode({0x70}), 0);
    EXPECT_EQ(Decode({0x70, 0x01}), 0);
}

TEST_F(DecodeStreamTest, ThreeThenFourBytePacket) {
    ASSERT_EQ(Decode({0x70, 0x01, 0x9F, 0x30, 0x09, 0x00, 0x80}), 2);
    EXPECT_EQ(points[0].distance, 159);
    EXPECT_EQ(points[0].angle, 7);
    EXPECT_EQ(points[1].distance, 18);
    EXPECT_EQ(points[1].angle, 0);
}

TEST_F(DecodeStreamTest, Resynchronisation) {
    const Bytes good{0x13, 0x74, 0x16, 0xC0};
    Bytes endMarks{0x9F, 0x80};
    endMarks.insert(endMarks.end(), good.begin(), good.end());
    ASSERT_EQ(Decode(endMarks), 1);
    EXPECT_EQ(points[0].angle, 2880);

    Bytes twoByteGroup{0x05, 0x9F};
    twoByteGroup.insert(twoByteGroup.end(), good.begin(), good.end());
    ASSERT_EQ(Decode(twoByteGroup), 1);
    EXPECT_EQ(points[0].distance, 1000);
}

TEST_F(DecodeStreamTest, StatusLineFollowedByThreeBytePackets) {
    Bytes stream = Text("#CARTF4,12,0x1A,7,9\r\n");
    for (int d = 100; d < 105; ++d) Append(stream, laserencode::EncodePacket3(d));
    ASSERT_EQ(Decode(stream), 6);
    EXPECT_EQ(points[0].angle, 244);
    EXPECT_EQ(points[0].aux1, 26);
    for (int i = 1; i < 6; ++i) EXPECT_EQ(points[i].distance, 99 + i);
}

TEST_F(DecodeStreamTest, StatusLineFollowedByFourBytePacketsLosesOnlyTheFirst) {
    Bytes stream = Text("#CARTF4,12,0x1A,7,9\r\n");
    for (int i = 0; i < 5; ++i) Append(stream, laserencode::EncodePacket4(200 + i, 10 * i));
    const int n = Decode(stream);
    ASSERT_GE(n, 5);
    ASSERT_LE(n, 6);
    EXPECT_EQ(points[0].angle, 244);
    // Whatever the first packet turned into, the last four come through in step.
    for (int i = 1; i < 5; ++i) {
        EXPECT_EQ(points[n - 5 + i].distance, 200 + i);
        EXPECT_EQ(points[n - 5 + i].angle, 10 * i);
    }
}

TEST_F(DecodeStreamTest, ShortTextWithoutEndMarkYieldsNothing) {
    EXPECT_EQ(Decode(Text("#CARTF4,1\r")), 0);
}

TEST_F(DecodeStreamTest, CapacityIsNeverExceeded) {
    Bytes stream;
    for (int i = 0; i < 5; ++i) Append(stream, laserencode::EncodePacket4(100 + i, i));
    ASSERT_EQ(Decode(stream, 1), 1);
    EXPECT_EQ(points[0].distance, 100);
    EXPECT_EQ(points[1].distance, Untouched().distance);

    Bytes lines;
    for (int i = 0; i < 4; ++i) {
        const Bytes line = Text("#CARTF1,5,6,7,8\r\n");
        lines.insert(lines.end(), line.begin(), line.end());
    }
    ASSERT_EQ(Decode(lines, 2), 2);
    EXPECT_EQ(points[2].distance, Untouched().distance);
}

TEST_F(DecodeStreamTest, TrailingBytesWithoutEndMarkAreNotAPacket) {
    Bytes stream;
    Append(stream, laserencode::EncodePacket4(300, 1));
    const auto tail = laserencode::EncodePacket4(301, 2);
    stream.insert(stream.end(), tail.begin(), tail.end() - 1);
    ASSERT_EQ(Decode(stream), 1);
}

TEST_F(DecodeStreamTest, TextSegments) {
    struct Case {
        const char* what;
        std::string text;
        int records;
    };
    const Case cases[] = {
        {"two lines split by the next '#'", "#CARTF1,5,6,7,8#CARTF2,9,1,2,3", 2},
        {"a line of eight bytes is skipped", "#CARTF1,#CARTF2,9,1,2,3\n", 1},
        {"LF ends a line", "#CARTF1,5\nxx#CARTE0,3\n", 2},
        {"garbage before the first '#'", "garbage garbage #CARTF1,5,6\r", 1},
        {"no '#' at all", "no hash mark here at all", 0},
    };
    for (const Case& c : cases) {
        Bytes stream = Text(c.text);
        Append(stream, laserencode::EncodePacket3(10));
        EXPECT_EQ(Decode(stream), c.records + 1) << c.what;
    }
}

TEST_F(DecodeStreamTest, ProgressReportsStepChangesOnly) {
    Bytes stream;
    while (stream.size() < (1u << 20)) Append(stream, laserencode::EncodePacket4(500, 10));
    std::vector<std::pair<int, int>> reports;
    decoder.SetProgressReport([&](const char* label, int step, int steps) {
        EXPECT_STREQ(label, TLaserDecode::kProgressLabel);
        reports.emplace_back(step, steps);
    });
    EXPECT_EQ(Decode(stream, 1 << 18), 1 << 18);
    const std::vector<std::pair<int, int>> expected{{1, 4}, {2, 4}, {3, 4}};
    EXPECT_EQ(reports, expected);
}

TEST_F(DecodeStreamTest, ChunksOfASerialReadNeverReport) {
    Bytes stream;
    while (stream.size() < 10000) Append(stream, laserencode::EncodePacket4(500, 10));
    int reports = 0;
    decoder.SetProgressReport([&](const char*, int, int) { ++reports; });
    Decode(stream, 5000);
    EXPECT_EQ(reports, 0);
}

}  // namespace
