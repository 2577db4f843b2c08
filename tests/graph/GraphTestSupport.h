#pragma once

// Helpers of the scan display tests: a GUI application for the fonts, samples, pixel reads.

#include <QGuiApplication>
#include <QImage>
#include <vector>

#include "Lasernode.h"
#include "ScannerInterface.h"

namespace graphtest {

// Text drawing needs the font database of a GUI application; one for the whole test program.
inline void EnsureGuiApp() {
    if (QGuiApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "graph_test";
        static char* argv[] = {name, nullptr};
        static QGuiApplication app(argc, argv);
    }
}

inline ScanPoint Sample(int angle, int distance) {
    return ScanPoint{0, static_cast<int16_t>(angle), distance, 0, 0, 0};
}

inline ScanPoint Marker(int counter) {
    return Sample(scanner::kInfoZeroDegree, counter);
}

// Marker(counter), the samples, Marker(counter + 1); padded in front so the first marker is
// not index 0 and the window holds at least 10 records.
inline std::vector<ScanPoint> Revolution(int counter, const std::vector<ScanPoint>& samples) {
    std::vector<ScanPoint> points(8, Sample(0, 0));
    points.push_back(Marker(counter));
    points.insert(points.end(), samples.begin(), samples.end());
    points.push_back(Marker(counter + 1));
    return points;
}

inline QRgb Rgb(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

constexpr QRgb kRed = 0xFF0000;
constexpr QRgb kGreen = 0x008000;
constexpr QRgb kBlue = 0x0000FF;
constexpr QRgb kWhite = 0xFFFFFF;
constexpr QRgb kBlack = 0x000000;
constexpr QRgb kTeal = 0x008080;

inline int CountColour(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += Rgb(image, x, y) == colour;
        }
    }
    return n;
}

inline bool SameRegion(const QImage& a, const QImage& b, int x, int y, int w, int h) {
    return a.copy(x, y, w, h) == b.copy(x, y, w, h);
}

}  // namespace graphtest
