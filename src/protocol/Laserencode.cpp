#include "Laserencode.h"

#include "Lasernode.h"

namespace laserencode {
namespace {

constexpr uint8_t kEndMark = 0x80;

// Writes the check value into A6..A4 once the other bytes are final.
template <size_t N>
std::array<uint8_t, N> WithCheck(std::array<uint8_t, N> packet) {
    packet[0] = static_cast<uint8_t>((packet[0] & 0x0F) |
                                     (TLaserDecode::PacketCheck(packet.data(), N) << 4));
    return packet;
}

}  // namespace

Packet3 EncodePacket3(int distance, int laser) {
    return WithCheck(Packet3{static_cast<uint8_t>(((laser & 7) << 1) | ((distance >> 14) & 1)),
                             static_cast<uint8_t>((distance >> 7) & 127),
                             static_cast<uint8_t>(kEndMark | (distance & 127))});
}

Packet4 EncodePacket4(int distance, int angle) {
    return WithCheck(Packet4{static_cast<uint8_t>((distance >> 8) & 15),
                             static_cast<uint8_t>((distance >> 1) & 127),
                             static_cast<uint8_t>(((distance & 1) << 6) | ((angle >> 7) & 63)),
                             static_cast<uint8_t>(kEndMark | (angle & 127))});
}

Packet5 EncodePacket5(int distance, int angle) {
    return WithCheck(Packet5{
        static_cast<uint8_t>((angle >> 14) & 3), static_cast<uint8_t>((distance >> 7) & 127),
        static_cast<uint8_t>(distance & 127), static_cast<uint8_t>((angle >> 7) & 127),
        static_cast<uint8_t>(kEndMark | (angle & 127))});
}

}  // namespace laserencode
