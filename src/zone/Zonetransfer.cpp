#include "Zonetransfer.h"

#include <chrono>

#include "ScannerInterface.h"
#include "Zonecommands.h"

namespace {

// Shorter commands are never sent from the queue.
constexpr int kMinSentLength = 4;

// The first line of a zone's lines ("#IOL") or of the force output's ("#BR").
bool StartsGroup(const QByteArray& command) {
    return command.startsWith("#IOL ") || command.startsWith("#BR ");
}

}  // namespace

int64_t TZoneTransfer::SteadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void TZoneTransfer::QueueCommand(const QByteArray& command) {
    queue_.QueueCommand(command);
}

void TZoneTransfer::QueueZoneCommands(const ZoneTable& table, int z) {
    for (const QByteArray& line : ZoneCommandLines(table, z)) QueueCommand(line);
}

int TZoneTransfer::BeginUpload() {
    ackReceived_ = false;
    uploadTotal_ = queue_.PendingCommands();
    return uploadTotal_;
}

bool TZoneTransfer::ForceOutput(const QString& rateText) {
    ackReceived_ = false;
    bool valid = false;
    const int rate = rateText.trimmed().toInt(&valid);
    if (!valid)
        return false;
    QueueCommand(FormatCommand(scanner::kCmdBaudRate, rate));
    QueueCommand(scanner::kCmdStore);
    return true;
}

bool TZoneTransfer::SendNow(const QByteArray& command) {
    if (!link_.IsOpen())
        return false;
    link_.Send(command);
    ++directAcksOwed_;
    directUntil_ = clock_() + kLateAnswerMs;
    return true;
}

void TZoneTransfer::Tick() {
    if (sendTick_ < kTicksPerStep - 1) {
        ++sendTick_;
        return;
    }
    sendTick_ = 0;
    SendStep();
}

void TZoneTransfer::SendStep() {
    if (!link_.IsOpen())
        return;
    // A scanner that never answers the commands sent at once holds the queue for a while.
    if (!DirectAnswerOwed())
        directAcksOwed_ = 0;
    if (queue_.Empty())
        return;
    if (ackReceived_)
        Advance();
    if (queue_.Empty() || Holding())
        return;
    lateAnswersOwed_ = 0;
    const QByteArray head = queue_.Head();
    if (head.size() < kMinSentLength)
        return;
    link_.Send(head);
    ++headSends_;
    headSentAt_ = clock_();
    if (onSent)
        onSent(head);
}

void TZoneTransfer::Advance() {
    queue_.Advance();
    ackReceived_ = false;
    headSends_ = 0;
    doneOfGroup_ = queue_.Empty() || StartsGroup(queue_.Head()) ? 0 : doneOfGroup_ + 1;
    if (onProgress)
        onProgress(uploadTotal_ - queue_.PendingCommands());
}

bool TZoneTransfer::DirectAnswerOwed() const {
    return directAcksOwed_ > 0 && clock_() < directUntil_;
}

bool TZoneTransfer::LateAnswerOwed() const {
    return lateAnswersOwed_ > 0 && clock_() < lateUntil_;
}

bool TZoneTransfer::Holding() const {
    return LateAnswerOwed() || DirectAnswerOwed();
}

void TZoneTransfer::Acknowledge() {
    if (DirectAnswerOwed()) {
        --directAcksOwed_;
        return;
    }
    // An answer to an earlier copy of a line already acknowledged.
    if (LateAnswerOwed() || (ackReceived_ && lateAnswersOwed_ > 0)) {
        --lateAnswersOwed_;
        return;
    }
    // Only a head that has gone out can be acknowledged; each of its other copies may still be
    // answered, late.
    if (headSends_ > 0 && !ackReceived_) {
        ackReceived_ = true;
        lateAnswersOwed_ = headSends_ - 1;
        lateUntil_ = headSentAt_ + kLateAnswerMs;
    }
}

void TZoneTransfer::Reconnected() {
    if (queue_.Rewind(doneOfGroup_))
        doneOfGroup_ = 0;
    ackReceived_ = false;
    headSends_ = 0;
    lateAnswersOwed_ = 0;
    directAcksOwed_ = 0;
}
