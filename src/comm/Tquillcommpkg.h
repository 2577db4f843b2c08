#pragma once

// Packages over a TQuillComm: received bytes become packages (head/tail frames, or what arrived
// until the line fell silent for a poll interval), packages to send become bytes.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "Event.h"
#include "Tquillcomm.h"

namespace QuillComm {

enum TCommPackageType { cptCompatiblePkg = 0, cptFrameHeadTail = 1, cptFrameTimeout = 2 };

// The layout of every package buffer: a 32-bit length, then room for the data bytes.
struct TCommPackageHead {
    uint32_t Length;
};
constexpr long kPackageHeadSize = sizeof(TCommPackageHead);

// One TCommPackageHead record with room for a fixed number of data bytes.
class PackageBuffer {
public:
    // Room for room data bytes in a record of at least recordSize bytes (a queue element is
    // copied whole). False, and an invalid buffer, when the memory cannot be had.
    bool Allocate(long room, long recordSize = 0);
    bool Valid() const { return record_ != nullptr; }
    long Room() const { return room_; }
    uint32_t Length() const;
    void SetLength(uint32_t length);
    uint8_t* Record() { return record_.get(); }
    const uint8_t* Record() const { return record_.get(); }
    uint8_t* Data() { return record_.get() + kPackageHeadSize; }
    const uint8_t* Data() const { return record_.get() + kPackageHeadSize; }
    // Appends one byte unless the buffer is full.
    void Append(uint8_t byte);

private:
    std::unique_ptr<uint8_t[]> record_;
    long room_ = 0;
};

// A ring of equal-sized elements with one producer and one consumer; it holds count - 1.
class TCommPackageQueue {
public:
    static constexpr long kMinCount = 2;
    static constexpr long kMinSize = 32;

    TCommPackageQueue(long count, long size);
    TCommPackageQueue(const TCommPackageQueue&) = delete;
    TCommPackageQueue& operator=(const TCommPackageQueue&) = delete;

    // Neither side may be running.
    void SetQueue(long count, long size);
    void fSetQSize(long count) { SetQueue(count, size_); }
    void fSetPkgSz(long size) { SetQueue(count_, size); }
    long fGetQSize() const { return count_; }
    long fGetPkgSz() const { return size_; }
    void fRemoveQueue();
    // Consumer side: drops what waits.
    void Clear();
    bool fIsValid() const { return buffer_ != nullptr; }
    long fGetCount() const;
    long fGetRemain() const;

    int In(const void* element);
    int Out(void* element);
    // Copies the i-th element from the oldest without taking it.
    int Read(void* element, long i) const;

private:
    uint8_t* Slot(long index) const { return buffer_.get() + index * size_; }

    std::unique_ptr<uint8_t[]> buffer_;
    long count_ = kMinCount;
    long size_ = kMinSize;
    std::atomic<long> read_{0};
    std::atomic<long> write_{0};
};

struct FrameMarks {
    uint8_t head;
    uint8_t tail;
    uint8_t ctrl;
};

// Frames n data bytes into frame (room for 2n + 4 bytes); returns the frame's length.
long EncodeFrame(const uint8_t* data, long n, const FrameMarks& marks, bool doubleMark,
                 uint8_t* frame);

// The head/tail frame decoder: bytes in, complete packages into a queue of receive-sized
// elements. A package longer than the receive buffer keeps its first bytes.
class FrameDecoder {
public:
    void Reset();
    void Feed(const uint8_t* bytes, long n, const FrameMarks& marks, PackageBuffer* receive,
              TCommPackageQueue* packages);

private:
    bool inFrame_ = false;
    bool escape_ = false;
};

class TCommPackage {
public:
    static constexpr uint8_t DefaultFrameHead = 0xEB;
    static constexpr uint8_t DefaultFrameTail = 0xEE;
    static constexpr uint8_t DefaultFrameCtrl = 0xEC;
    static constexpr long kDefaultQueueSize = 16;
    static constexpr long kDefaultPackageSize = 4096;
    static constexpr long kDefaultInterval = 50;
    static constexpr int kReadPiece = 2048;
    static constexpr int kEndWaitSteps = 20;
    static constexpr int kEndWaitStepMs = 5;

