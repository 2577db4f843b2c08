#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "AgainstMd5sum.h"
#include "IniFile.h"
#include "SimProcess.h"
#include "SpawnedProgram.h"
#include "Zonetable.h"

namespace {

// Twelve five-point zones: the longest push there is, seven lines a zone.
std::string WriteFivePointZones() {
    const std::string path = "/tmp/vyk-zonescli-bench-" + std::to_string(getpid()) + ".ini";
    ZoneTable table;
    for (int z = 0; z < kZoneCount; ++z) {
        ProtectZone& zone = table.zones[z];
        zone.count = 5;
        zone.IOTCount = 5;
        for (int k = 0; k < zone.count; ++k) {
            zone.x[k] = (k % 2 ? -1 : 1) * (50 + 30 * z + k);
            zone.y[k] = 20 * k + z;
        }
    }
    IniFile ini(QString::fromStdString(path));
    return StoreZones(ini, table) ? path : std::string();
}

// vyk-zones push of twelve five-point zones into an attentive simulator at 115200 baud; the
// target is under 10 s.
void BM_ZonesPush(benchmark::State& state) {
    const std::string ini = WriteFivePointZones();
    if (ini.empty()) {
        state.SkipWithError("cannot write the zones");
        return;
    }
    for (auto _ : state) {
        SimProcess sim({"--model", "vyk05", "--baud", "115200"});
        const auto start = std::chrono::steady_clock::now();
        SpawnedProgram push({VYK_ZONES_PATH, "push", sim.Path(), ini}, true);
        const std::string said = push.ReadAll(60);
        const int status = push.WaitExit(5);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (status != 0) {
            state.SkipWithError(("vyk-zones push failed: " + said).c_str());
            break;
        }
        state.SetIterationTime(elapsed.count());
    }
    std::remove(ini.c_str());
}
BENCHMARK(BM_ZonesPush)->UseManualTime()->Iterations(3)->Unit(benchmark::kSecond);

// vyk-zones check of three five-point zones, the most a group holds, over the 480 MB recording:
// the target is at most 8 times md5sum's time.
void BM_ZonesCheckVsMd5sum(benchmark::State& state) {
    const std::string ini = "/tmp/vyk-zonescli-bench-check-" + std::to_string(getpid()) + ".ini";
    ZoneTable table;
    for (int o = 0; o < kZoneOutputs; ++o) {
        ProtectZone& zone = table.zones[ZoneIndex(0, o)];
        zone.count = 5;
        zone.IOTCount = 5;
        const int32_t xs[] = {-300, 300, 350, 0, -350};
        const int32_t ys[] = {-300, -300, 100, 340, 100};
        for (int k = 0; k < zone.count; ++k) {
            zone.x[k] = xs[k] / (o + 1);
            zone.y[k] = ys[k] / (o + 1);
        }
    }
    IniFile file(QString::fromStdString(ini));
    if (!StoreZones(file, table)) {
        state.SkipWithError("cannot write the zones");
        return;
    }
    static const LargeRecording recording("vyk-zonescli-bench");
    CompareWithMd5sum(state, recording, {VYK_ZONES_PATH, "check", ini});
    std::remove(ini.c_str());
}
BENCHMARK(BM_ZonesCheckVsMd5sum)->UseManualTime()->Iterations(3)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
