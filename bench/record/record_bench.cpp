// Packing and replaying 32 MiB segments of the simulator's scanner stream (noise, missing
// returns, status lines): each figure is the time of one segment.

#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>
#include <zlib.h>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Lasernode.h"
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

// Packing into an archive that already holds k - 1 segments. After each timed append the old
// central directory is written back and the file cut to its old size, so that every iteration
// packs the k-th segment.
void BM_PackSegment(benchmark::State& state) {
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
    for (auto _ : state) {
        Append(archive);
        state.PauseTiming();
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
        state.ResumeTiming();
    }
    state.counters["archive_MB"] = static_cast<double>(size) / 1e6;
}
BENCHMARK(BM_PackSegment)
    ->Arg(1)
    ->Arg(10)
    ->Arg(50)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

std::vector<uint8_t> Deflated(int level) {
    uLongf length = compressBound(kSegmentBytes);
    std::vector<uint8_t> packed(length);
    compress2(packed.data(), &length, Segment().data(), kSegmentBytes, level);
    packed.resize(length);
    return packed;
}

// zlib alone at a level, with the size it reaches: the figures the recorder's level is chosen by.
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

// What the console does on opening an archive: open, read the first entry whole, decode it.
void BM_ReplaySegment(benchmark::State& state) {
    const std::string archive = Folder() + "/replay.zip";
    std::filesystem::remove(archive);
    Append(archive);
    const TLaserDecode decoder;
    int count = 0;
    for (auto _ : state) {
        record::ZipReader reader(archive);
        std::vector<uint8_t> bytes;
        if (reader.ReadEntry(0, kSegmentBytes, bytes) != record::ZipReader::Result::Ok)
            std::abort();
        count = decoder.DecodeStream(Points().data(), static_cast<int>(Points().size()),
                                     bytes.data(), static_cast<int>(bytes.size()), 6000);
    }
    state.counters["records"] = count;
}
BENCHMARK(BM_ReplaySegment)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
