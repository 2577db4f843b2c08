#include "Event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <vector>

ManualResetEvent::ManualResetEvent() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd_ < 0)
        throw std::runtime_error("eventfd");
}

ManualResetEvent::~ManualResetEvent() {
    close(fd_);
}

void ManualResetEvent::Set() {
    const uint64_t one = 1;
    // A full counter (never reached) would only mean it is set already.
    [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
}

void ManualResetEvent::Reset() {
    uint64_t count;
    [[maybe_unused]] const ssize_t got = read(fd_, &count, sizeof count);
}

bool ManualResetEvent::IsSet() const {
    pollfd entry{fd_, POLLIN, 0};
    return poll(&entry, 1, 0) == 1;
}

int WaitAny(std::initializer_list<const ManualResetEvent*> events, int timeoutMs) {
    std::vector<pollfd> entries;
    for (const ManualResetEvent* event : events) entries.push_back({event->Fd(), POLLIN, 0});
    for (;;) {
        const int ready = poll(entries.data(), entries.size(), timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return -1;
        for (size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].revents != 0)
                return static_cast<int>(i);
        }
    }
}

void AutoResetEvent::Set() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        set_ = true;
    }
    changed_.notify_one();
}

bool AutoResetEvent::Wait(int timeoutMs) {
    std::unique_lock<std::mutex> hold(lock_);
    const auto isSet = [this] { return set_; };
    if (timeoutMs < 0)
        changed_.wait(hold, isSet);
    else if (!changed_.wait_for(hold, std::chrono::milliseconds(timeoutMs), isSet))
        return false;
    set_ = false;
    return true;
}
