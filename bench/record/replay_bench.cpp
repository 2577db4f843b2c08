// Opening a long recording as the console does and moving about in it with its replay, over 99
// segments of the simulator's scanner stream recorded by the console's own recorder.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "Lasernode.h"
#include "Logfile.h"
#include "RecordingReplay.h"
#include "RecordingSet.h"
#include "ReplayOpening.h"
#include "ScanStream.h"
#include "ScannerInterface.h"

namespace {

constexpr int kSegments = 99;
constexpr int kJumps = 20;
// What one tick of the acquisition loop hands to the recorder at most.
constexpr size_t kTickBytes = 10000;

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The recording's folder beside the benchmark; a run that broke off left only its ".partial".
const QString kFolder = QStringLiteral(VYK_REPLAY_BENCH_DIR);
const QString kRecording = kFolder + QStringLiteral("/run.Zip");

bool HasAllSegments() {
    record::RecordingSet set;
    QString error;
    return set.Open(kRecording, error) && set.SegmentCount() == kSegments;
}

// kSegments segments of the scanner's stream, written in ticks as the console records it.
bool Generate(QString& error) {
    const QString partial = kFolder + QStringLiteral(".partial");
    QDir(partial).removeRecursively();
    QDir(kFolder).removeRecursively();
    if (!QDir().mkpath(partial)) {
        error = partial + QStringLiteral(": cannot be created");
        return false;
    }
    {
        record::TLogFile log(partial + QStringLiteral("/run.dat"), record::kLogBufferSize,
                             record::kSegmentLimit, record::kArchiveCount);
        TScanStream stream(ScannerModel::Vyk10, 4, 7);
        const ScannerState state;
        const uint64_t total = uint64_t{kSegments} * record::kSegmentLimit;
        std::string bytes;
        for (uint64_t written = 0; written < total;) {
            bytes.clear();
            stream.Produce(bytes, 1 << 20, state, 0);
            for (size_t at = 0; at < bytes.size() && written < total;) {
                const size_t chunk = std::min({kTickBytes, bytes.size() - at, total - written});
                if (!log.WriteStream(reinterpret_cast<const uint8_t*>(bytes.data()) + at,
                                     static_cast<int>(chunk))) {
                    error = log.Status().lastFault.path + QStringLiteral(": ") +
                            log.Status().lastFault.reason;
                    return false;
                }
                at += chunk;
                written += chunk;
            }
        }
        log.CloseLog();
        if (log.Status().faults > 0) {
            error =
                log.Status().lastFault.path + QStringLiteral(": ") + log.Status().lastFault.reason;
            return false;
        }
    }
    if (!QDir().rename(partial, kFolder)) {
        error = kFolder + QStringLiteral(": cannot be renamed into place");
        return false;
    }
    return true;
}

// Made once, then reused by later runs.
bool EnsureRecording(QString& error) {
    return HasAllSegments() || (Generate(error) && HasAllSegments());
}

// The recording's pages leave the page cache, so each opening reads the disk as a recording
// not read lately does; only this folder's files are touched.
void ForgetCachedPages() {
    QDirIterator files(kFolder, QDir::Files);
    while (files.hasNext()) {
        const int fd = open(QFile::encodeName(files.next()).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        fdatasync(fd);
        posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        close(fd);
    }
}

// The process's peak resident memory from here on; where the kernel cannot reset it, the peak
// includes the recording's generation.
void ResetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

double PeakMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmHWM:") {
            double kilobytes = 0;
            status >> kilobytes;
            return kilobytes / 1024;
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024;
}

// The replay shows revolution r: its samples open with r's marker and counter.
bool OnRevolution(const scanwindow::RecordingReplay& replay, int r) {
    const std::vector<ScanPoint>& samples = replay.Samples();
    const record::RevolutionIndex& index = replay.Index();
    return replay.Revolution() == r && samples.size() > 1 &&
           samples.front().angle == scanner::kInfoZeroDegree &&
           samples.front().distance == index.Counter(r);
}

// Each iteration opens the recording from a cold cache as the console's open button does, in
// one console as a user opens it again;
// first_revolution_s is the time until its first revolution is shown (_cpu_s the CPU time of
// both threads meanwhile). Once the index holds every segment (index_s), the replay jumps to
// kJumps random revolutions of the whole recording; jump_ms is the slowest. peak_mb is the peak
// resident memory of the replay. Each figure is the worst of the iterations.
void BM_OpenRecordingSet(benchmark::State& state) {
    QString error;
    if (!EnsureRecording(error)) {
        state.SkipWithError(error.toStdString().c_str());
        return;
    }
    std::mt19937 random(26);
    double first = 0;
    double firstCpu = 0;
    double indexed = 0;
    double slowestJump = 0;
    double peak = 0;
    int revolutions = 0;
    ReplayOpening opening;
    for (auto _ : state) {
        state.PauseTiming();
        ForgetCachedPages();
        ResetPeakMemory();
        state.ResumeTiming();
        const Clock::time_point start = Clock::now();
        if (!opening.Open(kRecording, error)) {
            state.SkipWithError(error.toStdString().c_str());
            return;
        }
        first = std::max(first, opening.FirstRevolutionSeconds());
        firstCpu = std::max(firstCpu, opening.FirstRevolutionCpuSeconds());
        scanwindow::RecordingReplay& replay = opening.Replay();
        const record::RevolutionIndex& index = replay.Index();
        while (!index.Done()) std::this_thread::sleep_for(ReplayOpening::kTick);
        indexed = std::max(indexed, SecondsSince(start));
        revolutions = index.Count();
        std::uniform_int_distribution<int> anywhere(0, revolutions - 1);
        for (int i = 0; i < kJumps; ++i) {
            const int r = anywhere(random);
            const Clock::time_point jump = Clock::now();
            const bool moved = replay.Seek(r, opening.Now());
            slowestJump = std::max(slowestJump, SecondsSince(jump) * 1000);
            if (!moved || !OnRevolution(replay, r)) {
                state.SkipWithError("a jump did not land on its revolution");
                return;
            }
        }
        peak = std::max(peak, PeakMegabytes());
    }
    state.counters["first_revolution_s"] = first;
    state.counters["first_revolution_cpu_s"] = firstCpu;
    state.counters["jump_ms"] = slowestJump;
    state.counters["peak_mb"] = peak;
    state.counters["index_s"] = indexed;
    state.counters["revolutions"] = revolutions;
}
BENCHMARK(BM_OpenRecordingSet)->Iterations(3)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
