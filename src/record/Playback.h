#pragma once

// Which revolution a replay is due to show, from the wall time that passed, at the recording's
// real speed or a multiple of it: the stream's bytes arrived at the byte rate, so a revolution
// is due once its marker's byte position is. Every revolution passed is handed over to be read;
// only as many are drawn as the display can show. The caller gives the time.

#include <cstdint>

#include "RevolutionTable.h"

namespace record {

enum class PlaybackSpeed { X1, X2, X5, X20, Max };

// The speed's name as the user picks it: "1×", "2×", "5×", "20×", "max" (UTF-8).
const char* PlaybackSpeedText(PlaybackSpeed speed);

// The revolutions passed since the last step, first..last in order (none when first > last),
// and the one to draw now, -1 for none.
struct PlaybackStep {
    int first = 0;
    int last = -1;
    int draw = -1;
    bool atEnd = false;  // the last revolution known was reached
};

class Playback {
public:
    static constexpr double kDisplayRate = 50;  // frames per second
    static constexpr int kMaxBatch = 50;        // revolutions read in one step at most

    Playback(const RevolutionPositions& revolutions, double byteRate);

    void SetByteRate(double byteRate, double now);
    void SetSpeed(PlaybackSpeed speed, double now);
    PlaybackSpeed Speed() const { return speed_; }
    void SetDisplayRate(double framesPerSecond) { frame_ = 1.0 / framesPerSecond; }

    // Plays on from revolution current, the one shown.
    void Play(int current, double now);
    void Pause() { playing_ = false; }
    bool Playing() const { return playing_; }
    // The user moved to revolution r; playing goes on from there.
    void MovedTo(int r, double now);

    PlaybackStep Advance(double now);
    int Current() const { return current_; }

private:
    static constexpr double kFrameSlack = 0.8;

    double Factor() const;
    // The byte position of the stream due at now.
    double DuePosition(double now) const;
    void Anchor(double position, double now);

    const RevolutionPositions& revolutions_;
    double byteRate_;
    PlaybackSpeed speed_ = PlaybackSpeed::X1;
    double frame_ = 1.0 / kDisplayRate;
    bool playing_ = false;
    int current_ = 0;
    int drawn_ = -1;
    double lastDraw_ = -1e300;
    // The stream position due at anchorTime_.
    double anchorPosition_ = 0;
    double anchorTime_ = 0;
};

}  // namespace record
