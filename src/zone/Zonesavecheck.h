#pragma once

// After a zone save's transfer, reads the scanner's zones back and tells which of the saved
// zones, or the output levels, it did not store as they were sent.

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "Settingsreply.h"
#include "Zonereadback.h"
#include "Zonetable.h"
#include "Zonetransfer.h"

struct SaveCheckOutcome {
    std::vector<ZoneDifference> differences;
    // Saved zones, their points or the output levels the report left out.
    std::vector<TZoneReadBack::Missing> missing;

    bool AllStored() const { return differences.empty() && missing.empty(); }
};

// The message listing what the scanner did not store; empty when it stored all.
QString SaveCheckText(const SaveCheckOutcome& outcome, const ZoneTable& sent);

class TZoneSaveCheck {
public:
    // How long the report may pause before it is taken as it came. The serial port may write
    // the request only after the read in progress, and holds a report's last bytes for its
    // 1 s between bytes before it hands them on.
    static constexpr int64_t kQuietMs = 3000;

    explicit TZoneSaveCheck(TZoneTransfer& transfer,
                            TZoneTransfer::Clock clock = TZoneTransfer::SteadyMilliseconds)
        : transfer_(transfer), clock_(std::move(clock)) {}

    // Zone z of table was saved and its lines queued; it is checked once the queue is drained.
    void Saved(const ZoneTable& table, int z);

    // Every timer tick, before the transfer's own: the read-back goes out on a tick that
    // starts with the queue empty, so it never meets a queued line in the port's one send
    // buffer, and only after the last line was acknowledged.
    void Tick();

    // A settings reply; true when it belongs to the read-back being collected alone, so the
    // zones the user saved stay in the model and the boxes.
    bool Take(const SettingsReply& reply);
    // The user asked for the settings too: the report being collected is theirs as well.
    void ReportAsked() { shared_ = true; }

    // The port is back after an outage: a report the outage cut is asked again.
    void Reconnected();

    bool Busy() const { return state_ != State::Idle; }

    // The check is done; outcome.AllStored() when the scanner holds what was sent.
    std::function<void(const SaveCheckOutcome& outcome, const ZoneTable& sent)> onChecked;

private:
    enum class State { Idle, Waiting, Collecting };

    // The saved zones, their points and the output levels not reported yet.
    std::vector<TZoneReadBack::Missing> MissingOfSaved() const;
    void Finish();

    TZoneTransfer& transfer_;
    TZoneTransfer::Clock clock_;
    State state_ = State::Idle;
    ZoneTable sent_;
    uint32_t zoneMask_ = 0;
    TZoneReadBack back_;
    int64_t quietUntil_ = 0;
    bool shared_ = false;
};
