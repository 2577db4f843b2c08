#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "Laserencode.h"
#include "Lasernode.h"
#include "LinkCounts.h"
#include "ScannerInterface.h"

namespace {

constexpr size_t kStreamBytes = 32u << 20;
constexpr int kSamplesPerTurn = 2000;

// A rotating scan of a round room with some texture: a marker, then one turn of samples.
std::vector<uint8_t> RotatingScan() {
    std::vector<uint8_t> bytes;
    bytes.reserve(kStreamBytes);
    int revolution = 0;
    while (bytes.size() + 4 <= kStreamBytes) {
        const auto marker = laserencode::EncodePacket4(
            revolution++ % scanner::kRevolutionCounterModulo, scanner::kInfoZeroDegree);
        bytes.insert(bytes.end(), marker.begin(), marker.end());
        for (int i = 0; i < kSamplesPerTurn && bytes.size() + 4 <= kStreamBytes; ++i) {
            const int angle = i * scanner::kAnglesPerTurn / kSamplesPerTurn;
            const int distance =
                1500 + static_cast<int>(400 * std::sin(angle * 0.003)) + (i * 7919) % 37;
            const auto packet = laserencode::EncodePacket4(distance, angle);
            bytes.insert(bytes.end(), packet.begin(), packet.end());
        }
    }
    return bytes;
}

std::vector<uint8_t> RandomBytes() {
    std::vector<uint8_t> bytes(kStreamBytes);
    std::mt19937 random(12345);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

// counted: with the link's figures gathered, as the live loop and vyk-decode --stats decode.
void RunDecode(benchmark::State& state, const std::vector<uint8_t>& bytes, bool counted) {
    // Room for every possible record, touched once so page faults stay out of the timing.
    std::vector<ScanPoint> points(bytes.size() / 3 + 1, ScanPoint{});
    const TLaserDecode decoder;
    int records = 0;
    LinkCounts counts;
    for (auto _ : state) {
        const int size = static_cast<int>(bytes.size());
        records =
            counted
                ? decoder.DecodeStream(points.data(), static_cast<int>(points.size()), bytes.data(),
                                       size, scanner::kDefaultDistanceLimit, counts)
                : decoder.DecodeStream(points.data(), static_cast<int>(points.size()), bytes.data(),
                                       size, scanner::kDefaultDistanceLimit);
        benchmark::DoNotOptimize(records);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes.size());
    state.counters["records"] = records;
}

void BM_DecodeStream_Packets4(benchmark::State& state) {
    static const std::vector<uint8_t> bytes = RotatingScan();
    RunDecode(state, bytes, state.range(0) != 0);
}

void BM_DecodeStream_Random(benchmark::State& state) {
    static const std::vector<uint8_t> bytes = RandomBytes();
    RunDecode(state, bytes, state.range(0) != 0);
}

void BM_Memcpy(benchmark::State& state) {
    static const std::vector<uint8_t> bytes = RandomBytes();
    std::vector<uint8_t> copy(bytes.size(), 0);
    for (auto _ : state) {
        std::memcpy(copy.data(), bytes.data(), bytes.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes.size());
}

}  // namespace

// Argument 1: counted.
BENCHMARK(BM_DecodeStream_Packets4)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeStream_Random)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
