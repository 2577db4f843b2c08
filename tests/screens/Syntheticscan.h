#pragma once

// Fixed synthetic scans of a small room, for the screenshots and the benchmarks.

#include <vector>

#include "Lasernode.h"

namespace syntheticscan {

ScanPoint Sample(int angle, int distance);
ScanPoint Info(int code, int value);

// Distance in cm from the scanner to the room's walls or its pillar at the bearing.
int RoomDistance(int angle, int wobble);

struct RevolutionOptions {
    int samples = 2000;
    int counter = 0;       // 0-degree marker value
    int wobble = 0;        // shifts the walls a little, so revolutions differ
    int outputState = -1;  // info 5770 value; -1 for none
    int dropoutEvery = 0;  // every n-th sample reads 0 (no return); 0 for none
};

// A 0-degree marker followed by one revolution of samples (the next marker closes it).
void AppendRevolution(std::vector<ScanPoint>& points, const RevolutionOptions& options);

}  // namespace syntheticscan
