#pragma once

// Damaged scanner streams and what one DecodeStream call makes of them, for the tests of the
// decoders that take a stream in pieces.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

#include "Laserencode.h"
#include "Lasernode.h"

namespace hostile {

using Bytes = std::vector<uint8_t>;

inline void Add(Bytes& bytes, const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
}

template <size_t N>
void Add(Bytes& bytes, const std::array<uint8_t, N>& packet) {
    bytes.insert(bytes.end(), packet.begin(), packet.end());
}

// ASCII without end marks, mostly the characters status lines are made of.
inline std::string Text(size_t length, std::mt19937& random, bool withHash) {
    static const std::string kAlphabet = "0123456789 ,xX#CARTFE\r\nabz";
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        char c = kAlphabet[random() % kAlphabet.size()];
        if (c == '#' && !withHash)
            c = '.';
        text.push_back(c);
    }
    return text;
}

// Packets of every kind, bad checks, noise, status lines whole and broken, and long stretches
// without any end mark.
inline Bytes Stream(size_t size, std::mt19937& random) {
    static const std::string kLines[] = {
        "#CARTF4,12,0x1A,7,9\r\n", "#CARTFE,12,26,7,9\n", "#CARTE5,1 2 3",
        "#RSDIS,100,3000\r\n",     "#CARTF4,1",           "#",
        "##CARTF0,1,2,3,4",        "#CARTE0,7,8,9,10\r"};
    Bytes bytes;
    while (bytes.size() < size) {
        switch (random() % 12) {
            case 0:
                Add(bytes, laserencode::EncodePacket3(random() % 32768, random() % 8));
                break;
            case 1:
                Add(bytes, laserencode::EncodePacket5(random() % 16384, random() % 65536));
                break;
            case 2:
            case 3:
            case 4:
                Add(bytes, laserencode::EncodePacket4(random() % 4096, random() % 8192));
                break;
            case 5: {
                auto packet = laserencode::EncodePacket4(random() % 4096, random() % 5760);
                packet[1 + random() % 3] ^= static_cast<uint8_t>(1 << (random() % 7));
                Add(bytes, packet);
                break;
            }
            case 6:
                for (int n = random() % 20; n > 0; --n)
                    bytes.push_back(static_cast<uint8_t>(random()));
                break;
            case 7:
                bytes.insert(bytes.end(), random() % 4, 0x80);
                break;
            case 8:
            case 9:
                Add(bytes, kLines[random() % std::size(kLines)]);
                break;
            case 10:
                Add(bytes, Text(random() % 300, random, random() % 4 != 0));
                break;
            default:
                // One status line longer than a small piece.
                Add(bytes, "#CARTF4," + std::string(random() % 200, ' ') + "42,0x1F,3,4");
                break;
        }
    }
    bytes.resize(size);
    return bytes;
}

// What a stream decoder must reproduce: DecodeStream over each buffer whole (or over its
// chunk-sized pieces), the records of consecutive calls following each other in one zeroed
// array.
inline std::vector<ScanPoint> OneArray(const std::vector<Bytes>& buffers, int32_t limit,
                                       int chunk = 0) {
    size_t total = 0;
    for (const Bytes& b : buffers) total += b.size();
    std::vector<ScanPoint> points(total / 3 + 1, ScanPoint{});
    const TLaserDecode decoder;
    size_t used = 0;
    for (const Bytes& bytes : buffers) {
        const size_t step =
            chunk > 0 ? static_cast<size_t>(chunk) : std::max<size_t>(bytes.size(), 1);
        for (size_t offset = 0; offset < bytes.size(); offset += step) {
            const size_t length = std::min(step, bytes.size() - offset);
            used +=
                decoder.DecodeStream(points.data() + used, static_cast<int>(points.size() - used),
                                     bytes.data() + offset, static_cast<int>(length), limit);
        }
    }
    points.resize(used);
    return points;
}

inline void ExpectSame(const std::vector<ScanPoint>& got, const std::vector<ScanPoint>& want,
                       const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t i = 0; i < got.size(); ++i) {
        const ScanPoint& a = got[i];
        const ScanPoint& b = want[i];
        ASSERT_TRUE(a.laser == b.laser && a.angle == b.angle && a.distance == b.distance &&
                    a.aux1 == b.aux1 && a.aux2 == b.aux2 && a.aux3 == b.aux3)
            << what << ": record " << i << " of " << got.size() << ": got " << int{a.laser} << ','
            << a.angle << ',' << a.distance << ',' << a.aux1 << ',' << a.aux2 << ',' << a.aux3
            << " want " << int{b.laser} << ',' << b.angle << ',' << b.distance << ',' << b.aux1
            << ',' << b.aux2 << ',' << b.aux3;
    }
}

}  // namespace hostile
