#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include "AgainstMd5sum.h"

namespace {

// vyk-decode with these arguments before the recording: the target is at most 6 times md5sum's
// time and under 100 MB of peak resident memory.
void CompareDecodeWithMd5sum(benchmark::State& state, std::vector<std::string> args) {
    static const LargeRecording recording("vyk-decodecli-bench");
    args.insert(args.begin(), VYK_DECODE_PATH);
    CompareWithMd5sum(state, recording, args);
}

void BM_VykDecodeVsMd5sum(benchmark::State& state) {
    CompareDecodeWithMd5sum(state, {});
}
BENCHMARK(BM_VykDecodeVsMd5sum)->UseManualTime()->Iterations(3)->Unit(benchmark::kSecond);

// The recording converted into an MCAP file of LaserScan messages.
void BM_VykDecodeMcapVsMd5sum(benchmark::State& state) {
    const std::string out = "/tmp/vyk-decodecli-bench-" + std::to_string(getpid()) + ".mcap";
    CompareDecodeWithMd5sum(state, {"--mcap", out});
    std::remove(out.c_str());
}
BENCHMARK(BM_VykDecodeMcapVsMd5sum)->UseManualTime()->Iterations(3)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
