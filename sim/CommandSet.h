#pragma once

// The scanner's command interpreter: one received line in, the reply lines out.

#include <string>
#include <vector>

#include "ScannerState.h"
#include "SimOptions.h"

// Cuts received bytes into command lines at CR or LF.
class TLineAssembler {
public:
    static constexpr size_t kMaxLine = 128;

    struct Line {
        std::string text;
        bool tooLong = false;  // text holds the first kMaxLine bytes of a longer line
    };

    std::vector<Line> Feed(const char* bytes, size_t count);
    // What waits for its line end (a half command when the line goes down).
    const std::string& Pending() const { return pending_; }

private:
    std::string pending_;
    bool overflow_ = false;
};

// Every n-th command of a kind mishandled; 0 for none.
struct ZoneFaults {
    int dropAck = 0;      // zone commands ignored
    int slowAck = 0;      // zone commands answered late
    int forgetPoint = 0;  // "#SPR" lines answered but not stored
};

class TCommandSet {
public:
    TCommandSet(ScannerModel model, ScannerState& state, std::string statePath,
                ZoneFaults faults = {});

    // Replies to one line (without its line end); no reply to a line without a command.
    std::vector<std::string> Execute(const std::string& line);

    // What became of the last line executed, for the log and the late replies.
    enum class Fate { Handled, Dropped, Late, NotStored };
    Fate LastFate() const { return fate_; }

    // The motor turns and the output is on: the measurement stream runs.
    bool Streaming() const { return motor_ && output_; }

    static constexpr char kErrorPrefix[] = "#ERR ";

private:
    struct Parsed;
    std::vector<std::string> Dispatch(const Parsed& command);
    std::vector<std::string> SettingsReport() const;
    void ZoneReport(std::vector<std::string>& lines) const;

    ScannerModel model_;
    ScannerState& state_;
    std::string statePath_;
    ZoneFaults faults_;
    int zoneCommands_ = 0;
    int zonePoints_ = 0;
    Fate fate_ = Fate::Handled;
    bool motor_;
    bool output_ = true;
};
