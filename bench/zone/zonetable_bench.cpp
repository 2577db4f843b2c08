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
void WriteProgramIni(IniFile& ini) {
    const IniFile::Batch batch(ini);
    ini.WriteString("Main", "Caption", "VYK-05");
    ini.WriteInteger("Main", "BandRate", 115200);
    ini.WriteInteger("Main", "VykMax", 6000);
    ini.WriteString("Main", "hisFile", "");
    ini.WriteString("Ports", "COM1", "/dev/ttyUSB0");
    StoreZones(ini, FullTable(0));
}

void BM_StoreZones(benchmark::State& state) {
    QTemporaryDir dir;
    IniFile ini(dir.filePath("VYK-05.ini"));
    WriteProgramIni(ini);
    int seed = 0;
    for (auto _ : state) StoreZones(ini, FullTable(++seed));
}
BENCHMARK(BM_StoreZones)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadZones(benchmark::State& state) {
    QTemporaryDir dir;
    IniFile ini(dir.filePath("VYK-05.ini"));
    WriteProgramIni(ini);
    for (auto _ : state) {
        ZoneTable table;
        LoadZones(ini, table);
        benchmark::DoNotOptimize(table);
    }
}
BENCHMARK(BM_LoadZones)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
