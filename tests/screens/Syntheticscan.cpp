#include "Syntheticscan.h"

#include <algorithm>
#include <cmath>

#include "ScannerInterface.h"

namespace syntheticscan {

namespace {

constexpr double kPi = 3.14159265358979;
constexpr double kHalfWidth = 420;  // cm
constexpr double kHalfDepth = 300;
constexpr double kPillarX = 160;
constexpr double kPillarY = 140;
constexpr double kPillarRadius = 35;

double PillarDistance(double sx, double sy) {
    const double along = sx * kPillarX + sy * kPillarY;
    const double centre2 = kPillarX * kPillarX + kPillarY * kPillarY;
    const double miss2 = centre2 - along * along;
    if (along <= 0 || miss2 > kPillarRadius * kPillarRadius) {
        return 1e9;
    }
    return along - std::sqrt(kPillarRadius * kPillarRadius - miss2);
}

}  // namespace

ScanPoint Sample(int angle, int distance) {
    return ScanPoint{0, static_cast<int16_t>(angle), distance, 0, 0, 0};
}

ScanPoint Info(int code, int value) {
    return Sample(code, value);
}

int RoomDistance(int angle, int wobble) {
    const double theta = angle * kPi / 2880;
    const double sx = std::sin(theta);
    const double sy = std::cos(theta);
    const double w = kHalfWidth + wobble;
    const double d = kHalfDepth + wobble / 2.0;
    double wall = 1e9;
    if (std::abs(sx) > 1e-9) {
        wall = std::min(wall, w / std::abs(sx));
    }
    if (std::abs(sy) > 1e-9) {
        wall = std::min(wall, d / std::abs(sy));
    }
    return static_cast<int>(std::min(wall, PillarDistance(sx, sy)));
}

void AppendRevolution(std::vector<ScanPoint>& points, const RevolutionOptions& options) {
    points.push_back(Info(scanner::kInfoZeroDegree, options.counter));
    if (options.outputState >= 0) {
        points.push_back(Info(scanner::kInfoT1, options.outputState));
    }
    for (int k = 0; k < options.samples; ++k) {
        const int angle =
            static_cast<int>(static_cast<long long>(k) * scanner::kAnglesPerTurn / options.samples);
        const bool dropout = options.dropoutEvery > 0 && k % options.dropoutEvery == 0;
        points.push_back(Sample(angle, dropout ? 0 : RoomDistance(angle, options.wobble)));
    }
}

}  // namespace syntheticscan
