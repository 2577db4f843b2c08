#include "WindowedDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

#include "Laserencode.h"

namespace {

using Bytes = std::vector<uint8_t>;

// What the tool must reproduce: DecodeStream over each buffer whole (or over its chunk-sized
// pieces), the records of consecutive calls following each other in one zeroed array.
std::vector<ScanPoint> OneArray(const std::vector<Bytes>& buffers, int32_t limit, int chunk) {
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

// The windowed decoder fed in pieces of random sizes.
std::vector<ScanPoint> Windowed(const std::vector<Bytes>& buffers, int32_t limit, int chunk,
                                size_t window, std::mt19937& random, size_t maxPiece) {
    std::vector<ScanPoint> records;
    WindowedDecoder decoder(
        limit, chunk,
        [&](const ScanPoint* p, size_t n) { records.insert(records.end(), p, p + n); }, window);
    for (const Bytes& bytes : buffers) {
        size_t at = 0;
        while (at < bytes.size()) {
            const size_t piece = std::min(bytes.size() - at, 1 + random() % maxPiece);
            decoder.Append(bytes.data() + at, piece);
            at += piece;
        }
        decoder.EndBuffer();
    }
    return records;
}

void ExpectSame(const std::vector<ScanPoint>& got, const std::vector<ScanPoint>& want,
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

void Add(Bytes& bytes, const std::string& text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
}

template <size_t N>
void Add(Bytes& bytes, const std::array<uint8_t, N>& packet) {
    bytes.insert(bytes.end(), packet.begin(), packet.end());
}

// ASCII without end marks, mostly the characters status lines are made of.
std::string Text(size_t length, std::mt19937& random, bool withHash) {
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

// A damaged stream: packets of every kind, bad checks, noise, status lines whole and broken,
// and long stretches without any end mark.
Bytes Hostile(size_t size, std::mt19937& random) {
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
                // One status line longer than the small windows.
                Add(bytes, "#CARTF4," + std::string(random() % 200, ' ') + "42,0x1F,3,4");
                break;
        }
    }
    bytes.resize(size);
    return bytes;
}

TEST(WindowedDecoder, HostileStreamsDecodeAsOneCall) {
    std::mt19937 random(7);
    const int32_t limits[] = {6000, 1000, 0, -1};
    const size_t windows[] = {1, 5, 16, 24, 25, 37, 64, 200, 4096};
    for (int round = 0; round < 300; ++round) {
        const Bytes bytes = Hostile(random() % 6000, random);
        const int32_t limit = limits[round % std::size(limits)];
        const std::vector<ScanPoint> want = OneArray({bytes}, limit, 0);
        for (size_t window : windows) {
            ExpectSame(Windowed({bytes}, limit, 0, window, random, 1 + random() % 700), want,
                       "round " + std::to_string(round) + " window " + std::to_string(window));
        }
    }
}

TEST(WindowedDecoder, ChunksAndBuffersDecodeAsConsecutiveCalls) {
    std::mt19937 random(8);
    for (int round = 0; round < 200; ++round) {
        std::vector<Bytes> buffers(1 + random() % 3);
        for (Bytes& b : buffers) b = Hostile(random() % 3000, random);
        const int chunk = round % 4 == 0 ? 0 : 1 + static_cast<int>(random() % 1200);
        const std::vector<ScanPoint> want = OneArray(buffers, 6000, chunk);
        for (size_t window : {7, 30, 100, 1000}) {
            ExpectSame(Windowed(buffers, 6000, chunk, window, random, 1 + random() % 500), want,
                       "round " + std::to_string(round) + " chunk " + std::to_string(chunk) +
                           " window " + std::to_string(window));
        }
    }
}

// Each case at every window size, fed a byte at a time and whole.
TEST(WindowedDecoder, CutsThatOneCallWouldNotMake) {
    std::mt19937 random(9);
    const auto packets = [](int n) {
        Bytes bytes;
        for (int i = 0; i < n; ++i) Add(bytes, laserencode::EncodePacket4(100 + i, i));
        return bytes;
    };
    const auto join = [](std::initializer_list<Bytes> parts) {
        Bytes bytes;
        for (const Bytes& p : parts) bytes.insert(bytes.end(), p.begin(), p.end());
        return bytes;
    };
    const auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    const std::vector<std::pair<std::string, Bytes>> cases = {
        {"status line then a packet whose aux fields were never written",
         join({text("#CARTF4,12,0x1A,7,9\r\n"), packets(20), text("#CARTE5,1,2,3,4\r\n"),
               packets(20)})},
        {"status line in a slot a 3-byte packet of laser 2 was offered",
         join({packets(5), Bytes{0x74, 0x01, 0x9F}, text("#CARTE5,1,2,3,4\r\n"), packets(5)})},
        {"text longer than a window, no end mark until the end",
         join({packets(3), text(std::string(90, 'a') + "#CARTF4,5,6,7,8\n" + std::string(90, 'b') +
                                "#CARTE1,9,9,9,9")})},
        {"a stretch without '#' longer than a window, then a short line",
         join({packets(2), text(std::string(150, '0') + "#CARTF4,1"), packets(2)})},
        {"a short line alone after a long stretch: searched only as part of it",
         text(std::string(120, ' ') + "#CARTF4,1")},
        {"one status line longer than any small window",
         join({packets(4), text("#CARTF4," + std::string(300, ' ') + "1 2,0x10,3,4"), packets(4)})},
        {"lines cut only by '#'",
         join({text("#CARTF4,1,2,3,4#CARTF5,5,6,7,8#CARTF6,9,9,9,9#CARTF7,1,1,1,1"), packets(3)})},
        {"a 4-byte packet after text loses its head",
         join({text("#CARTF4,1,2,3,4\r\n"), packets(6)})},
        {"end marks only", Bytes(100, 0x80)},
        {"no end mark at all, under eleven bytes", text("#CARTF4,12")},
    };
    for (const auto& [name, bytes] : cases) {
        const std::vector<ScanPoint> want = OneArray({bytes}, 6000, 0);
        for (size_t window = 1; window <= 80; ++window) {
            ExpectSame(Windowed({bytes}, 6000, 0, window, random, 1), want,
                       name + ", window " + std::to_string(window) + ", byte by byte");
            ExpectSame(Windowed({bytes}, 6000, 0, window, random, bytes.size() + 1), want,
                       name + ", window " + std::to_string(window) + ", whole");
        }
    }
}

}  // namespace
