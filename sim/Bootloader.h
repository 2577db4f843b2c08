#pragma once

// The scanner's boot loader: asks for the file information until it comes, takes the image,
// checks its size and CRC, programs it and starts the new firmware.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TBootLoader {
public:
    enum class Phase { Requesting, Receiving, Programming, Restarting, Finished };

    static constexpr double kRequestInterval = 1.0;
    static constexpr double kReceiveTimeout = 3.0;
    // The new firmware starts a while after the boot loader's last message, so that message
    // stands apart from the scan that follows.
    static constexpr double kRestartPause = 0.5;

    // note receives one line for each thing taken from the PC (for the line log).
    TBootLoader(std::string firmwarePath, double programmingPause,
                std::function<void(const std::string&)> note = {});

    void Receive(const char* bytes, size_t count, double now);
    // Appends the messages due at now.
    void Tick(double now, std::string& out);

    Phase CurrentPhase() const { return phase_; }
    // Bytes of the image received in this round.
    size_t ImageReceived() const { return image_.size(); }

private:
    void TakeInfo();
    void Fail(std::string& out);

    std::string firmwarePath_;
    double pause_;
    std::function<void(const std::string&)> note_;
    Phase phase_ = Phase::Requesting;
    double nextRequest_ = 0;
    double lastByte_ = 0;
    double programmed_ = 0;
    double restarted_ = 0;
    std::string pendingOut_;
    std::vector<uint8_t> input_;  // bytes still searched for the file information
    std::vector<uint8_t> image_;
    uint32_t size_ = 0;
    uint32_t crc_ = 0;
};
