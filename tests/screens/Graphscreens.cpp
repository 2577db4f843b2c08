// Renders each view of the scan display from fixed synthetic scans into PNG files:
//   graph_screens OUTPUT_FOLDER

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <vector>

#include "ScannerInterface.h"
#include "Syntheticscan.h"
#include "Vykgraph.h"

namespace {

constexpr int kWidth = 1106;
constexpr int kHeight = 598;

using syntheticscan::Info;
using syntheticscan::RevolutionOptions;

std::vector<ScanPoint> Revolutions(int turns, int samples, int outputState) {
    std::vector<ScanPoint> points;
    for (int t = 0; t < turns; ++t) {
        RevolutionOptions options;
        options.samples = samples;
        options.counter = 100 + t;
        options.wobble = 6 * t;
        options.outputState = outputState;
        options.dropoutEvery = 37;
        syntheticscan::AppendRevolution(points, options);
    }
    points.push_back(Info(scanner::kInfoZeroDegree, 100 + turns));
    return points;
}

ProtectZone Sector(int radius, int halfAngle) {
    ProtectZone zone{};
    zone.count = 2;
    zone.IOTCount = 5;
    zone.x[0] = radius;
    zone.y[0] = halfAngle;
    return zone;
}

ProtectZone Polygon(std::initializer_list<std::pair<int, int>> corners) {
    ProtectZone zone{};
    zone.IOTCount = 5;
    for (const auto& [x, y] : corners) {
        zone.x[zone.count] = x;
        zone.y[zone.count] = y;
        ++zone.count;
    }
    return zone;
}

void ShrinkTimes(TVykGraph& graph, int steps) {
    for (int step = 0; step < steps; ++step) {
        graph.ShrinkRowScale(0);
    }
}

bool Save(const QImage& image, const QString& folder, const char* name) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(name));
    if (!image.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

QImage CircleWithZones() {
    QImage target(kWidth, kHeight, QImage::Format_RGB32);
    TVykGraph graph(&target, 1, vykgraph::kViewCircle, GraphProgram::ZoneTool);
    graph.SetView(vykgraph::kViewCircle, 1, kWidth, kHeight);
    graph.ShrinkRowScale(0);
    graph.SetZone(0, Sector(250, 30));
    graph.SetZone(1, Polygon({{100, 60}, {240, 60}, {240, 230}, {100, 230}}));
    graph.SetZone(2, Polygon({{-380, -100}, {-200, -260}, {-60, -200}, {-120, -60}, {-320, 0}}));
    graph.PickReferenceAngle(kWidth / 2 + 200, 20 + (kHeight - 20) / 2 - 120);
    const std::vector<ScanPoint> scan = Revolutions(2, 3000, 0x41);
    graph.Draw(scan.data(), 0, static_cast<int>(scan.size()));
    return target;
}

QImage ConsoleCircle() {
    QImage target(kWidth, kHeight, QImage::Format_RGB32);
    TVykGraph graph(&target, 1, vykgraph::kViewCircle, GraphProgram::Console);
    graph.SetView(vykgraph::kViewCircle, 1, kWidth, kHeight);
    ShrinkTimes(graph, 3);
    graph.PickReferenceAngle(kWidth / 2 - 150, 20 + (kHeight - 20) / 2 + 100);
    const std::vector<ScanPoint> scan = Revolutions(2, 3000, -1);
    graph.Draw(scan.data(), 0, static_cast<int>(scan.size()));
    return target;
}

QImage MultiCircle() {
    QImage target(kWidth, kHeight, QImage::Format_RGB32);
    TVykGraph graph(&target, 1, vykgraph::kViewMultiCircle, GraphProgram::Console);
    graph.SetView(vykgraph::kViewMultiCircle, 1, kWidth, kHeight);
    ShrinkTimes(graph, 3);
    const std::vector<ScanPoint> scan = Revolutions(4, 1500, -1);
    graph.Draw(scan.data(), 0, static_cast<int>(scan.size()));
    return target;
}

QImage DetailedData() {
    QImage target(kWidth, kHeight, QImage::Format_RGB32);
    TVykGraph graph(&target, 1, vykgraph::kViewData, GraphProgram::Console);
    graph.SetView(vykgraph::kViewData, 1, kWidth, kHeight);
    graph.SetTimeZoom(1);
    ShrinkTimes(graph, 7);
    // Four short revolutions with every kind of info point the strip marks.
    std::vector<ScanPoint> scan;
    for (int t = 0; t < 4; ++t) {
        RevolutionOptions options;
        options.samples = 480;
        options.counter = 7 + t;
        options.wobble = 40 * t;
        options.dropoutEvery = 53;
        syntheticscan::AppendRevolution(scan, options);
        scan.insert(scan.begin() + static_cast<long>(scan.size()) - 300,
                    {Info(scanner::kInfoSeconds, 12 + t), Info(scanner::kInfoFrequency, 200 - t)});
        scan.insert(scan.begin() + static_cast<long>(scan.size()) - 200,
                    Info(scanner::kInfoMarkFirst + t, 720 * (t + 1)));
        scan.insert(scan.begin() + static_cast<long>(scan.size()) - 120,
                    {Info(scanner::kInfoT1, 3 * t), Info(scanner::kInfoLateMarkFirst, 1440)});
        scan.insert(scan.begin() + static_cast<long>(scan.size()) - 60,
                    Info(scanner::kInfoLateMarkFirst + 1, 2000));
    }
    graph.Draw(scan.data(), 25000, static_cast<int>(scan.size()));
    return target;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = Save(CircleWithZones(), folder, "graph-circle-zones.png");
    ok = Save(ConsoleCircle(), folder, "graph-circle-console.png") && ok;
    ok = Save(MultiCircle(), folder, "graph-multi-circle.png") && ok;
    ok = Save(DetailedData(), folder, "graph-detailed-data.png") && ok;
    return ok ? 0 : 1;
}
