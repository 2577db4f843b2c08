#pragma once

// A scan stream with what recordings meet, and what one decode over all of it gives: the
// revolutions between markers and the LaserScan ranges they make. For the tests of the MCAP
// and CSV exports.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "LaserScan.h"
#include "Laserencode.h"
#include "Lasernode.h"
#include "ScannerInterface.h"

namespace mixedscan {

using Bytes = std::vector<uint8_t>;
constexpr double kInf = std::numeric_limits<double>::infinity();

// A stream with what recordings meet: samples before the first marker and after the last, a
// marker in a 5-byte packet, status lines and other text between the packets, packets with a
// broken check, stray end marks and a lone two-byte group. No sample has a bearing that equals a
// status code (224..255), so a status line taken for a sample shows in its bin.
struct Stream {
    Bytes bytes;
    std::vector<uint64_t> markers;  // where each 0-degree marker starts
};

inline Stream MakeStream(int revolutions) {
    Stream s;
    const auto add = [&s](const auto& packet) {
        s.bytes.insert(s.bytes.end(), packet.begin(), packet.end());
    };
    const auto text = [&s](const std::string& line) {
        s.bytes.insert(s.bytes.end(), line.begin(), line.end());
    };
    for (int a = 3001; a < 5760; a += 97) add(laserencode::EncodePacket4(500 + a % 300, a));
    for (int rev = 0; rev < revolutions; ++rev) {
        s.markers.push_back(s.bytes.size());
        if (rev == 2)
            add(laserencode::EncodePacket5(rev, scanner::kInfoZeroDegree));
        else
            add(laserencode::EncodePacket4(rev, scanner::kInfoZeroDegree));
        for (int a = rev; a < scanner::kAnglesPerTurn; a += 11) {
            if (a >= scanner::kStatusCodeFirst && a <= scanner::kStatusCodeLast)
                continue;
            const int distance = (a * 7 + rev * 31) % 97 == 0 ? 0 : 30 + (a * 13 + rev) % 3900;
            add(laserencode::EncodePacket4(distance, a));
            if (a % 1000 < 11) {
                text("#CARTF4,12,0x1A,7,9\r\n");
                add(laserencode::EncodePacket4(1000, a));  // loses its head to the line
            } else if (a % 1000 < 22) {
                text("#RS 1,2,3\r\n");
            } else if (a % 1000 < 33) {
                laserencode::Packet4 broken = laserencode::EncodePacket4(77, a);
                broken[1] ^= 0x04;
                add(broken);
                s.bytes.push_back(0x80);
            } else if (a % 1000 < 44) {
                text("\x05");
                s.bytes.push_back(0x9F);
            }
        }
        add(laserencode::EncodePacket3(2000 + rev));
    }
    for (int a = 0; a < 900; a += 50) {
        if (a < scanner::kStatusCodeFirst || a > scanner::kStatusCodeLast)
            add(laserencode::EncodePacket4(800, a));
    }
    return s;
}

// The revolutions one decode over all the bytes gives: the samples between two markers.
// withLast keeps the partial revolution after the last marker.
inline std::vector<std::vector<ScanPoint>> DecodedRevolutions(const Bytes& bytes, int32_t limit,
                                                              bool withLast = false) {
    std::vector<ScanPoint> points(bytes.size() / 3 + 1, ScanPoint{});
    const int count =
        TLaserDecode().DecodeStream(points.data(), static_cast<int>(points.size()), bytes.data(),
                                    static_cast<int>(bytes.size()), limit);
    std::vector<std::vector<ScanPoint>> revolutions;
    bool started = false;
    for (int i = 0; i < count; ++i) {
        if (points[i].angle == scanner::kInfoZeroDegree) {
            revolutions.emplace_back();
            started = true;
        } else if (started) {
            revolutions.back().push_back(points[i]);
        }
    }
    if (!revolutions.empty() && !withLast)
        revolutions.pop_back();  // the partial one after the last marker
    return revolutions;
}

inline std::vector<double> ExpectedRanges(const std::vector<ScanPoint>& samples, int bins) {
    std::vector<double> ranges(static_cast<size_t>(bins), kInf);
    for (const ScanPoint& p : samples) {
        const bool status =
            p.angle >= scanner::kStatusCodeFirst && p.angle <= scanner::kStatusCodeLast;
        if (p.angle < 0 || p.angle > scanner::kMaxMeasurementAngle || status || p.distance <= 0)
            continue;
        double& r = ranges[static_cast<size_t>(record::ScanBin(p.angle, bins))];
        r = std::min(r, static_cast<double>(static_cast<float>(p.distance / 100.0)));
    }
    return ranges;
}

inline uint64_t StampOf(uint64_t start, uint64_t position, int baud) {
    return start + static_cast<uint64_t>(static_cast<unsigned __int128>(position) * 10 *
                                         1'000'000'000 / static_cast<unsigned>(baud));
}

}  // namespace mixedscan