    // (sender, event bits): 0x0001 packages wait, 0x0004 every package went to the port.
    std::function<void(TCommPackage* sender, uint32_t events)> OnPackage;

    // Hooks itself into comm's notification; comm must outlive this object and be closed
    // whenever this object is created or destroyed.
    explicit TCommPackage(TQuillComm* comm);
    TCommPackage(const TCommPackage&) = delete;
    TCommPackage& operator=(const TCommPackage&) = delete;
    virtual ~TCommPackage();

    virtual int ReadPackage(void* buffer, int n);
    virtual int WritePackage(const void* data, int n);
    virtual void PurgeRead();
    virtual void PurgeWrite();
    virtual void CallNotify(uint32_t events);

    void fSetActive(bool on);
    bool fGetActive() const { return active_; }
    // The size setters deactivate and reactivate around the change; the threads wait for it.
    void fSetQSize(long count);
    long fGetQSize() const { return queueSize_; }
    void fSetPkgSz(long size);
    long fGetPkgSz() const { return packageSize_; }
    void fSetPkgType(TCommPackageType type);
    TCommPackageType fGetPkgType() const { return type_; }
    // Values below 1 ms poll every millisecond.
    void fSetPkgInterval(long ms);
    long fGetPkgInterval() const { return interval_; }
    void fSetDblFrameMark(bool on) { doubleMark_ = on; }
    bool fGetDblFrameMark() const { return doubleMark_; }
    uint8_t fGetFrameHead() const { return head_; }
    void fSetFrameHead(uint8_t mark) { head_ = mark; }
    uint8_t fGetFrameTail() const { return tail_; }
    void fSetFrameTail(uint8_t mark) { tail_ = mark; }
    uint8_t fGetFrameCtrl() const { return ctrl_; }
    void fSetFrameCtrl(uint8_t mark) { ctrl_ = mark; }

    TQuillComm* Comm() const { return comm_; }
    const TCommPackageQueue& InPackages() const { return inQueue_; }
    const TCommPackageQueue& OutPackages() const { return outQueue_; }

private:
    void fNewCommNotify(TQuillComm* sender, uint32_t events);
    void SetActiveLocked(bool on);
    // Runs change inactive and under the state lock, then reactivates when it was active.
    void Reconfigure(const std::function<void()>& change);
    void AllocateBuffers();
    FrameMarks Marks() const { return {head_, tail_, ctrl_}; }
    void _ReadHeadTailPackage();
    bool _ReadTimeoutPackage();
    void _WritePackage();
    bool WriteOnce();
    void _TimerThread();

    TQuillComm* comm_;
    std::function<void(TQuillComm*, uint32_t)> savedNotify_;
    std::atomic<bool> active_{false};
    std::atomic<bool> doubleMark_{false};
    FrameDecoder decoder_;
    long frameSent_ = 0;
    std::atomic<long> queueSize_{kDefaultQueueSize};
    std::atomic<long> packageSize_{kDefaultPackageSize};
    std::atomic<TCommPackageType> type_{cptFrameTimeout};
    std::atomic<long> interval_{kDefaultInterval};
    std::atomic<uint8_t> head_{DefaultFrameHead};
    std::atomic<uint8_t> tail_{DefaultFrameTail};
    std::atomic<uint8_t> ctrl_{DefaultFrameCtrl};
    TCommPackageQueue inQueue_;
    TCommPackageQueue outQueue_;
    PackageBuffer receive_;
    PackageBuffer frame_;
    PackageBuffer scratch_;
    // The owner's element for ReadPackage and WritePackage.
    PackageBuffer ownerElement_;
    std::atomic_flag writeBusy_ = ATOMIC_FLAG_INIT;
    // Held by the read and timer threads while they work on the buffers and by the setters
    // while they change them.
    std::mutex stateLock_;
    AutoResetEvent wake_;
    std::atomic<bool> timerRun_{true};
    std::atomic<bool> timerAlive_{false};
    std::thread timer_;
};

}  // namespace QuillComm
