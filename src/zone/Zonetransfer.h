#pragma once

// Sends the queued zone commands one at a time, each again at every send step until a line
// ending in "ok" acknowledges it, and counts what a transfer has sent.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

#include "Commandqueue.h"
#include "Zonetable.h"

// What the transfer needs of the serial port.
class CommandLink {
public:
    virtual ~CommandLink() = default;
    virtual bool IsOpen() const = 0;
    virtual void Send(const QByteArray& bytes) = 0;
};

class TZoneTransfer {
public:
    // The zone tool runs one send step every 32 ticks of its timer.
    static constexpr int kTicksPerStep = 32;
    // How long after a command's last copy, or a command sent at once, went out its answer may
    // still come: the window's port writes only after the read in progress and hands a short
    // answer on after its 1 s between bytes, around the scanner's own delay.
    static constexpr int64_t kLateAnswerMs = 3500;

    // Milliseconds of a steady clock.
    using Clock = std::function<int64_t()>;
    static int64_t SteadyMilliseconds();

    explicit TZoneTransfer(CommandLink& link, Clock clock = SteadyMilliseconds)
        : link_(link), clock_(std::move(clock)) {}

    // Kept while the port is away, to go out once it is back; dropped without a word when the
    // command is too long or the queue is full.
    void QueueCommand(const QByteArray& command);
    void QueueZoneCommands(const ZoneTable& table, int z);
    int PendingCommands() const { return queue_.PendingCommands(); }
    QByteArray Head() const { return queue_.Head(); }

    // After a zone save has queued its lines: the count the progress shows against.
    int BeginUpload();
    int UploadTotal() const { return uploadTotal_; }
    // The force-output button: "#BR" with the rate and "#SU"; false when rateText is no integer.
    bool ForceOutput(const QString& rateText);

    // A command sent at once, outside the queue (motor, read-back, typed text). The scanner may
    // answer it with "ok", which must not pass for the head's acknowledgement, so no new head
    // goes out until that answer came or can no longer come. False while the port is away.
    bool SendNow(const QByteArray& command);

    // Timer tick: a send step on every 32nd.
    void Tick();
    // Advances past an acknowledged head, then sends the head, unless answers to earlier copies
    // of the line before may still come (Holding).
    void SendStep();
    // The head waits for late answers to the line before it or to commands sent at once,
    // which must not acknowledge it.
    bool Holding() const;

    // A received line that ends in "ok".
    void Acknowledge();
    bool AckReceived() const { return ackReceived_; }
    // How often the head has gone out since it became the head.
    int HeadSends() const { return headSends_; }

    // The port is back after an outage: the scanner may have restarted, so a zone whose lines
    // were partly acknowledged goes again from its first line, and no old answer is awaited.
    void Reconnected();

    // Called with each command sent from the queue, and with the commands sent so far of the
    // current upload after each acknowledged one.
    std::function<void(const QByteArray&)> onSent;
    std::function<void(int)> onProgress;

private:
    void Advance();
    bool DirectAnswerOwed() const;
    // An answer to an earlier copy of the line before may still come.
    bool LateAnswerOwed() const;

    CommandLink& link_;
    Clock clock_;
    TCommandQueue queue_;
    bool ackReceived_ = false;
    int sendTick_ = 0;
    int uploadTotal_ = 0;
    int headSends_ = 0;
    int64_t headSentAt_ = 0;
    // Answers still owed to copies of acknowledged lines, until lateUntil_.
    int lateAnswersOwed_ = 0;
    int64_t lateUntil_ = 0;
    // Lines of the head's zone (from its "#IOL") already acknowledged.
    int doneOfGroup_ = 0;
    int directAcksOwed_ = 0;
    int64_t directUntil_ = 0;
};
