#include "BootProtocol.h"

#include <cstring>

namespace scanner {
namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i << 24;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        }
        table[i] = crc;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

uint32_t Step(uint32_t crc, uint8_t byte) {
    return kCrcTable[(crc >> 24) ^ byte] ^ (crc << 8);
}

}  // namespace

uint32_t Crc32Mpeg2(const uint8_t* bytes, uint32_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (uint32_t i = 0; i < size; ++i) crc = Step(crc, bytes[i]);
    return crc;
}

uint32_t FirmwareCrc(const uint8_t* image, uint32_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (uint32_t i = 0; i < size; ++i) {
        const uint32_t source = (i & ~3u) + 3 - (i & 3);
        crc = Step(crc, source < size ? image[source] : 0xFF);
    }
    return crc;
}

FileInfo FileInfoReply(uint32_t size, uint32_t crc) {
    FileInfo reply{};
    reply[0] = kFileInfoHead;
    std::memcpy(&reply[1], kFileInfoTag, 5);
    for (int i = 0; i < 4; ++i) {
        reply[6 + i] = static_cast<uint8_t>(size >> (8 * i));
        reply[10 + i] = static_cast<uint8_t>(crc >> (8 * i));
    }
    return reply;
}

int FindBootMessage(const uint8_t* bytes, int count) {
    for (int at = 0; at + kBootMessageSize <= count; ++at) {
        if (std::memcmp(bytes + at, kBootPrefix, 5) == 0 && bytes[at + 7] == '\r' &&
            bytes[at + 8] == '\n') {
            return at;
        }
    }
    return -1;
}

}  // namespace scanner
