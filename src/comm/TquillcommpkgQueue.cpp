#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "Tquillcommpkg.h"

namespace QuillComm {

bool PackageBuffer::Allocate(long room, long recordSize) {
    record_.reset();
    room_ = 0;
    if (room < 0 || room > LONG_MAX - kPackageHeadSize)
        return false;
    const long bytes = std::max(kPackageHeadSize + room, recordSize);
    record_.reset(new (std::nothrow) uint8_t[bytes]);
    if (!record_)
        return false;
    room_ = room;
    SetLength(0);
    return true;
}

uint32_t PackageBuffer::Length() const {
    TCommPackageHead head;
    std::memcpy(&head, record_.get(), sizeof head);
    return head.Length;
}

void PackageBuffer::SetLength(uint32_t length) {
    const TCommPackageHead head{length};
    std::memcpy(record_.get(), &head, sizeof head);
}

void PackageBuffer::Append(uint8_t byte) {
    const uint32_t length = Length();
    if (length >= static_cast<unsigned long>(room_))
        return;
    Data()[length] = byte;
    SetLength(length + 1);
}

TCommPackageQueue::TCommPackageQueue(long count, long size) {
    SetQueue(count, size);
}

void TCommPackageQueue::SetQueue(long count, long size) {
    buffer_.reset();
    count_ = count < kMinCount ? kMinCount : count;
    size_ = size < kMinSize ? kMinSize : size;
    read_.store(0, std::memory_order_relaxed);
    write_.store(0, std::memory_order_relaxed);
    if (count_ <= LONG_MAX / size_)
        buffer_.reset(new (std::nothrow) uint8_t[count_ * size_]);
}

void TCommPackageQueue::fRemoveQueue() {
    buffer_.reset();
    read_.store(0, std::memory_order_relaxed);
    write_.store(0, std::memory_order_relaxed);
}

void TCommPackageQueue::Clear() {
    read_.store(write_.load(std::memory_order_acquire), std::memory_order_release);
}

long TCommPackageQueue::fGetCount() const {
    const long read = read_.load(std::memory_order_acquire);
    const long write = write_.load(std::memory_order_acquire);
    return (write + count_ - read) % count_;
}

long TCommPackageQueue::fGetRemain() const {
    const long read = read_.load(std::memory_order_acquire);
    const long write = write_.load(std::memory_order_acquire);
    return (read + count_ - write - 1) % count_;
}

int TCommPackageQueue::In(const void* element) {
    if (!buffer_ || element == nullptr || fGetRemain() == 0)
        return 0;
    const long write = write_.load(std::memory_order_relaxed);
    std::memcpy(Slot(write), element, size_);
    write_.store((write + 1) % count_, std::memory_order_release);
    return 1;
}

int TCommPackageQueue::Out(void* element) {
    if (!buffer_ || element == nullptr || fGetCount() == 0)
        return 0;
    const long read = read_.load(std::memory_order_relaxed);
    std::memcpy(element, Slot(read), size_);
    read_.store((read + 1) % count_, std::memory_order_release);
    return 1;
}

int TCommPackageQueue::Read(void* element, long i) const {
    if (!buffer_ || element == nullptr || i < 0 || i >= fGetCount())
        return 0;
    const long read = read_.load(std::memory_order_relaxed);
    std::memcpy(element, Slot((read + i) % count_), size_);
    return 1;
}

}  // namespace QuillComm
