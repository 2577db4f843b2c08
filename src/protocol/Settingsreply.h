#pragma once

// The scanner's "#RS" reply lines: which one a line is and its numbers. The console fills
// its settings page from the first four kinds, the zone tool its zones from the last two.

#include <cstdint>

enum class ReplyKind {
    None,          // not a reply line, or one of an unknown kind
    Distances,     // "#RSDIS," nearest , farthest
    Frequency,     // "#RSADR," motor frequency 1..15
    ModeBits,      // "#RSMS," mode bits
    Angles,        // "#RSAR," start , end
    ZoneReport,    // "#RSPR," zone , count , third , fourth
    OutputLevels,  // "#RSOL," first , level
};

struct SettingsReply {
    static constexpr int kFields = 4;
    ReplyKind kind = ReplyKind::None;
    // Read field by field from just after the prefix; a missing number is 0.
    uint32_t numbers[kFields] = {};
};

SettingsReply ParseSettingsReply(const char* line, int length);
