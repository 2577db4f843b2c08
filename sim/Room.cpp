#include "Room.h"

#include <cmath>
#include <limits>

#include "ScannerInterface.h"

namespace {

constexpr double kNone = std::numeric_limits<double>::infinity();

// Ray from the origin along (dx, dy) against a segment; distance or kNone.
double HitSegment(double dx, double dy, double x1, double y1, double x2, double y2) {
    const double ex = x2 - x1, ey = y2 - y1;
    const double denominator = dx * ey - dy * ex;
    if (std::fabs(denominator) < 1e-12)
        return kNone;
    const double t = (x1 * ey - y1 * ex) / denominator;
    const double u = (x1 * dy - y1 * dx) / denominator;
    return t > 0 && u >= 0 && u <= 1 ? t : kNone;
}

double HitCircle(double dx, double dy, double cx, double cy, double r) {
    const double b = dx * cx + dy * cy;
    const double c = cx * cx + cy * cy - r * r;
    const double discriminant = b * b - c;
    if (discriminant < 0)
        return kNone;
    const double t = b - std::sqrt(discriminant);
    return t > 0 ? t : kNone;
}

}  // namespace

TRoom::TRoom() {
    // A 12 m by 9 m hall with the scanner off centre, a cabinet and two pillars.
    const double left = -450, right = 750, back = -300, front = 600;
    segments_ = {{left, back, right, back},   {right, back, right, front},
                 {right, front, left, front}, {left, front, left, back},
                 {-300, 350, -150, 350},      {-150, 350, -150, 450},
                 {-150, 450, -300, 450},      {-300, 450, -300, 350}};
    pillars_ = {{300, 250, 30}, {-200, -150, 20}};
}

void TRoom::MovingCentre(double seconds, double& x, double& y) const {
    // Walks at about 0.5 m/s along a 4 m line in front of the scanner and back.
    constexpr double kPeriod = 16;
    const double phase = std::fmod(seconds, kPeriod) / kPeriod;
    const double along = phase < 0.5 ? phase * 2 : 2 - phase * 2;
    x = -150 + 400 * along;
    y = 150;
}

double TRoom::Range(double bearing, double seconds) const {
    const double dx = std::sin(bearing), dy = std::cos(bearing);
    double nearest = kNone;
    for (const Segment& s : segments_) {
        const double t = HitSegment(dx, dy, s.x1, s.y1, s.x2, s.y2);
        if (t < nearest)
            nearest = t;
    }
    for (const Circle& c : pillars_) {
        const double t = HitCircle(dx, dy, c.x, c.y, c.r);
        if (t < nearest)
            nearest = t;
    }
    double mx, my;
    MovingCentre(seconds, mx, my);
    const double t = HitCircle(dx, dy, mx, my, kMovingRadius);
    if (t < nearest)
        nearest = t;
    return nearest <= scanner::kMaxRangeCm ? nearest : 0;
}
