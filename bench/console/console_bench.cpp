// 30 s of the simulator at 921600 baud through the console's port, acquisition loop and circle
// view at 1920 x 1040, ticked every 20 ms as the window's timer does.

#include "LiveScan.h"
#include "SerialPort.h"
#include "Vyk10dlg.h"
#include "Vykgraph.h"

namespace {

constexpr int kSeconds = 30;

void BM_ConsoleLive(benchmark::State& state) {
    for (auto _ : state) {
        LiveSetup<console::ConsoleOptions> live("VYK-10.ini");
        console::TfrmVYK10 window(live.options);
        if (!OpenLive(state, window))
            return;
        TickLive(state, live.relay, window,
                 {"--baud", "921600", "--duration", QString::number(kSeconds)}, 20);
        state.counters["points_k"] = window.store.pointCount / 1000.0;
        state.counters["plot_width"] = window.Graph()->PlotWidth();
    }
}
BENCHMARK(BM_ConsoleLive)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return LiveBenchMain(argc, argv);
}
