#pragma once

// The PC's side of the boot loader's language: the image's check value, the file information
// reply and where a boot loader message stands in received bytes.

#include <array>
#include <cstdint>

#include "ScannerInterface.h"

namespace scanner {

// CRC-32/MPEG-2 (polynomial 0x04C11DB7, not reflected, start 0xFFFFFFFF, no final XOR).
uint32_t Crc32Mpeg2(const uint8_t* bytes, uint32_t size);

// The CRC-32/MPEG-2 of the image read as little-endian words and taken high byte first. A last
// partial word is completed with the 0xFF filler before it is reversed; only size bytes count.
uint32_t FirmwareCrc(const uint8_t* image, uint32_t size);

using FileInfo = std::array<uint8_t, kFileInfoReplySize>;

// 0xAA "UBOOT", then size and crc little-endian.
FileInfo FileInfoReply(uint32_t size, uint32_t crc);

// The position of the first "#BOOT" x y CR LF in bytes, or -1. The letters are not looked at.
int FindBootMessage(const uint8_t* bytes, int count);

}  // namespace scanner
