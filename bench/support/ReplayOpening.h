#pragma once

// The console's open button without its window, timed: the replay of the whole recording set
// started with its index growing on the worker, the opened segment loaded into the point buffer
// for the views with a time axis, then the replay's timer ticked until the first revolution is
// shown.

#include <time.h>
#include <QString>
#include <chrono>
#include <memory>
#include <thread>

#include "Acquisition.h"
#include "HistoryReplay.h"
#include "Lasernode.h"
#include "RecordingCursor.h"
#include "RecordingSet.h"
#include "RevolutionIndex.h"
#include "ScriptedPrompt.h"

class ReplayOpening {
public:
    // The replay's timer.
    static constexpr std::chrono::milliseconds kTick{20};

    // False with the reason (a message the console would have shown) when the recording did
    // not open or nothing of it was shown.
    bool Open(const QString& path, QString& error) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ProcessCpuSeconds();
        if (!set_.Open(path, error))
            return false;
        index_ = std::make_unique<record::RevolutionIndex>(set_);
        cursor_ = std::make_unique<record::RecordingCursor>(set_, *index_);
        index_->Start();
        historyFile_ = path;
        const console::LoadResult loaded = console::HistoryReplay::IsArchivePath(path)
                                               ? history_.LoadArchiveEntry(0)
                                               : history_.LoadHistoryFile(path);
        loadSeconds_ = Since(start);
        if (loaded != console::LoadResult::Loaded) {
            error = prompt_.MessageTexts().join(QStringLiteral("; "));
            return false;
        }
        while (!FirstReady() && !index_->Done()) std::this_thread::sleep_for(kTick);
        if (!cursor_->Seek(index_->FirstOf(0))) {
            error = cursor_->Error();
            return false;
        }
        firstSeconds_ = Since(start);
        firstCpuSeconds_ = ProcessCpuSeconds() - cpuStart;
        return true;
    }

    // From the press to the opened segment in the point buffer, and to the first revolution.
    double LoadSeconds() const { return loadSeconds_; }
    double FirstRevolutionSeconds() const { return firstSeconds_; }
    // The CPU time of both threads until then, which a loaded machine does not inflate.
    double FirstRevolutionCpuSeconds() const { return firstCpuSeconds_; }
    int Points() const { return store_.pointCount; }

    const record::RevolutionIndex& Index() const { return *index_; }
    record::RecordingCursor& Cursor() { return *cursor_; }

private:
    static double ProcessCpuSeconds() {
        timespec now = {};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    }
    static double Since(std::chrono::steady_clock::time_point start) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }

    // The first revolution is known whole once the next one begins or the index is done.
    bool FirstReady() const {
        return index_->FirstOf(0) + 1 < index_->Count() || (index_->Done() && index_->Count() > 0);
    }

    ScriptedPrompt prompt_;
    scanwindow::PointStore store_;
    TLaserDecode decoder_;
    QString historyFile_;
    console::HistoryReplay history_{store_, decoder_, prompt_, historyFile_};
    record::RecordingSet set_;
    // The cursor goes before the index, whose worker stops before the set goes.
    std::unique_ptr<record::RevolutionIndex> index_;
    std::unique_ptr<record::RecordingCursor> cursor_;
    double loadSeconds_ = 0;
    double firstSeconds_ = 0;
    double firstCpuSeconds_ = 0;
};
