#include "Zonetransfer.h"

#include "ScannerInterface.h"
#include "Zonecommands.h"

namespace {

// Shorter commands are never sent from the queue.
constexpr int kMinSentLength = 4;

}  // namespace

void TZoneTransfer::QueueCommand(const QByteArray& command) {
    if (link_.IsOpen())
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

void TZoneTransfer::SendNow(const QByteArray& command) {
    if (!link_.IsOpen())
        return;
    link_.Send(command);
    ++directAcksOwed_;
    directAckSteps_ = kDirectAckSteps;
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
    // A scanner that never answers the commands sent at once delays the queue by one repeat.
    if (directAckSteps_ > 0 && --directAckSteps_ == 0)
        directAcksOwed_ = 0;
    if (queue_.Empty())
        return;
    if (ackReceived_) {
        queue_.Advance();
        ackReceived_ = false;
        headSends_ = 0;
        if (onProgress)
            onProgress(uploadTotal_ - queue_.PendingCommands());
    }
    if (queue_.Empty())
        return;
    const QByteArray head = queue_.Head();
    if (head.size() < kMinSentLength)
        return;
    link_.Send(head);
    ++headSends_;
    if (onSent)
        onSent(head);
}

void TZoneTransfer::Acknowledge() {
    if (directAcksOwed_ > 0) {
        --directAcksOwed_;
        return;
    }
    // Only a head that has gone out can be acknowledged.
    if (headSends_ > 0)
        ackReceived_ = true;
}
