#pragma once

// A replay of a whole recording without its window: the set opened from any of its files, the
// index of its revolutions built on a worker thread, the revolution shown and the moves to
// another, the timeline's position and the playback at a chosen speed. The window calls it
// from its handlers and its timer and draws what it says.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "Lasernode.h"
#include "Playback.h"
#include "RecordingCursor.h"
#include "RecordingSet.h"
#include "RevolutionIndex.h"

namespace scanwindow {

enum class ReplayMove { First, Last, Next, Previous, NextSegment, PreviousSegment };

// What one tick of the replay changed.
struct ReplayTick {
    bool shown = false;  // another revolution is to be drawn
    bool grew = false;   // the index found more of the recording
    bool ended = false;  // playing reached the last revolution and stopped
};

// "revolution r of R" counted from 1, with "…" while more may be found, and the time from the
// recording's start as h:mm:ss.mmm.
QString ReplayPositionText(int revolution, int count, bool complete, double seconds);

class RecordingReplay {
public:
    // The timeline's range: the whole recording in this many steps.
    static constexpr int kTimelineSteps = 100000;

    // Any archive of the recording, a segment file of it or a raw file; the index starts
    // growing on its worker at once. Null with the reason when no set can be made of it.
    static std::unique_ptr<RecordingReplay> Open(const QString& path, int32_t distanceLimit,
                                                 QString& error);
    ~RecordingReplay();
    RecordingReplay(const RecordingReplay&) = delete;
    RecordingReplay& operator=(const RecordingReplay&) = delete;

    const record::RecordingSet& Set() const { return set_; }
    const record::RevolutionIndex& Index() const { return *index_; }
    // The segment of the file that was opened (an archive's first entry); the replay begins
    // there.
    int OpenedSegment() const { return opened_; }

    // The line speed the recording was made at, for its times and the playback's pace.
    void SetBaud(int baud, double now);
    int Baud() const { return cursor_->Baud(); }

    // -1 until the first revolution was shown.
    int Revolution() const { return cursor_->Revolution(); }
    int Segment() const { return cursor_->Segment(); }
    // The revolution shown, from its 0-degree marker to the next one.
    const std::vector<ScanPoint>& Samples() const { return cursor_->Samples(); }
    double Seconds() const;
    QString PositionText() const;
    // "path , k/N:name": segment k under the path it would have beside its archive.
    QString SegmentText(int k) const;
    const QString& Error() const { return error_; }

    // Each move shows the revolution it lands on. False when there is none there (Error()
    // empty), or with Error() when its bytes could not be read.
    bool Move(ReplayMove move, double now);
    bool Seek(int revolution, double now);
    // The timeline: the revolution under a step, and the step where the shown one begins.
    bool SeekTimeline(int step, double now);
    int TimelineStep() const;

    // Segment k's records into points for the views with a time axis, as many as fit; -1
    // with the reason when it cannot be read.
    int DecodeSegment(int k, ScanPoint* points, int capacity, QString& error) {
        return cursor_->DecodeSegment(k, points, capacity, error);
    }
    // Room DecodeSegment needs for the set's largest segment.
    int SegmentRoom() const { return record::RecordingCursor::SegmentRoom(set_); }

    void Play(double now);
    void Pause() { playback_->Pause(); }
    bool Playing() const { return playback_->Playing(); }
    void SetSpeed(record::PlaybackSpeed speed, double now) { playback_->SetSpeed(speed, now); }
    record::PlaybackSpeed Speed() const { return playback_->Speed(); }

    // Every revolution played through is read and handed here in order, drawn or not.
    std::function<void(int revolution, const std::vector<ScanPoint>& samples)> passed;

    // Called on the window's timer: shows the first revolution once the index has it, and
    // plays on.
    ReplayTick Tick(double now);

private:
    RecordingReplay() = default;
    // After a move: the playback goes on from the revolution reached.
    bool Moved(bool landed, double now);
    // Whether the first revolution of the opened segment is known whole.
    bool FirstReady() const;

    record::RecordingSet set_;
    std::unique_ptr<record::RevolutionIndex> index_;
    std::unique_ptr<record::RecordingCursor> cursor_;
    std::unique_ptr<record::Playback> playback_;
    int opened_ = 0;
    int knownCount_ = 0;
    bool knownDone_ = false;
    QString error_;
};

}  // namespace scanwindow
