#pragma once

// The command-line tools' throughput benchmarks: a tool over a 480 MB recording against md5sum
// on the same file in the same run, with the tool's peak resident memory.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "Laserencode.h"
#include "ScannerInterface.h"

extern char** environ;

constexpr size_t kRecordingBytes = 480'000'000;

// A raw recording of 4-byte packets as the scanner sends them: a marker and 5760 samples a turn,
// between 11 and 19 m away.
class LargeRecording {
public:
    explicit LargeRecording(const std::string& name)
        : path_("/tmp/" + name + "-" + std::to_string(getpid()) + ".bin") {
        std::ofstream out(path_, std::ios::binary);
        std::vector<uint8_t> turn;
        for (int revolution = 0; written_ < kRecordingBytes; ++revolution) {
            turn.clear();
            const auto add = [&](const laserencode::Packet4& p) {
                turn.insert(turn.end(), p.begin(), p.end());
            };
            add(laserencode::EncodePacket4(revolution % scanner::kRevolutionCounterModulo,
                                           scanner::kInfoZeroDegree));
            for (int angle = 0; angle < scanner::kAnglesPerTurn; ++angle) {
                const int distance = 1500 + static_cast<int>(400 * std::sin(angle * 0.003)) +
                                     (angle * 7919 + revolution) % 37;
                add(laserencode::EncodePacket4(distance, angle));
            }
            const size_t take = std::min(turn.size(), kRecordingBytes - written_);
            out.write(reinterpret_cast<const char*>(turn.data()),
                      static_cast<std::streamsize>(take));
            written_ += take;
        }
    }
    ~LargeRecording() { std::remove(path_.c_str()); }
    LargeRecording(const LargeRecording&) = delete;
    LargeRecording& operator=(const LargeRecording&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
    size_t written_ = 0;
};

struct RunResult {
    double seconds;  // -1 when the program did not start or did not exit with 0
    double peakMegabytes;
};

// Runs a program with its output to /dev/null; the wall time and its peak resident memory.
inline RunResult RunToNull(std::vector<std::string> args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return {-1, 0};
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {-1, 0};
    return {elapsed.count(), usage.ru_maxrss / 1024.0};
}

// The tool's argv, run with the recording as its last argument, against md5sum on it: the
// iteration time is the tool's; counters give both times, their ratio and the tool's peak memory.
inline void CompareWithMd5sum(benchmark::State& state, const LargeRecording& recording,
                              std::vector<std::string> argv) {
    argv.push_back(recording.path());
    double md5Seconds = 0;
    double toolSeconds = 0;
    double peak = 0;
    for (auto _ : state) {
        const RunResult md5 = RunToNull({"md5sum", recording.path()});
        const RunResult tool = RunToNull(argv);
        if (md5.seconds < 0 || tool.seconds < 0) {
            state.SkipWithError(("md5sum or " + argv[0] + " failed").c_str());
            return;
        }
        state.SetIterationTime(tool.seconds);
        md5Seconds += md5.seconds;
        toolSeconds += tool.seconds;
        peak = std::max(peak, tool.peakMegabytes);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRecordingBytes));
    state.counters["md5sum_s"] = md5Seconds / state.iterations();
    state.counters["tool_s"] = toolSeconds / state.iterations();
    state.counters["times_md5sum"] = toolSeconds / md5Seconds;
    state.counters["peak_rss_MB"] = peak;
}
