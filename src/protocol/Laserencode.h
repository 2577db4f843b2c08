#pragma once

// Builds the scanner's packets: the simulator speaks with it and tests make their streams with it.

#include <array>
#include <cstdint>

namespace laserencode {

using Packet3 = std::array<uint8_t, 3>;
using Packet4 = std::array<uint8_t, 4>;
using Packet5 = std::array<uint8_t, 5>;

// distance 0..32767 cm, laser 0..7.
Packet3 EncodePacket3(int distance, int laser = 0);
// distance 0..4095 cm, angle 0..8191 (1/16 degree or an info code).
Packet4 EncodePacket4(int distance, int angle);
// distance 0..16383 cm, angle 0..65535 (bit 10 doubles as the flag bit).
Packet5 EncodePacket5(int distance, int angle);

}  // namespace laserencode
