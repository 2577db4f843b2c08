#pragma once

// The measurement stream: one revolution after the other, each opened by its info points and
// followed by its samples, produced a slice at a time so replies can go out between slices.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "Room.h"
#include "ScannerState.h"
#include "SimOptions.h"
#include "ZoneCheck.h"

// A text line as the scanner sends it: CR LF and then a lone end mark, which makes the stream
// decoder resume in step, so the packet after a line keeps its first byte.
void AppendTextLine(std::string& out, const std::string& text);

class TScanStream {
public:
    // dropTurns: every n-th revolution is left out whole; 0 leaves out none.
    TScanStream(ScannerModel model, int packetBytes, uint32_t seed, int dropTurns = 0);

    // Samples in one turn: what fills the line at that rate once the turn's info points
    // (5768, 5760 and on the zone model 5770) are counted.
    static int SamplesPerTurn(int baud, int hz, int packetBytes, ScannerModel model);

    // Appends whole packets and lines until at least minBytes were added.
    void Produce(std::string& out, size_t minBytes, const ScannerState& state, int group);

    // Lets the scan clock catch up with real time after the motor stood still.
    void AdvanceTo(double seconds);

    double Seconds() const { return turnStart_; }
    int Revolution() const { return revolution_; }
    // Revolutions left out that a sent one followed, so a reader can tell them.
    int64_t LeftOut() const { return leftOut_; }

    static constexpr double kMissingReturnRate = 0.02;
    static constexpr double kStatusInterval = 5;

private:
    void StartTurn(std::string& out, const ScannerState& state, int group);
    void AppendInfo(std::string& out, int code, int value) const;
    void AppendSample(std::string& out, const ScannerState& state, int index);

    ScannerModel model_;
    int packetBytes_;
    int dropTurns_;
    bool dropping_ = false;  // this revolution is left out
    int64_t leftOut_ = 0;
    int64_t pendingLeftOut_ = 0;
    std::string leftOutBytes_;
    std::mt19937 random_;
    TRoom room_;

    int revolution_ = 0;    // turns started so far
    double turnStart_ = 0;  // scan clock, seconds
    double catchUp_ = 0;
    int lastSecond_ = -1;
    int lastStatus_ = -1;
    int turnHz_ = 0;
    int turnSamples_ = 0;
    int nextSample_ = 0;  // 0 with turnSamples_ == 0: a turn is due
    std::vector<SimSample> lastTurn_;
    std::vector<SimSample> thisTurn_;
};
