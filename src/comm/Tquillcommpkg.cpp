#include "Tquillcommpkg.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace QuillComm {

TCommPackage::TCommPackage(TQuillComm* comm)
    : comm_(comm),
      inQueue_(kDefaultQueueSize, kDefaultPackageSize + kPackageHeadSize),
      outQueue_(kDefaultQueueSize, kDefaultPackageSize + kPackageHeadSize) {
    AllocateBuffers();
    timerAlive_ = true;
    timer_ = std::thread(&TCommPackage::_TimerThread, this);
    savedNotify_ = comm_->OnCommNotify;
    comm_->OnCommNotify = [this](TQuillComm* sender, uint32_t events) {
        fNewCommNotify(sender, events);
    };
}

TCommPackage::~TCommPackage() {
    comm_->OnCommNotify = savedNotify_;
    timerRun_ = false;
    wake_.Set();
    for (int i = 0; i < kEndWaitSteps && timerAlive_; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(kEndWaitStepMs));
    // The thread may still be in a package handler; it uses this object until it returns.
    timer_.join();
}

void TCommPackage::AllocateBuffers() {
    const long size = packageSize_;
    const long element = inQueue_.fGetPkgSz();
    receive_.Allocate(size, element);
    scratch_.Allocate(size, element);
    ownerElement_.Allocate(size, element);
    frame_.Allocate(2 * size + 4, element);
}

void TCommPackage::fSetActive(bool on) {
    {
        std::lock_guard<std::mutex> hold(stateLock_);
        SetActiveLocked(on);
    }
    wake_.Set();
}

void TCommPackage::SetActiveLocked(bool on) {
    active_ = on;
    decoder_.Reset();
    frameSent_ = 0;
    if (receive_.Valid())
        receive_.SetLength(0);
    if (frame_.Valid())
        frame_.SetLength(0);
    inQueue_.Clear();
    outQueue_.Clear();
}

void TCommPackage::Reconfigure(const std::function<void()>& change) {
    {
        std::lock_guard<std::mutex> hold(stateLock_);
        const bool was = active_;
        SetActiveLocked(false);
        change();
        if (was)
            SetActiveLocked(true);
    }
    wake_.Set();
}

void TCommPackage::fSetQSize(long count) {
    Reconfigure([&] {
        queueSize_ = count;
        inQueue_.fSetQSize(count);
        outQueue_.fSetQSize(count);
    });
}

void TCommPackage::fSetPkgSz(long size) {
    Reconfigure([&] {
        packageSize_ = std::max(size, 0L);
        inQueue_.fSetPkgSz(packageSize_ + kPackageHeadSize);
        outQueue_.fSetPkgSz(packageSize_ + kPackageHeadSize);
        AllocateBuffers();
    });
}

void TCommPackage::fSetPkgType(TCommPackageType type) {
    Reconfigure([&] { type_ = type; });
}

void TCommPackage::fSetPkgInterval(long ms) {
    interval_ = std::max(ms, 1L);
    wake_.Set();
}

int TCommPackage::ReadPackage(void* buffer, int n) {
    if (!active_ || !ownerElement_.Valid())
        return 0;
    if (type_ == cptCompatiblePkg)
        return inQueue_.Out(buffer);
    if (n == 0 || buffer == nullptr)
        return inQueue_.Read(ownerElement_.Record(), 0) ? static_cast<int>(ownerElement_.Length())
                                                        : 0;
    if (n < 0 || !inQueue_.Out(ownerElement_.Record()))
        return 0;
    const int copied = static_cast<int>(std::min<uint32_t>(n, ownerElement_.Length()));
    std::memcpy(buffer, ownerElement_.Data(), copied);
    return copied;
}

int TCommPackage::WritePackage(const void* data, int n) {
    if (!active_ || data == nullptr || !ownerElement_.Valid())
        return 0;
    if (type_ == cptCompatiblePkg) {
        if (!outQueue_.In(data))
            return 0;
        _WritePackage();
        return 1;
    }
    if (n <= 0)
        return 0;
    n = static_cast<int>(std::min<long>(n, packageSize_));
    ownerElement_.SetLength(static_cast<uint32_t>(n));
    std::memcpy(ownerElement_.Data(), data, n);
    if (!outQueue_.In(ownerElement_.Record()))
        return 0;
    _WritePackage();
    return n;
}

void TCommPackage::PurgeRead() {
    if (!active_)
        return;
    comm_->PurgeRead(false);
    inQueue_.Clear();
}

