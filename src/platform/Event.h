#pragma once

// Manual-reset events (an eventfd each): set stays set until reset, and any number of waits see
// it. One thread can wait on several of them, together with a serial device (SerialDevice.h).

#include <condition_variable>
#include <initializer_list>
#include <mutex>

class ManualResetEvent {
public:
    ManualResetEvent();
    ~ManualResetEvent();
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;
    int Fd() const { return fd_; }

private:
    int fd_;
};

// Waits until one of events is set and returns the lowest index that is; -1 when timeoutMs
// (negative: no limit) passes first.
int WaitAny(std::initializer_list<const ManualResetEvent*> events, int timeoutMs = -1);

// An auto-reset event: Set wakes one wait (or the next one), which resets it.
class AutoResetEvent {
public:
    void Set();
    // True when set, false when timeoutMs (negative: no limit) passed first.
    bool Wait(int timeoutMs);

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool set_ = false;
};
