// Packing and replaying 32 MiB segments of the simulator's scanner stream (noise, missing
// returns, status lines): each figure is the time of one segment.

#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <time.h>
#include <unistd.h>
#include <zlib.h>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Lasernode.h"
#include "ReplayOpening.h"
#include "ScanStream.h"
#include "ZipArchive.h"

namespace {

constexpr size_t kSegmentBytes = 32u << 20;
constexpr size_t kEndRecordBytes = 22;

const std::vector<uint8_t>& Segment() {
    static const std::vector<uint8_t> segment = [] {
        TScanStream stream(ScannerModel::Vyk10, 4, 7);
        const ScannerState state;
        std::string bytes;
        stream.Produce(bytes, kSegmentBytes, state, 0);
        bytes.resize(kSegmentBytes);
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    }();
    return segment;
}

// A scratch folder in the working directory (not a RAM-backed /tmp), removed at exit.
const std::string& Folder() {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::current_path() / "record_bench.XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        return pattern;
    }();
    return folder;
}

struct RemoveFolder {
    ~RemoveFolder() { std::filesystem::remove_all(Folder()); }
} removeFolder;

std::string SegmentFile() {
    static const std::string path = [] {
        const std::string file = Folder() + "/run.000";
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(Segment().data()),
                   static_cast<std::streamsize>(Segment().size()));
        return file;
    }();
    return path;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void Append(const std::string& archive) {
    std::string error;
    if (!record::AppendFileToArchive(archive, SegmentFile(), error))
        std::abort();
}

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t{bytes[at + 3]} << 24;
}

std::vector<uint8_t> Deflated(int level) {
    uLongf length = compressBound(kSegmentBytes);
    std::vector<uint8_t> packed(length);
    compress2(packed.data(), &length, Segment().data(), kSegmentBytes, level);
    packed.resize(length);
    return packed;
}

// Wall time, which the recorder's thread waits, and the thread's CPU time, which a loaded
// machine does not inflate.
struct Times {
    double wall = 0;
    double cpu = 0;
};

double CpuNow() {
    timespec now = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

template <typename Work>
Times Measure(const Work& work) {
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = CpuNow();
    work();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count(),
            CpuNow() - cpuStart};
}

// zlib's own deflate of the segment in memory, the best of three: what packing cannot beat.
const Times& DeflateTimes() {
    static const Times best = [] {
        Times best{1e9, 1e9};
        for (int i = 0; i < 3; ++i) {
            const Times times =
                Measure([] { benchmark::DoNotOptimize(Deflated(record::kDeflateLevel)); });
            best.wall = std::min(best.wall, times.wall);
            best.cpu = std::min(best.cpu, times.cpu);
        }
        return best;
    }();
    return best;
}

// Packing into an archive that already holds k - 1 segments, with everything that keeps it
// safe: the journal of its old end, synced, and the archive synced before the journal goes.
// After each timed append the old central directory is written back and the file cut to its
// old size, so that every iteration packs the k-th segment. x_deflate compares with zlib's own
// deflate of the segment, x_first with packing the first segment; cpu_ the same in CPU time.
void BM_PackSegment(benchmark::State& state) {
    static Times first;
    const int k = static_cast<int>(state.range(0));
    const std::string archive = Folder() + "/pack.zip";
    std::filesystem::remove(archive);
    SegmentFile();  // made before the clock runs
    for (int i = 1; i < k; ++i) Append(archive);
    uintmax_t size = 0;
    std::vector<uint8_t> tail;
    uint32_t directoryAt = 0;
    if (k > 1) {
        const std::vector<uint8_t> zip = ReadFile(archive);
        size = zip.size();
        directoryAt = Le32(zip, zip.size() - kEndRecordBytes + 16);
        tail.assign(zip.begin() + directoryAt, zip.end());
    }
    Times total;
    for (auto _ : state) {
        const Times times = Measure([&archive] { Append(archive); });
        state.SetIterationTime(times.wall);
        total.wall += times.wall;
        total.cpu += times.cpu;
        if (k > 1) {
            std::fstream file(archive, std::ios::binary | std::ios::in | std::ios::out);
            file.seekp(directoryAt);
            file.write(reinterpret_cast<const char*>(tail.data()),
                       static_cast<std::streamsize>(tail.size()));
            file.close();
            std::filesystem::resize_file(archive, size);
        } else {
            std::filesystem::remove(archive);
        }
    }
    const double n = static_cast<double>(state.iterations());
    const Times mean{total.wall / n, total.cpu / n};
    if (k == 1)
        first = mean;
    state.counters["archive_MB"] = static_cast<double>(size) / 1e6;
    state.counters["x_deflate"] = mean.wall / DeflateTimes().wall;
    state.counters["cpu_x_deflate"] = mean.cpu / DeflateTimes().cpu;
    if (first.wall > 0) {
        state.counters["x_first"] = mean.wall / first.wall;
        state.counters["cpu_x_first"] = mean.cpu / first.cpu;
    }
}
BENCHMARK(BM_PackSegment)
    ->Arg(1)
    ->Arg(10)
    ->Arg(50)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_DeflateAtLevel(benchmark::State& state) {
    const int level = static_cast<int>(state.range(0));
    size_t packed = 0;
    for (auto _ : state) packed = Deflated(level).size();
    state.counters["ratio"] = static_cast<double>(packed) / kSegmentBytes;
}
BENCHMARK(BM_DeflateAtLevel)
    ->DenseRange(1, 3)
    ->Arg(6)
    ->Iterations(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_Deflate(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(Deflated(record::kDeflateLevel));
}
BENCHMARK(BM_Deflate)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Inflate(benchmark::State& state) {
    const std::vector<uint8_t> packed = Deflated(record::kDeflateLevel);
    std::vector<uint8_t> bytes(kSegmentBytes);
    for (auto _ : state) {
        uLongf length = kSegmentBytes;
        uncompress(bytes.data(), &length, packed.data(), packed.size());
        benchmark::DoNotOptimize(bytes.data());
    }
}
BENCHMARK(BM_Inflate)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

std::vector<ScanPoint>& Points() {
    static std::vector<ScanPoint> points(kSegmentBytes / 3 + 1);
    return points;
}

void BM_Decode(benchmark::State& state) {
    const TLaserDecode decoder;
    int count = 0;
    for (auto _ : state) {
        count = decoder.DecodeStream(Points().data(), static_cast<int>(Points().size()),
                                     Segment().data(), kSegmentBytes, 6000);
    }
    state.counters["records"] = count;
}
BENCHMARK(BM_Decode)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

// Opening an archive of one segment with the console's own replay, as its open button does:
// the time until the segment is in the point buffer and its first revolution shown.
void BM_ReplaySegment(benchmark::State& state) {
    const QString archive = QString::fromStdString(Folder() + "/replay.zip");
    std::filesystem::remove(archive.toStdString());
    Append(archive.toStdString());
    int points = 0;
    double load = 0;
    double cpu = 0;
    for (auto _ : state) {
        ReplayOpening opening;
        QString error;
        if (!opening.Open(archive, error)) {
            state.SkipWithError(error.toStdString().c_str());
            return;
        }
        state.SetIterationTime(opening.FirstRevolutionSeconds());
        load += opening.LoadSeconds();
        cpu += opening.FirstRevolutionCpuSeconds();
        points = opening.Points();
    }
    state.counters["records"] = points;
    state.counters["load_s"] = load / static_cast<double>(state.iterations());
    state.counters["cpu_s"] = cpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ReplaySegment)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
