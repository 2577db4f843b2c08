#pragma once

// A scanner's zones as its settings report ("#RS") gives them, whether the report came whole,
// and how they differ from the zones that were sent.

#include <cstdint>
#include <vector>

#include "Settingsreply.h"
#include "Zonetable.h"

class TZoneReadBack {
public:
    // The reports change start as "读取设置" changes the model: a removed zone keeps its other
    // fields. Whether they came whole is told apart from it.
    explicit TZoneReadBack(const ZoneTable& start = {}) : table_(start) {}

    // Zone reports and output levels; other replies change nothing.
    void Take(const SettingsReply& reply);

    // Every zone and the output levels reported, and every point of each polygon.
    bool Complete() const;
    // A zone report came, not just the output levels.
    bool AnyReport() const { return any_; }

    struct Missing {
        int zone = -1;   // -1: the output levels
        int point = -1;  // -1: the whole zone
    };
    std::vector<Missing> WhatIsMissing() const;

    const ZoneTable& Table() const { return table_; }

private:
    ZoneTable table_;
    bool reported_[kZoneCount] = {};
    uint8_t points_[kZoneCount] = {};  // bit m: point m of the polygon arrived
    bool levels_ = false;
    bool any_ = false;
};

struct ZoneDifference {
    int zone = -1;           // -1: the output levels
    const char* field = "";  // the INI key: "count", "IOTCount", "x0".."y4", "IOLevel"
    int64_t sent = 0;
    int64_t stored = 0;
};

// The zones of zoneMask (bit z) and the low twelve bits of IOLevel, each field as the read-back
// gives it: polygon points signed and sector values unsigned 16-bit, as they went on the line.
std::vector<ZoneDifference> CompareZones(const ZoneTable& sent, const ZoneTable& stored,
                                         uint32_t zoneMask);

constexpr uint32_t kAllZones = (1u << kZoneCount) - 1;
constexpr int32_t kLevelBits = 0xFFF;
