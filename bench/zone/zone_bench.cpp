// 30 s of the simulated VYK-05 at 921600 baud through the zone tool's port, acquisition loop and
// circle view with three five-point zones at 1920 x 1040, ticked every 30 ms as the window's
// timer does. The zones come from the INI file as the window loads them at start.

#include "LiveScan.h"
#include "SerialPort.h"
#include "ThreeZones.h"
#include "Vyk10dlg.h"
#include "Vykgraph.h"

namespace {

constexpr int kSeconds = 30;

void BM_ZoneLive(benchmark::State& state) {
    for (auto _ : state) {
        LiveSetup<zone::ZoneToolOptions> live("VYK-05.ini");
        if (!StoreZones(live.ini, ThreeZones())) {
            state.SkipWithError("cannot write the zones");
            return;
        }
        zone::TfrmVYK10 window(live.options);
        if (!OpenLive(state, window))
            return;
        TickLive(state, live.relay, window,
                 {"--model", "vyk05", "--baud", "921600", "--duration", QString::number(kSeconds)},
                 30);
        state.counters["points_k"] = window.store.pointCount / 1000.0;
        int zones = 0;
        for (int slot = 0; slot < TVykGraph::kZoneSlots; ++slot)
            zones += window.Graph()->Zone(slot).count > 0 ? 1 : 0;
        state.counters["zones"] = zones;
    }
}
BENCHMARK(BM_ZoneLive)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return LiveBenchMain(argc, argv);
}
