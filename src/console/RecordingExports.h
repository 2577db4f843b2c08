#pragma once

// The console's exports from a recording: a range of revolutions as CSV, and the whole
// recording or a range as MCAP, during a replay or of a recording chosen without replaying it.
// The questions, refusals and failures go through the Prompt; a long export reports to a
// progress view that can cancel it.

#include <QString>
#include <cstdint>

#include "RecordingSet.h"
#include "RevolutionFeed.h"
#include "RevolutionIndex.h"

class Prompt;

namespace console {

// A window with a progress bar and a cancel button while an export runs.
class ExportProgressView {
public:
    virtual ~ExportProgressView() = default;
    virtual void Begin(const QString& text) = 0;
    // Lets pending window messages run; false once the user cancelled.
    virtual bool Report(uint64_t done, uint64_t total) = 0;
    virtual void End() = 0;
};

// What a replay gives: the recording, its index as far as it grew, the revolution shown.
struct ReplayedRecording {
    const record::RecordingSet& set;
    const record::RevolutionIndex& index;
    int shown = 0;  // from 0
    int baud = 0;
};

class RecordingExports {
public:
    RecordingExports(Prompt& prompt, ExportProgressView& progress);

    int32_t distanceLimit = 6000;
    QString folder;  // where the file dialogs open

    // "导出区间...": asks for the first and last revolution (counted from 1, the shown one
    // offered) and a file name, and writes the CSV.
    void ExportRange(const ReplayedRecording& replay);
    // "导出MCAP..." during a replay: the whole recording or a range of it.
    void ExportMcap(const ReplayedRecording& replay);
    // "导出MCAP..." without a replay: the recording chosen, exported whole at this line speed.
    void ExportMcapOfFile(const QString& recording, int baud);

private:
    // The range the user enters, as index numbers; false when cancelled or refused.
    bool AskRange(const QString& caption, const ReplayedRecording& replay, int& first, int& last);
    // The file to write; empty when cancelled.
    QString AskFile(const QString& caption, const QString& filter, const QString& suffix);
    void WriteMcap(const record::RecordingSet& set, const record::RevolutionSpan& span, int baud,
                   const QString& path);
    // What was written, or the failure with its reason; a cancel needs no message.
    void Tell(const record::FeedOutcome& outcome, const QString& path);

    Prompt& prompt_;
    ExportProgressView& progress_;
};

}  // namespace console
