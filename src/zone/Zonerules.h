#pragma once

// The input rules a zone must meet before it goes to a scanner, shared by the zone tool's save
// and vyk-zones' files.

#include <cstdint>

#include "ProtectZone.h"

enum class ZoneRule {
    Accepted,
    CountAboveFive,   // only a hand-written file holds one
    CornerTooFar,     // a polygon corner more than 500 cm from the scanner
    RadiusNegative,   // the scanner would take it as a radius near 655 m
    RadiusTooLarge,   // above 500 cm
    AngleOutOfRange,  // not 1 to 180 degrees
};

struct ZoneCheck {
    ZoneRule rule = ZoneRule::Accepted;
    int corner = 0;  // CornerTooFar: which one, 0 for A
};

constexpr int32_t kMaxZoneRadius = 500;  // cm
constexpr int32_t kMaxSectorAngle = 180;

bool CornerTooFar(int32_t x, int32_t y);
ZoneRule CheckRadius(int32_t radius);
ZoneRule CheckAngle(int32_t angle);
// The first rule the zone breaks; a polygon's corners past its count are not sent, nor checked.
ZoneCheck CheckZone(const ProtectZone& zone);

// The zone tool's message for a refusal (UTF-8); empty for CountAboveFive, which the editor
// never produces.
const char* RuleMessage(ZoneRule rule);
