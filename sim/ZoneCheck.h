#pragma once

// Which protection outputs the scanner switches on for one revolution of samples.

#include <array>
#include <cstdint>
#include <vector>

#include "ScannerState.h"

struct SimSample {
    int angle;     // 1/16 degree, 0..5759
    int distance;  // cm; 0 is a missing return
};

// A sample inside the zone: the zone tool's own hit test.
bool ZoneHit(const SimZone& zone, const SimSample& sample);

// Bits 0..2: the outputs of the group whose zone the revolution trips (ZoneTrips: at least its
// sensitivity in hits); the group number in the bits above.
int OutputState(const ScannerState& state, int group, const std::vector<SimSample>& turn);
