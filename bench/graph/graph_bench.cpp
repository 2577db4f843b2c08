// Draw times of the scan views into a full-screen target; a redraw must fit the 20 ms tick.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <vector>

#include "ScannerInterface.h"
#include "Syntheticscan.h"
#include "Vykgraph.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1040;

std::vector<ScanPoint> Scan(int turns, int samplesPerTurn) {
    std::vector<ScanPoint> points;
    points.reserve(static_cast<size_t>(turns) * (samplesPerTurn + 4) + 2);
    points.push_back(syntheticscan::Sample(5700, 300));  // the tail of an earlier revolution
    for (int t = 0; t < turns; ++t) {
        syntheticscan::RevolutionOptions options;
        options.samples = samplesPerTurn;
        options.counter = t % scanner::kRevolutionCounterModulo;
        options.wobble = t % 7;
        options.outputState = 0x41;
        options.dropoutEvery = 97;
        syntheticscan::AppendRevolution(points, options);
        points.push_back(syntheticscan::Info(scanner::kInfoSeconds, t));
        points.push_back(syntheticscan::Info(scanner::kInfoFrequency, 200));
    }
    points.push_back(syntheticscan::Info(scanner::kInfoZeroDegree, turns));
    return points;
}

ProtectZone Pentagon(int x, int y, int size) {
    ProtectZone zone{};
    zone.count = 5;
    zone.IOTCount = 5;
    const int dx[] = {0, 2, 1, -1, -2};
    const int dy[] = {2, 1, -2, -2, 1};
    for (int i = 0; i < 5; ++i) {
        zone.x[i] = x + dx[i] * size;
        zone.y[i] = y + dy[i] * size;
    }
    return zone;
}

void DrawLoop(benchmark::State& state, TVykGraph& graph, const std::vector<ScanPoint>& points,
              vykgraph::TViewState* redrawSameRevolution = nullptr) {
    for (auto _ : state) {
        if (redrawSameRevolution) {
            // The console skips a revolution it has drawn; measure a real drawing every time.
            redrawSameRevolution->lastDrawnRevolution = -1;
        }
        graph.Draw(points.data(), 0, static_cast<int>(points.size()));
        benchmark::ClobberMemory();
    }
    state.counters["samples"] = static_cast<double>(points.size());
}

void BM_CircleView(benchmark::State& state) {
    QImage target(kWidth, kHeight, QImage::Format_RGB32);
    vykgraph::TViewState shared;
    TVykGraph graph(&target, 1, vykgraph::kViewCircle, GraphProgram::Console, &shared);
    graph.SetView(vykgraph::kViewCircle, 1, kWidth, kHeight);
    graph.PickReferenceAngle(kWidth / 2 + 100, 100);
    DrawLoop(state, graph, Scan(1, 10000), &shared);
}
BENCHMARK(BM_CircleView)->Unit(benchmark::kMillisecond);

void BM_DataView(benchmark::State& state) {
    QImage target(kWidth, kHeight, QImage::Format_RGB32);
    TVykGraph graph(&target, 1, vykgraph::kViewData, GraphProgram::Console);
    graph.SetView(vykgraph::kViewData, 1, kWidth, kHeight);
    graph.SetTimeZoom(10);
    for (int i = 0; i < 20; ++i) {
        graph.ShrinkRowScale(0);
    }
    std::vector<ScanPoint> points = Scan(100, 10000);
    points.resize(1000000);
    DrawLoop(state, graph, points);
}
BENCHMARK(BM_DataView)->Unit(benchmark::kMillisecond);

void BM_ZoneView(benchmark::State& state) {
    QImage target(kWidth, kHeight, QImage::Format_RGB32);
    TVykGraph graph(&target, 1, vykgraph::kViewCircle, GraphProgram::ZoneTool);
    graph.SetView(vykgraph::kViewCircle, 1, kWidth, kHeight);
    graph.SetZone(0, Pentagon(0, 150, 60));
    graph.SetZone(1, Pentagon(250, -100, 50));
    graph.SetZone(2, Pentagon(-250, -100, 70));
    DrawLoop(state, graph, Scan(1, 10000));
}
BENCHMARK(BM_ZoneView)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
