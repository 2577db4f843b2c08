#pragma once

// The simulated room around the scanner: four walls, a few fixed objects and one object that
// walks slowly back and forth. Coordinates in cm, the scanner at (0, 0), y ahead (bearing 0),
// x to the right (bearing 90 degrees).

#include <vector>

class TRoom {
public:
    TRoom();

    // Distance in cm along the bearing (radians, clockwise from ahead) at time seconds;
    // 0 when nothing lies within reach.
    double Range(double bearing, double seconds) const;

    // Centre of the moving object at time seconds.
    void MovingCentre(double seconds, double& x, double& y) const;

    static constexpr double kMovingRadius = 25;

private:
    struct Segment {
        double x1, y1, x2, y2;
    };
    struct Circle {
        double x, y, r;
    };

    std::vector<Segment> segments_;
    std::vector<Circle> pillars_;
};
