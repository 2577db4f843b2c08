#include "RecordingReplay.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace scanwindow {
namespace {

// The segment of the set read from this file: an archive's first entry, or the file itself.
int SegmentOfFile(const record::RecordingSet& set, const QString& path) {
    const QString wanted = QFileInfo(path).absoluteFilePath();
    for (int k = 0; k < set.SegmentCount(); ++k) {
        const record::Segment& segment = set.At(k);
        if (segment.entry <= 0 && QFileInfo(segment.path).absoluteFilePath() == wanted)
            return k;
    }
    return 0;
}

}  // namespace

QString ReplayPositionText(int revolution, int count, bool complete, double seconds) {
    const auto millis = static_cast<int64_t>(std::llround(std::max(seconds, 0.0) * 1000));
    const QString time = QStringLiteral("%1:%2:%3.%4")
                             .arg(millis / 3600000)
                             .arg(millis / 60000 % 60, 2, 10, QLatin1Char('0'))
                             .arg(millis / 1000 % 60, 2, 10, QLatin1Char('0'))
                             .arg(millis % 1000, 3, 10, QLatin1Char('0'));
    return QStringLiteral("revolution %1 of %2%3  %4")
        .arg(revolution + 1)
        .arg(count)
        .arg(complete ? QString() : QStringLiteral("…"))
        .arg(time);
}

std::unique_ptr<RecordingReplay> RecordingReplay::Open(const QString& path, int32_t distanceLimit,
                                                       QString& error) {
    std::unique_ptr<RecordingReplay> replay(new RecordingReplay);
    if (!replay->set_.Open(path, error))
        return nullptr;
    replay->opened_ = SegmentOfFile(replay->set_, path);
    replay->index_ = std::make_unique<record::RevolutionIndex>(replay->set_, distanceLimit);
    replay->cursor_ =
        std::make_unique<record::RecordingCursor>(replay->set_, *replay->index_, distanceLimit);
    replay->playback_ =
        std::make_unique<record::Playback>(*replay->index_, replay->cursor_->ByteRate());
    replay->index_->Start();
    return replay;
}

// The index's worker is stopped before the set it reads goes.
RecordingReplay::~RecordingReplay() {
    playback_.reset();
    cursor_.reset();
    index_.reset();
}

void RecordingReplay::SetBaud(int baud, double now) {
    cursor_->SetBaud(baud);
    playback_->SetByteRate(cursor_->ByteRate(), now);
}

double RecordingReplay::Seconds() const {
    return Revolution() < 0 ? 0 : cursor_->Seconds(Revolution());
}

QString RecordingReplay::PositionText() const {
    return ReplayPositionText(std::max(Revolution(), 0), index_->Count(), index_->Done(),
                              Seconds());
}

QString RecordingReplay::SegmentText(int k) const {
    const record::Segment& segment = set_.At(k);
    // An archive's entry is named as it would lie beside the archive.
    const QString path =
        segment.entry < 0 ? segment.path : QFileInfo(segment.path).dir().filePath(segment.name);
    return QStringLiteral("%1 , %2/%3:%4")
        .arg(path)
        .arg(k)
        .arg(set_.SegmentCount())
        .arg(segment.name);
}

bool RecordingReplay::Moved(bool landed, double now) {
    error_ = landed ? QString() : cursor_->Error();
    if (landed)
        playback_->MovedTo(Revolution(), now);
    return landed;
}

bool RecordingReplay::Move(ReplayMove move, double now) {
    record::RecordingCursor& c = *cursor_;
    error_.clear();
    const int count = index_->Count();
    const bool none =
        count == 0 || (move == ReplayMove::Next && Revolution() + 1 >= count) ||
        (move == ReplayMove::Previous && Revolution() <= 0) ||
        (move == ReplayMove::NextSegment && index_->FirstOf(Segment() + 1) >= count) ||
        (move == ReplayMove::PreviousSegment && index_->FirstOf(Segment()) == 0);
    if (none)
        return false;
    switch (move) {
        case ReplayMove::First:
            return Moved(c.First(), now);
        case ReplayMove::Last:
            return Moved(c.Last(), now);
        case ReplayMove::Next:
            return Moved(c.Next(), now);
        case ReplayMove::Previous:
            return Moved(c.Previous(), now);
        case ReplayMove::NextSegment:
            return Moved(c.NextSegment(), now);
        case ReplayMove::PreviousSegment:
            return Moved(c.PreviousSegment(), now);
    }
    return false;
}

bool RecordingReplay::Seek(int revolution, double now) {
    return Moved(cursor_->Seek(revolution), now);
}

bool RecordingReplay::SeekTimeline(int step, double now) {
    const double fraction = std::clamp(step, 0, kTimelineSteps) / double(kTimelineSteps);
    const auto position = static_cast<uint64_t>(fraction * static_cast<double>(set_.TotalBytes()));
    return Moved(cursor_->SeekPosition(position), now);
}

int RecordingReplay::TimelineStep() const {
    const uint64_t total = set_.TotalBytes();
    if (Revolution() < 0 || total == 0)
        return 0;
    // Rounded up, so that the step taken back lands on the same revolution.
    const double step = std::ceil(static_cast<double>(index_->Position(Revolution())) /
                                  static_cast<double>(total) * kTimelineSteps);
    return std::min(static_cast<int>(step), kTimelineSteps);
}

void RecordingReplay::Play(double now) {
    if (Revolution() >= 0)
        playback_->Play(Revolution(), now);
}

bool RecordingReplay::FirstReady() const {
    const int first = index_->FirstOf(opened_);
    return first + 1 < index_->Count() || (index_->Done() && index_->Count() > 0);
}

ReplayTick RecordingReplay::Tick(double now) {
    ReplayTick tick;
    const int count = index_->Count();
    const bool done = index_->Done();
    tick.grew = count != knownCount_ || done != knownDone_;
    knownCount_ = count;
    knownDone_ = done;
    if (Revolution() < 0) {
        if (FirstReady())
            tick.shown = Seek(std::min(index_->FirstOf(opened_), count - 1), now);
        return tick;
    }
    if (!Playing())
        return tick;
    const record::PlaybackStep step = playback_->Advance(now);
    for (int r = step.first; r <= step.last; ++r) {
        if (!cursor_->Seek(r)) {
            error_ = cursor_->Error();
            playback_->Pause();
            tick.ended = true;
            return tick;
        }
        if (passed)
            passed(r, cursor_->Samples());
    }
    tick.shown = step.draw >= 0;
    // Until the index is done more revolutions may come: playing waits for them.
    if (step.atEnd && done) {
        playback_->Pause();
        tick.ended = true;
        tick.shown = tick.shown || step.last >= step.first;
    }
    return tick;
}

}  // namespace scanwindow
