#pragma once

// The zone tool's ring of commands waiting to be sent, one at a time, each until acknowledged.

#include <QByteArray>
#include <cstdint>

class TCommandQueue {
public:
    static constexpr int kSlots = 100;
    static constexpr int kSlotSize = 100;

    // False, and nothing queued, for a command of kSlotSize bytes or more or a full queue.
    bool QueueCommand(const QByteArray& command);
    int PendingCommands() const;
    bool Empty() const { return readIndex_ == writeIndex_; }
    // The command being sent and waiting for its acknowledgement.
    QByteArray Head() const;
    void Advance();
    // Makes the n commands before the head pending again; their slots keep them until the
    // queue fills up to them. False, and nothing changed, when it has.
    bool Rewind(int n);

private:
    // Byte 0 of a slot is the command's length.
    uint8_t slots_[kSlots][kSlotSize] = {};
    uint8_t readIndex_ = 0;
    uint8_t writeIndex_ = 0;
};
