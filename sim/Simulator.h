#pragma once

// The scanner on its line: reads commands, answers them, sends the measurement stream or
// runs the boot loader, and plays the faults it was asked for.

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Bootloader.h"
#include "CommandSet.h"
#include "Device.h"
#include "LineFaults.h"
#include "LineLog.h"
#include "Pacer.h"
#include "ScanStream.h"
#include "ScannerState.h"
#include "SimOptions.h"

class TSimulator {
public:
    explicit TSimulator(const SimOptions& options);
    ~TSimulator();

    // Opens the line and the log; warnings (an unreadable state file) go to stderr.
    bool Open(std::string& error);
    const std::string& Path() const { return device_.Path(); }

    // Runs until the duration, a hangup, a stop request or the loss of the line; the exit code.
    int Run();

    // Safe to call from a signal handler.
    static void RequestStop();

private:
    double Now() const;
    void Queue(const std::string& bytes);
    void SendReply(double now, const std::string& reply);
    void SendLateReplies(double now);
    void HandleInput(double now, const char* bytes, size_t count);
    void Produce(double now);
    bool Flush(double now);

    SimOptions options_;
    ScannerState state_;
    TDevice device_;
    TLineLog log_;
    int tee_ = -1;
    TPacer pacer_;
    TLineFaults faults_;
    TLineFaults bootFaults_;  // on what the boot loader receives
    TLineAssembler assembler_;
    std::unique_ptr<TCommandSet> commands_;
    TScanStream stream_;
    std::unique_ptr<TBootLoader> boot_;
    // The boot loader took its fault's share of the image.
    bool ImageReached(long bytes) const;

    std::string out_;
    // Replies held back by --slow-ack, with the time each is due.
    std::vector<std::pair<double, std::string>> late_;
    bool deaf_ = false;
    int pacedBaud_ = 0;
    std::chrono::steady_clock::time_point start_;
};
