#pragma once

// The zone tool's behaviour behind its window: zone editing, the transfer and what the scanner's
// text lines change, with the window's drawing, log and progress window reached through hooks.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

#include "Textlines.h"
#include "Zoneeditor.h"
#include "Zonereplies.h"
#include "Zonesavecheck.h"
#include "Zonetable.h"
#include "Zonetransfer.h"

class Prompt;

class TZoneTool {
public:
    // The send step empties a log of more than this many lines.
    static constexpr int kMaxLogLines = 100;
    // Received lines alone never empty it: it keeps the newest this many.
    static constexpr int kKeptLogLines = 1000;
    static constexpr int kMaxTypedCommand = 100;

    TZoneTool(CommandLink& link, Prompt& prompt,
              TZoneTransfer::Clock clock = TZoneTransfer::SteadyMilliseconds);

    ZoneTable& Table() { return table_; }
    TZoneEditor& Editor() { return editor_; }
    TZoneTransfer& Transfer() { return transfer_; }
    const QStringList& Log() const { return log_; }

    // After the port opened: the first group's zones into the boxes.
    void Start();
    void cbbRectIndexChange(int index);
    void SaveClicked(int output);
    void StopClicked();
    void PlayClicked();
    void ReadClicked();
    void SendClicked(const QString& text);
    // False when the rate is no integer (the window then selects the first rate).
    bool ForceOutputClicked(const QString& rateText);
    void ClearLogClicked();

    // Every received chunk, before it is decoded.
    void Received(const uint8_t* bytes, int count);
    // Every timer tick, after the received data.
    void Tick();
    // The port is back after an outage.
    void Reconnected();
    // A save's read-back has not ended yet.
    bool Checking() const { return check_.Busy(); }
    // While a recording is replayed there is no scanner to write: a save changes the zones
    // drawn and tried on the recording, queues nothing for later and opens no progress window.
    void SetReplaying(bool replaying) { replaying_ = replaying; }
    bool Replaying() const { return replaying_; }

    // The graph's zone slot 0..2, then a redraw.
    std::function<void(int slot, const ProtectZone& zone)> setZone;
    std::function<void()> redraw;
    // A zone save's transfer: the progress window opens modally with this maximum at 0; it is
    // moved on with each acknowledged command while it is open.
    std::function<void(int maximum)> showProgress;
    std::function<void(int position)> progressPosition;
    // The log memo: one line appended (the oldest beyond kKeptLogLines dropped), or emptied.
    std::function<void(const QString& line)> logAppended;
    std::function<void()> logCleared;
    // The level boxes of the shown group changed: output levels were read back.
    std::function<void()> levelsChanged;
    // Runs the message of a save's read-back once the timer's tick is over, so that its modal
    // loop does not run ticks inside the tick; at once when unset.
    std::function<void(std::function<void()>)> later;

private:
    void AddLog(const QString& line);
    void ClearLog();

    void TakeLine(const char* line, int length, TTextLineAssembler::LineEnd end);
    void ShowReport(const ZoneReportOutcome& outcome);
    void Draw(int z);
    void TellNotStored(const SaveCheckOutcome& outcome, const ZoneTable& sent);

    CommandLink& link_;
    Prompt& prompt_;
    ZoneTable table_;
    TZoneEditor editor_;
    TZoneTransfer transfer_;
    TZoneSaveCheck check_;
    TTextLineAssembler assembler_;
    QStringList log_;
    bool replaying_ = false;
};
