#include "Playback.h"

#include <algorithm>

namespace record {

const char* PlaybackSpeedText(PlaybackSpeed speed) {
    switch (speed) {
        case PlaybackSpeed::X1:
            return "1×";
        case PlaybackSpeed::X2:
            return "2×";
        case PlaybackSpeed::X5:
            return "5×";
        case PlaybackSpeed::X20:
            return "20×";
        case PlaybackSpeed::Max:
            break;
    }
    return "max";
}

Playback::Playback(const RevolutionPositions& revolutions, double byteRate)
    : revolutions_(revolutions), byteRate_(byteRate) {}

double Playback::Factor() const {
    switch (speed_) {
        case PlaybackSpeed::X1:
            return 1;
        case PlaybackSpeed::X2:
            return 2;
        case PlaybackSpeed::X5:
            return 5;
        case PlaybackSpeed::X20:
            return 20;
        case PlaybackSpeed::Max:
            break;
    }
    return 0;
}

double Playback::DuePosition(double now) const {
    return anchorPosition_ + std::max(0.0, now - anchorTime_) * byteRate_ * Factor();
}

void Playback::Anchor(double position, double now) {
    anchorPosition_ = position;
    anchorTime_ = now;
}

void Playback::SetByteRate(double byteRate, double now) {
    Anchor(DuePosition(now), now);
    byteRate_ = byteRate;
}

void Playback::SetSpeed(PlaybackSpeed speed, double now) {
    // From max the shown revolution is where the time goes on from.
    Anchor(speed_ == PlaybackSpeed::Max && revolutions_.Count() > 0
               ? static_cast<double>(revolutions_.Position(current_))
               : DuePosition(now),
           now);
    speed_ = speed;
}

void Playback::Play(int current, double now) {
    playing_ = true;
    MovedTo(current, now);
}

void Playback::MovedTo(int r, double now) {
    current_ = std::max(r, 0);
    drawn_ = current_;
    Anchor(
        current_ < revolutions_.Count() ? static_cast<double>(revolutions_.Position(current_)) : 0,
        now);
}

PlaybackStep Playback::Advance(double now) {
    PlaybackStep step;
    const int count = revolutions_.Count();
    step.first = current_ + 1;
    if (playing_ && count > 0) {
        int due = speed_ == PlaybackSpeed::Max
                      ? current_ + kMaxBatch
                      : revolutions_.At(static_cast<uint64_t>(DuePosition(now)));
        due = std::min(due, count - 1);
        if (due > current_ + kMaxBatch) {
            // More than can be read in a step: the replay slows instead of falling behind.
            due = current_ + kMaxBatch;
            Anchor(static_cast<double>(revolutions_.Position(due)), now);
        }
        if (due > current_)
            current_ = due;
    }
    step.last = current_;
    step.atEnd = count == 0 || current_ >= count - 1;
    // A timer tick a little early must not wait a whole frame more.
    if (current_ != drawn_ && now - lastDraw_ >= frame_ * kFrameSlack) {
        step.draw = current_;
        drawn_ = current_;
        lastDraw_ = now;
    }
    return step;
}

}  // namespace record
