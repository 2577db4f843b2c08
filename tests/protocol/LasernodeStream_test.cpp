#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Laserencode.h"
#include "Lasernode.h"

// DecodeStream takes words and bit masks where it can; these tests hold it to the plain
// byte-by-byte rules on every kind of stream.

namespace {

using Bytes = std::vector<uint8_t>;
using Reports = std::vector<std::pair<int, int>>;

struct Outcome {
    int written;
    std::vector<ScanPoint> points;
    Reports reports;
};

// The rules as stated, one byte or packet per pass.
int ReferenceDecode(ScanPoint* points, int capacity, const uint8_t* bytes, int count, int32_t limit,
                    Reports* reports) {
    const uint8_t* pos = bytes;
    int remaining = count;
    int written = 0;
    int lastStep = 0;
    while (remaining > 2 && written < capacity) {
        if (*pos & 0x80) {
            ++pos;
            --remaining;
            continue;
        }
        const int step = (count - remaining) >> 18;
        if (reports != nullptr && step != lastStep) {
            lastStep = step;
            reports->emplace_back(step, count >> 18);
        }
        const int e = TLaserDecode::FindPacketEnd(pos, remaining);
        if (e == remaining) {
            return written + TLaserDecode::ScanTextLines(points + written, capacity - written, pos,
                                                         remaining);
        }
        int advance;
        switch (e) {
            case 1:
                advance = 2;
                break;
            case 2:
                written += TLaserDecode::DecodePacket3(points[written], pos, limit);
                advance = 3;
                break;
            case 3:
                written += TLaserDecode::DecodePacket4(points[written], pos, limit);
                advance = 4;
                break;
            case 4:
                written += TLaserDecode::DecodePacket5(points[written], pos, limit);
                advance = 5;
                break;
            default:
                written +=
                    TLaserDecode::ScanTextLines(points + written, capacity - written, pos, e - 2);
                advance = e - 2;
        }
        pos += advance;
        remaining -= advance;
    }
    return written;
}

std::vector<ScanPoint> Filled(int capacity, std::mt19937& random) {
    std::vector<ScanPoint> points(capacity + 1);
    for (ScanPoint& p : points) {
        p = {static_cast<uint8_t>(random()), static_cast<int16_t>(random()),
             static_cast<int32_t>(random()), static_cast<int32_t>(random()),
             static_cast<int32_t>(random()), static_cast<int32_t>(random())};
    }
    return points;
}

void ExpectSame(const Outcome& fast, const Outcome& reference, const std::string& what) {
    ASSERT_EQ(fast.written, reference.written) << what;
    EXPECT_EQ(fast.reports, reference.reports) << what;
    for (size_t i = 0; i < fast.points.size(); ++i) {
        const ScanPoint& a = fast.points[i];
        const ScanPoint& b = reference.points[i];
        ASSERT_TRUE(a.laser == b.laser && a.angle == b.angle && a.distance == b.distance &&
                    a.aux1 == b.aux1 && a.aux2 == b.aux2 && a.aux3 == b.aux3)
            << what << ": slot " << i << " of " << fast.written;
    }
}

void CompareOn(const Bytes& bytes, int capacity, int32_t limit, bool withProgress,
               std::mt19937& random, const std::string& what) {
    const std::vector<ScanPoint> start = Filled(capacity, random);
    Outcome reference{0, start, {}};
    reference.written = ReferenceDecode(reference.points.data(), capacity, bytes.data(),
                                        static_cast<int>(bytes.size()), limit,
                                        withProgress ? &reference.reports : nullptr);
    Outcome fast{0, start, {}};
    TLaserDecode decoder;
    if (withProgress) {
        decoder.SetProgressReport(
            [&](const char*, int step, int steps) { fast.reports.emplace_back(step, steps); });
    }
    fast.written = decoder.DecodeStream(fast.points.data(), capacity, bytes.data(),
                                        static_cast<int>(bytes.size()), limit);
    ExpectSame(fast, reference, what);
}

template <typename Packet>
void Append(Bytes& bytes, const Packet& packet) {
    bytes.insert(bytes.end(), packet.begin(), packet.end());
}

// A scanner stream with the faults a real line has: bit flips, stray and lost bytes, status
// lines and replies in between, and now and then another packet kind.
Bytes NoisyScan(size_t size, std::mt19937& random, int faultsPerThousand) {
    Bytes bytes;
    std::uniform_int_distribution<int> permille(0, 999);
    int angle = 0;
    while (bytes.size() < size) {
        const int what = permille(random);
        if (what < 3) {
            const std::string line = "#CARTF4,12,0x1A,7,9\r\n";
            bytes.insert(bytes.end(), line.begin(), line.end());
        } else if (what < 5) {
            const std::string line = "#RSDIS,100,3000\r\n";
            bytes.insert(bytes.end(), line.begin(), line.end());
        } else if (what < 15) {
            Append(bytes, laserencode::EncodePacket3(random() % 32768, random() % 8));
        } else if (what < 25) {
            Append(bytes, laserencode::EncodePacket5(random() % 16384, random() % 65536));
        } else if (what < 30) {
            Append(bytes, laserencode::EncodePacket4(random() % 2048, 5768));
        } else {
            Append(bytes, laserencode::EncodePacket4(random() % 4096, angle));
            angle = (angle + 3) % 5760;
        }
        if (permille(random) < faultsPerThousand && !bytes.empty()) {
            switch (random() % 3) {
                case 0:
                    bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1 << (random() % 8));
                    break;
                case 1:
                    bytes.push_back(static_cast<uint8_t>(random()));
                    break;
                default:
                    bytes.pop_back();
                    break;
            }
        }
    }
    bytes.resize(size);
    return bytes;
}

