// Storing and loading the twelve zones in the zone tool's INI file, a real file as the program
// keeps it: its settings, its port and the zone sections.

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "IniFile.h"
#include "Zonetable.h"

namespace {

ZoneTable FullTable(int seed) {
    ZoneTable table;
    table.IOLevel = seed & 0xFFF;
    for (int z = 0; z < kZoneCount; ++z) {
        ProtectZone& zone = table.zones[z];
        zone.count = 5;
        zone.IOTCount = static_cast<uint8_t>(1 + (seed + z) % 255);
        for (int k = 0; k < ProtectZone::kPairs; ++k) {
            zone.x[k] = seed + 10 * z + k;
            zone.y[k] = -seed - 10 * z - k;
        }
    }
    return table;
}

// The INI file of a zone tool that has run once.
bool WriteProgramIni(IniFile& ini) {
    IniFile::Batch batch(ini);
    batch.WriteString("Main", "Caption", "VYK-05");
    batch.WriteInteger("Main", "BandRate", 115200);
    batch.WriteInteger("Main", "VykMax", 6000);
    batch.WriteString("Main", "hisFile", "");
    batch.WriteString("Ports", "COM1", "/dev/ttyUSB0");
    (void)StoreZones(ini, FullTable(0));  // goes with the batch's commit
    return batch.Commit().ok;
}

void BM_StoreZones(benchmark::State& state) {
    QTemporaryDir dir;
    IniFile ini(dir.filePath("VYK-05.ini"));
    if (!WriteProgramIni(ini)) {
        state.SkipWithError("cannot write the INI file");
        return;
    }
    int seed = 0;
    for (auto _ : state) {
        if (!StoreZones(ini, FullTable(++seed))) {
            state.SkipWithError("StoreZones failed");
            return;
        }
    }
}
BENCHMARK(BM_StoreZones)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadZones(benchmark::State& state) {
    QTemporaryDir dir;
    IniFile ini(dir.filePath("VYK-05.ini"));
    if (!WriteProgramIni(ini)) {
        state.SkipWithError("cannot write the INI file");
        return;
    }
    for (auto _ : state) {
        ZoneTable table;
        LoadZones(ini, table);
        benchmark::DoNotOptimize(table);
    }
}
BENCHMARK(BM_LoadZones)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
