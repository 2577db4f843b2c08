#include <algorithm>
#include <cstring>
#include <new>

#include "Tquillcomm.h"

namespace QuillComm {

TCommQueue::TCommQueue(long capacity) {
    try {
        fSetBufSize(capacity);
    } catch (const EQuillCommError&) {
        fSetBufSize(0);
    }
}

void TCommQueue::fSetBufSize(long n) {
    read_.store(0, std::memory_order_relaxed);
    write_.store(0, std::memory_order_relaxed);
    buffer_.reset();
    if (n <= 0) {
        capacity_ = 0;
        return;
    }
    buffer_.reset(new (std::nothrow) uint8_t[n]);
    if (!buffer_) {
        capacity_ = 0;
        throw EQuillCommError(1);
    }
    capacity_ = n;
}

void TCommQueue::Clear() {
    read_.store(write_.load(std::memory_order_acquire), std::memory_order_release);
}

long TCommQueue::fGetCount() const {
    if (capacity_ <= 0)
        return 0;
    const long read = read_.load(std::memory_order_acquire);
    const long write = write_.load(std::memory_order_acquire);
    return (write + capacity_ - read) % capacity_;
}

long TCommQueue::fGetRemain() const {
    if (capacity_ <= 0)
        return 0;
    const long read = read_.load(std::memory_order_acquire);
    const long write = write_.load(std::memory_order_acquire);
    return (read + capacity_ - write - 1) % capacity_;
}

int TCommQueue::In(uint8_t byte) {
    return In(&byte, 1);
}

int TCommQueue::In(const uint8_t* data, long n) {
    if (!buffer_ || n <= 0 || data == nullptr)
        return 0;
    const long stored = std::min(n, fGetRemain());
    const long write = write_.load(std::memory_order_relaxed);
    const long first = std::min(stored, capacity_ - write);
    std::memcpy(buffer_.get() + write, data, first);
    std::memcpy(buffer_.get(), data + first, stored - first);
    write_.store((write + stored) % capacity_, std::memory_order_release);
    return static_cast<int>(stored);
}

int TCommQueue::Out(uint8_t* byte) {
    return Out(byte, 1);
}

int TCommQueue::Out(uint8_t* buffer, long n) {
    if (!buffer_ || n <= 0 || buffer == nullptr)
        return 0;
    const long taken = std::min(n, fGetCount());
    const long read = read_.load(std::memory_order_relaxed);
    const long first = std::min(taken, capacity_ - read);
    std::memcpy(buffer, buffer_.get() + read, first);
    std::memcpy(buffer + first, buffer_.get(), taken - first);
    read_.store((read + taken) % capacity_, std::memory_order_release);
    return static_cast<int>(taken);
}

}  // namespace QuillComm