Bytes RandomBytes(size_t size, std::mt19937& random, int highBitPercent) {
    Bytes bytes(size);
    for (uint8_t& b : bytes) {
        b = static_cast<uint8_t>((random() % 128) |
                                 (static_cast<int>(random() % 100) < highBitPercent ? 0x80 : 0));
    }
    return bytes;
}

TEST(DecodeStreamEquivalence, NoisyScansOfEverySize) {
    std::mt19937 random(1);
    const int32_t limits[] = {6000, 1000, 0, -1, 40000};
    for (int round = 0; round < 400; ++round) {
        const size_t size = random() % 3000;
        const int faults = std::vector<int>{0, 5, 50, 300}[round % 4];
        const Bytes bytes = NoisyScan(size, random, faults);
        const int capacity =
            round % 5 == 0 ? 1 + static_cast<int>(random() % 40) : static_cast<int>(size / 3 + 1);
        CompareOn(bytes, capacity, limits[round % 5], false, random,
                  "round " + std::to_string(round) + " size " + std::to_string(size));
    }
}

TEST(DecodeStreamEquivalence, RandomBytes) {
    std::mt19937 random(2);
    for (int round = 0; round < 300; ++round) {
        const size_t size = random() % 2000;
        const int highBits = std::vector<int>{50, 5, 95, 25, 75}[round % 5];
        const Bytes bytes = RandomBytes(size, random, highBits);
        const int capacity =
            round % 3 == 0 ? 1 + static_cast<int>(random() % 20) : static_cast<int>(size / 3 + 1);
        CompareOn(bytes, capacity, 6000, false, random, "round " + std::to_string(round));
    }
}

TEST(DecodeStreamEquivalence, TextHeavyStreams) {
    std::mt19937 random(3);
    const std::string pieces[] = {
        "#CARTF4,12,0x1A,7,9\r\n", "#CARTE5,1 2 3",       "garbage text ", "#",
        "##CARTF0,1,2,3,4",        "#CARTFE,12,26,7,9\n", "#RSADR,5\r\n"};
    for (int round = 0; round < 200; ++round) {
        Bytes bytes;
        while (bytes.size() < 600) {
            if (random() % 3 == 0) {
                Append(bytes, laserencode::EncodePacket4(random() % 4096, random() % 5760));
            } else {
                const std::string& piece = pieces[random() % std::size(pieces)];
                bytes.insert(bytes.end(), piece.begin(), piece.end());
            }
        }
        const int capacity = 1 + static_cast<int>(random() % 200);
        CompareOn(bytes, capacity, 6000, false, random, "round " + std::to_string(round));
    }
}

TEST(DecodeStreamEquivalence, ProgressOverLongBuffers) {
    std::mt19937 random(4);
    const size_t sizes[] = {(1u << 20), (1u << 20) + 7, 3u << 18};
    for (size_t size : sizes) {
        CompareOn(NoisyScan(size, random, 0), static_cast<int>(size / 3 + 1), 6000, true, random,
                  "clean");
        CompareOn(NoisyScan(size, random, 100), static_cast<int>(size / 3 + 1), 6000, true, random,
                  "noisy");
        CompareOn(RandomBytes(size, random, 50), static_cast<int>(size / 3 + 1), 6000, true, random,
                  "random");
        CompareOn(NoisyScan(size, random, 10), 100000, 6000, true, random, "full array");
    }
}

}  // namespace
