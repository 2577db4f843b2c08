#pragma once

// Decodes a captured stream with the programs' decoder and cuts it into whole revolutions.

#include <string>
#include <vector>

#include "Lasernode.h"
#include "ScannerInterface.h"

struct Turn {
    int counter;
    std::vector<ScanPoint> samples;
    std::vector<ScanPoint> info;
};

inline std::vector<ScanPoint> Decode(const std::string& bytes) {
    std::vector<ScanPoint> points(bytes.size());
    TLaserDecode decoder;
    const int n =
        decoder.DecodeStream(points.data(), static_cast<int>(points.size()),
                             reinterpret_cast<const uint8_t*>(bytes.data()),
                             static_cast<int>(bytes.size()), scanner::kDefaultDistanceLimit);
    points.resize(n);
    return points;
}

inline bool IsInfo(const ScanPoint& p) {
    return p.angle >= scanner::kInfoFirst;
}
inline bool IsStatus(const ScanPoint& p) {
    return p.angle == scanner::kStatusCodeF4 && p.distance >= 1 && p.distance <= 15 &&
           p.aux3 >= 0 && p.aux1 < 64;
}

// Whole turns only: what lies before the first marker and after the last is dropped.
inline std::vector<Turn> Turns(const std::vector<ScanPoint>& points, int* statusLines = nullptr) {
    int ignored = 0;
    if (statusLines == nullptr)
        statusLines = &ignored;
    std::vector<Turn> turns;
    bool open = false;
    for (const ScanPoint& p : points) {
        if (p.angle == scanner::kInfoZeroDegree) {
            turns.push_back({p.distance, {}, {}});
            open = true;
        } else if (open && IsInfo(p)) {
            turns.back().info.push_back(p);
        } else if (open && IsStatus(p)) {
            ++*statusLines;
        } else if (open) {
            turns.back().samples.push_back(p);
        }
    }
    if (!turns.empty())
        turns.pop_back();
    return turns;
}

inline int InfoValue(const Turn& turn, int code) {
    for (const ScanPoint& p : turn.info) {
        if (p.angle == code)
            return p.distance;
    }
    return -1;
}