void TCommPackage::PurgeWrite() {
    if (!active_)
        return;
    // The guard's holder finishes one package at most; then nothing consumes the queue.
    while (writeBusy_.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
    outQueue_.Clear();
    // The rest of a frame whose start was purged from the port would only be noise.
    if (frame_.Valid())
        frameSent_ = frame_.Length();
    writeBusy_.clear(std::memory_order_release);
    comm_->PurgeWrite(false);
}

void TCommPackage::CallNotify(uint32_t events) {
    if (!OnPackage)
        return;
    // It runs on the port's threads, where an escaping exception would end the program.
    try {
        OnPackage(this, events);
    } catch (...) {
    }
}

void TCommPackage::fNewCommNotify(TQuillComm* sender, uint32_t events) {
    uint32_t passed = 0;
    {
        std::lock_guard<std::mutex> hold(stateLock_);
        if (active_) {
            passed = events & ~(EV_RXCHAR | EV_TXEMPTY);
            if ((events & EV_RXCHAR) && type_ != cptFrameTimeout) {
                _ReadHeadTailPackage();
                if (inQueue_.fGetCount() > 0)
                    passed |= EV_RXCHAR;
            }
            if (events & EV_TXEMPTY) {
                _WritePackage();
                if (outQueue_.fGetCount() == 0)
                    passed |= EV_TXEMPTY;
            }
        }
    }
    if (passed != 0)
        CallNotify(passed);
    if (savedNotify_)
        savedNotify_(sender, events);
}

void TCommPackage::_ReadHeadTailPackage() {
    if (!receive_.Valid())
        return;
    uint8_t piece[kReadPiece];
    for (;;) {
        const int got = comm_->Read(piece, kReadPiece);
        if (got <= 0)
            break;
        decoder_.Feed(piece, got, Marks(), &receive_, &inQueue_);
    }
}

bool TCommPackage::_ReadTimeoutPackage() {
    if (!receive_.Valid())
        return false;
    uint8_t piece[kReadPiece];
    bool any = false;
    for (;;) {
        const int got = comm_->Read(piece, kReadPiece);
        if (got <= 0)
            break;
        any = true;
        for (int i = 0; i < got; ++i) receive_.Append(piece[i]);
    }
    return any;
}

void TCommPackage::_WritePackage() {
    if (!frame_.Valid() || !scratch_.Valid())
        return;
    // One that found the guard taken while the holder had nothing to start would leave its
    // package waiting for a transmit-empty event that never comes, so the holder looks again.
    while (!writeBusy_.test_and_set(std::memory_order_acquire)) {
        const bool started = WriteOnce();
        writeBusy_.clear(std::memory_order_release);
        if (started || outQueue_.fGetCount() == 0)
            return;
    }
}

// Moves on the frame in progress or starts the next package; true when one was started or
// continued (its transmit-empty event follows).
bool TCommPackage::WriteOnce() {
    const long length = frame_.Length();
    if (frameSent_ < length) {
        frameSent_ += comm_->Write(frame_.Data() + frameSent_, length - frameSent_);
        return true;
    }
    if (outQueue_.fGetCount() == 0)
        return false;
    if (type_ == cptFrameTimeout) {
        outQueue_.Out(frame_.Record());
    } else {
        outQueue_.Out(scratch_.Record());
        const long n = std::min<long>(scratch_.Length(), packageSize_);
        frame_.SetLength(static_cast<uint32_t>(
            EncodeFrame(scratch_.Data(), n, Marks(), doubleMark_, frame_.Data())));
    }
    frameSent_ = comm_->Write(frame_.Data(), frame_.Length());
    return true;
}

void TCommPackage::_TimerThread() {
    while (timerRun_) {
        const bool polling = active_ && type_ == cptFrameTimeout;
        wake_.Wait(polling ? static_cast<int>(interval_) : -1);
        bool completed = false;
        {
            std::lock_guard<std::mutex> hold(stateLock_);
            if (active_ && timerRun_ && type_ == cptFrameTimeout) {
                if (!_ReadTimeoutPackage() && receive_.Valid() && receive_.Length() > 0) {
                    inQueue_.In(receive_.Record());
                    receive_.SetLength(0);
                    completed = true;
                }
            }
        }
        if (completed)
            CallNotify(EV_RXCHAR);
    }
    timerAlive_ = false;
}

}  // namespace QuillComm
