#include "ScanStream.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Laserencode.h"
#include "ScannerInterface.h"

namespace {

constexpr double kPi = 3.1415926;
constexpr double kNoiseCm = 1.5;

template <size_t N>
void Append(std::string& out, const std::array<uint8_t, N>& packet) {
    out.append(reinterpret_cast<const char*>(packet.data()), N);
}

int MaxDistance(int packetBytes) {
    switch (packetBytes) {
        case 3:
            return 32767;
        case 5:
            return 16383;
        default:
            return 4095;
    }
}

// A start above the end wraps through 0 degrees.
bool InAngleRange(const ScannerState& state, int degrees) {
    if (state.angleStart <= state.angleEnd) {
        return degrees >= state.angleStart && degrees <= state.angleEnd;
    }
    return degrees >= state.angleStart || degrees <= state.angleEnd;
}

int InfoPacketsPerTurn(ScannerModel model) {
    return model == ScannerModel::Vyk05 ? 3 : 2;
}

}  // namespace

void AppendTextLine(std::string& out, const std::string& text) {
    out += text;
    out += scanner::kLineEnd;
    out += '\x80';
}

TScanStream::TScanStream(ScannerModel model, int packetBytes, uint32_t seed, int dropTurns)
    : model_(model), packetBytes_(packetBytes), dropTurns_(dropTurns), random_(seed) {}

int TScanStream::SamplesPerTurn(int baud, int hz, int packetBytes, ScannerModel model) {
    const int infoBytes = packetBytes == 5 ? 5 : 4;
    const int turnBytes = baud / 10 / hz - InfoPacketsPerTurn(model) * infoBytes;
    return std::max(1, turnBytes / packetBytes);
}

void TScanStream::AdvanceTo(double seconds) {
    catchUp_ = std::max(catchUp_, seconds);
}

void TScanStream::AppendInfo(std::string& out, int code, int value) const {
    if (packetBytes_ == 5) {
        Append(out, laserencode::EncodePacket5(value, code));
    } else {
        // A 3-byte packet has no angle, so that stream carries its info points as 4-byte ones.
        Append(out, laserencode::EncodePacket4(value, code));
    }
}

void TScanStream::StartTurn(std::string& out, const ScannerState& state, int group) {
    if (revolution_ > 0)
        turnStart_ += 1.0 / turnHz_;
    turnStart_ = std::max(turnStart_, catchUp_);
    turnHz_ = state.frequency;
    turnSamples_ = SamplesPerTurn(state.baud, turnHz_, packetBytes_, model_);
    nextSample_ = 0;
    lastTurn_.swap(thisTurn_);
    thisTurn_.clear();

    AppendInfo(out, scanner::kInfoZeroDegree, revolution_ % scanner::kRevolutionCounterModulo);
    ++revolution_;
    // The views show the seconds with the frequency point that follows them.
    const int second = static_cast<int>(turnStart_);
    if (second != lastSecond_) {
        lastSecond_ = second;
        const int secondsField = MaxDistance(packetBytes_ == 5 ? 5 : 4) + 1;
        AppendInfo(out, scanner::kInfoSeconds, second % secondsField);
    }
    AppendInfo(out, scanner::kInfoFrequency, scanner::kFrequencyInfoScale / turnHz_);
    if (model_ == ScannerModel::Vyk05) {
        AppendInfo(out, scanner::kInfoT1, OutputState(state, group, lastTurn_));
    }
    const int status = static_cast<int>(turnStart_ / kStatusInterval);
    if (status != lastStatus_) {
        lastStatus_ = status;
        char line[64];
        std::snprintf(line, sizeof line, "%sF4,%d,0x%X,%d,%d", scanner::kStatusLinePrefix, turnHz_,
                      state.modeBits, second, turnSamples_);
        AppendTextLine(out, line);
    }
}

void TScanStream::AppendSample(std::string& out, const ScannerState& state, int index) {
    const int angle = static_cast<int>(int64_t{index} * scanner::kAnglesPerTurn / turnSamples_);
    const double when = turnStart_ + static_cast<double>(index) / turnSamples_ / turnHz_;
    const double range = room_.Range(angle * kPi / (scanner::kAnglesPerTurn / 2), when);
    std::normal_distribution<double> noise(0, kNoiseCm);
    std::uniform_real_distribution<double> chance(0, 1);
    int distance = 0;
    if (range > 0 && chance(random_) >= kMissingReturnRate) {
        distance = std::clamp(static_cast<int>(std::lround(range + noise(random_))), 1,
                              MaxDistance(packetBytes_));
    }
    if (((state.modeBits & 4) && distance < state.minDistance) ||
        ((state.modeBits & 8) && distance > state.maxDistance) ||
        ((state.modeBits & 32) && !InAngleRange(state, angle / 16))) {
        distance = 0;
    }
    switch (packetBytes_) {
        case 3:
            Append(out, laserencode::EncodePacket3(distance));
            break;
        case 5:
            Append(out, laserencode::EncodePacket5(distance, angle));
            break;
        default:
            Append(out, laserencode::EncodePacket4(distance, angle));
            break;
    }
    if (model_ == ScannerModel::Vyk05)
        thisTurn_.push_back({angle, distance});
}

void TScanStream::Produce(std::string& out, size_t minBytes, const ScannerState& state, int group) {
    const size_t target = out.size() + minBytes;
    while (out.size() < target) {
        if (nextSample_ >= turnSamples_) {
            dropping_ = dropTurns_ > 0 && revolution_ % dropTurns_ == dropTurns_ - 1;
            if (dropping_) {
                ++pendingLeftOut_;
            } else {
                leftOut_ += pendingLeftOut_;
                pendingLeftOut_ = 0;
            }
            StartTurn(dropping_ ? leftOutBytes_ : out, state, group);
        }
        AppendSample(dropping_ ? leftOutBytes_ : out, state, nextSample_++);
        leftOutBytes_.clear();
    }
}
