#include "Commandqueue.h"

#include <cstring>

namespace {

uint8_t Next(uint8_t index) {
    return static_cast<uint8_t>((index + 1) % TCommandQueue::kSlots);
}

}  // namespace

bool TCommandQueue::QueueCommand(const QByteArray& command) {
    if (command.size() >= kSlotSize || Next(writeIndex_) == readIndex_)
        return false;
    uint8_t* slot = slots_[writeIndex_];
    slot[0] = static_cast<uint8_t>(command.size());
    std::memcpy(slot + 1, command.constData(), command.size());
    writeIndex_ = Next(writeIndex_);
    return true;
}

int TCommandQueue::PendingCommands() const {
    const int pending = writeIndex_ - readIndex_;
    return pending < 0 ? pending + kSlots : pending;
}

QByteArray TCommandQueue::Head() const {
    const uint8_t* slot = slots_[readIndex_];
    return QByteArray(reinterpret_cast<const char*>(slot + 1), slot[0]);
}

void TCommandQueue::Advance() {
    if (!Empty())
        readIndex_ = Next(readIndex_);
}

bool TCommandQueue::Rewind(int n) {
    // One slot always stays free: the rewound queue may hold at most kSlots - 1.
    if (n < 0 || PendingCommands() + n >= kSlots)
        return false;
    readIndex_ = static_cast<uint8_t>((readIndex_ + kSlots - n) % kSlots);
    return true;
}
