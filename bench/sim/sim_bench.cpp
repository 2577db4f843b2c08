// The simulator's pacing: the bytes it carries against what the real line would, baud / 10 per
// second, over ten seconds (the ratio should stay within 2% of 1).

#include <benchmark/benchmark.h>

#include <chrono>

#include "SimProcess.h"

namespace {

void BM_SimPacing(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    SimProcess sim({"--baud", std::to_string(baud), "--duration", "60"});
    if (!sim.Connect()) {
        state.SkipWithError("vyk-sim did not start");
        return;
    }
    sim.ReadFor(1.0);  // past the start and what the line held before
    size_t bytes = 0;
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        bytes += sim.ReadFor(10.0).size();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["bytes_per_s"] = bytes / seconds;
    state.counters["ratio"] = bytes / seconds / (baud / 10.0);
}
BENCHMARK(BM_SimPacing)->Arg(230400)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
