#include "BootProtocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Bit by bit, to check the table-driven form against the definition.
uint32_t BitwiseCrc(const std::vector<uint8_t>& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t byte : bytes) {
        crc ^= static_cast<uint32_t>(byte) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x80000000u ? crc << 1 ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

uint32_t Firmware(const std::vector<uint8_t>& image) {
    return scanner::FirmwareCrc(image.data(), static_cast<uint32_t>(image.size()));
}

TEST(BootProtocol, Crc32Mpeg2CheckValue) {
    const std::string check = "123456789";
    EXPECT_EQ(scanner::Crc32Mpeg2(reinterpret_cast<const uint8_t*>(check.data()), 9), 0x0376E6E7u);
    std::vector<uint8_t> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31 + 7);
    EXPECT_EQ(scanner::Crc32Mpeg2(bytes.data(), 1000), BitwiseCrc(bytes));
}

TEST(BootProtocol, FirmwareCrcReversesWordsAndFillsTheLastWithFF) {
    struct Case {
        std::vector<uint8_t> image;
        std::vector<uint8_t> crcOver;
    };
    const Case cases[] = {
        {{}, {}},
        {{1, 2, 3, 4}, {4, 3, 2, 1}},
        {{1, 2, 3, 4, 5, 6, 7, 8}, {4, 3, 2, 1, 8, 7, 6, 5}},
        // 4k+1, 4k+2, 4k+3 bytes: the last group is completed with 0xFF before it is reversed.
        {{1, 2, 3, 4, 5}, {4, 3, 2, 1, 0xFF}},
        {{1, 2, 3, 4, 5, 6}, {4, 3, 2, 1, 0xFF, 0xFF}},
        {{1, 2, 3, 4, 5, 6, 7}, {4, 3, 2, 1, 0xFF, 7, 6}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Firmware(c.image), BitwiseCrc(c.crcOver)) << c.image.size() << " bytes";
    EXPECT_EQ(Firmware({1, 2, 3, 4}), 497805135u);
}

TEST(BootProtocol, FileInfoReplyIsLittleEndian) {
    const scanner::FileInfo reply = scanner::FileInfoReply(0x00010000, 0x1DABE74F);
    const scanner::FileInfo expected = {0xAA, 'U',  'B',  'O',  'O',  'T',  0x00,
                                        0x00, 0x01, 0x00, 0x4F, 0xE7, 0xAB, 0x1D};
    EXPECT_EQ(reply, expected);
}

TEST(BootProtocol, FindBootMessage) {
    const struct {
        std::string bytes;
        int at;
    } cases[] = {
        {"#BOOTIN\r\n", 0},
        {"xx#BOOTIN\r\n", 2},
        {"#BOOTIN\r", -1},
        {"#BOOTIN\n\r", -1},
        {"#BOOXIN\r\n#BOOTST\r\n", 9},
        {"#BOOTXY\r\n#BOOTIN\r\n", 0},  // the letters are the caller's business
        {"", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(scanner::FindBootMessage(reinterpret_cast<const uint8_t*>(c.bytes.data()),
                                           static_cast<int>(c.bytes.size())),
                  c.at)
            << c.bytes;
    }
}

}  // namespace
