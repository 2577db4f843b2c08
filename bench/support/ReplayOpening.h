#pragma once

// The console's open button without its window, timed: the replay of the whole recording set
// started with its index growing on the worker, the point buffer made room for the largest
// segment and the chosen file's first segment loaded into it, then the replay's timer ticked
// until the first revolution is shown. Opened again, it replaces its replay and keeps the
// point buffer, as the console does.

#include <time.h>
#include <QString>
#include <chrono>
#include <memory>
#include <thread>

#include "Acquisition.h"
#include "HistoryReplay.h"
#include "Lasernode.h"
#include "RecordingReplay.h"
#include "ScriptedPrompt.h"

class ReplayOpening {
public:
    // The replay's timer.
    static constexpr std::chrono::milliseconds kTick{20};

    // False with the reason (a message the console would have shown) when the recording did
    // not open or nothing of it was shown.
    bool Open(const QString& path, QString& error) {
        start_ = std::chrono::steady_clock::now();
        const double cpuStart = ProcessCpuSeconds();
        replay_.reset();
        replay_ = scanwindow::RecordingReplay::Open(path, history_.distanceLimit, error);
        if (!replay_)
            return false;
        if (!history_.MakeRoom(replay_->SegmentRoom())) {
            error = QStringLiteral("no memory for the point buffer");
            return false;
        }
        historyFile_ = path;
        if (history_.LoadChosen(path) != console::LoadResult::Loaded) {
            error = prompt_.MessageTexts().join(QStringLiteral("; "));
            return false;
        }
        loadSeconds_ = Now();
        while (!replay_->Tick(Now()).shown) {
            const bool none = replay_->Index().Done() && replay_->Index().Count() == 0;
            if (none || !replay_->Error().isEmpty()) {
                error = none ? QStringLiteral("no revolution found") : replay_->Error();
                return false;
            }
            std::this_thread::sleep_for(kTick);
        }
        firstSeconds_ = Now();
        firstCpuSeconds_ = ProcessCpuSeconds() - cpuStart;
        return true;
    }

    // From the press to the opened segment in the point buffer, and to the first revolution.
    double LoadSeconds() const { return loadSeconds_; }
    double FirstRevolutionSeconds() const { return firstSeconds_; }
    // The CPU time of both threads until then, which a loaded machine does not inflate.
    double FirstRevolutionCpuSeconds() const { return firstCpuSeconds_; }
    int Points() const { return store_.pointCount; }

    scanwindow::RecordingReplay& Replay() { return *replay_; }
    // Seconds since the press, the replay's clock.
    double Now() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    static double ProcessCpuSeconds() {
        timespec now = {};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    }

    ScriptedPrompt prompt_;
    scanwindow::PointStore store_;
    TLaserDecode decoder_;
    QString historyFile_;
    console::HistoryReplay history_{store_, decoder_, prompt_, historyFile_};
    std::unique_ptr<scanwindow::RecordingReplay> replay_;
    std::chrono::steady_clock::time_point start_;
    double loadSeconds_ = 0;
    double firstSeconds_ = 0;
    double firstCpuSeconds_ = 0;
};
