#pragma once

// The comm component's serial port: a read thread moves received bytes into an input queue and
// reports port events, a write thread moves an output queue to the port. Failures raise
// EQuillCommError with a text in the user's language.

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "DeviceControl.h"
#include "Event.h"
#include "SerialDevice.h"

class IniFile;

namespace QuillComm {

// Port events as the notification callback receives them: the device's EV_ bits, and one of
// the component's own.
constexpr uint32_t kEvRx80Full = 0x0400;
constexpr uint32_t kAllEvents =
    EV_RXCHAR | EV_RXFLAG | EV_TXEMPTY | EV_CTS | EV_DSR | EV_RLSD | EV_ERR | EV_RING | kEvRx80Full;
constexpr uint32_t kDataOnlyEvents = EV_RXCHAR | EV_TXEMPTY | EV_ERR;
// Sent by Open and Close: the modem lines may have changed.
constexpr uint32_t kLineEvents = EV_CTS | EV_DSR | EV_RLSD;

// A byte ring with one producer thread and one consumer thread; it holds capacity - 1 bytes.
class TCommQueue {
public:
    explicit TCommQueue(long capacity);
    TCommQueue(const TCommQueue&) = delete;
    TCommQueue& operator=(const TCommQueue&) = delete;

    // Empties the queue and reallocates it (n <= 0 frees it); throws EQuillCommError code 1.
    // Neither side may be running.
    void fSetBufSize(long n);
    long fGetBufSize() const { return capacity_; }
    // Consumer side: drops what waits. The producer may go on storing meanwhile.
    void Clear();
    bool fIsValid() const { return buffer_ != nullptr; }
    long fGetCount() const;
    long fGetRemain() const;

    int In(uint8_t byte);
    int In(const uint8_t* data, long n);
    int Out(uint8_t* byte);
    int Out(uint8_t* buffer, long n);

private:
    long capacity_ = 0;
    std::unique_ptr<uint8_t[]> buffer_;
    std::atomic<long> read_{0};
    std::atomic<long> write_{0};
};

using TErrorCode = int;

// The message language: the thread locale at construction (1033 when it is 0).
class TQuillCommLanguage {
public:
    TQuillCommLanguage();
    uint32_t fGetLcId() const { return lcId_; }
    void fSetLcId(uint32_t lcId) { lcId_ = lcId; }

    // "%s" in the prefix stands for the port name.
    QString Prefix() const;
    QString Fallback() const;
    // The text of an error code; empty when the code has none.
    QString ErrorText(TErrorCode code) const;

private:
    uint32_t lcId_;
};

class EQuillCommError : public std::runtime_error {
public:
    explicit EQuillCommError(TErrorCode code);
    // systemError: errno of the system call that failed, 0 when none did.
    EQuillCommError(TErrorCode code, const QString& portName, int systemError = 0);

    TErrorCode Code() const { return code_; }
    QString PortName() const { return portName_; }
    int SystemError() const { return systemError_; }
    QString Message() const { return QString::fromUtf8(what()); }

private:
    TErrorCode code_;
    QString portName_;
    int systemError_;
};

class TQuillComm {
public:
    // Flow control codes of the modem's "&K" command.
    enum TFlowControl { fcNone = 0, fcRtsCts = 3, fcXonXoff = 4, fcTranXonXoff = 5, fcBoth = 6 };

    static constexpr long kQueueSize = 8192;
    static constexpr int kReadPiece = 2048;
    static constexpr int kWritePiece = 512;
    static constexpr int kCloseWaitSteps = 100;
    static constexpr int kCloseWaitStepMs = 5;

    std::function<void(TQuillComm* sender, uint32_t events)> OnCommNotify;
    std::function<void(TQuillComm* sender)> AfterOpen;
    std::function<void(TQuillComm* sender)> BeforeClose;

    TQuillComm();
    TQuillComm(const TQuillComm&) = delete;
    TQuillComm& operator=(const TQuillComm&) = delete;
    virtual ~TQuillComm();

    virtual int Read(void* buffer, int n);
    virtual int Write(const void* data, int n);
    virtual int Command(const char* text);
    virtual void PurgeRead(bool abort);
    virtual void PurgeWrite(bool abort);
    virtual int ResetModem();
    virtual int InitModem();
    virtual bool EscapeCommFunction(unsigned code);
    virtual void Open();
    virtual void Close();
    virtual void CommNotify(uint32_t events);
    virtual void CommAfterOpen();
    virtual void CommBeforeClose();

    void fSetActive(bool on);
    bool fGetActive() const { return open_; }
    bool fGetDisableWrite() const { return disableWrite_; }
    void fSetDisableWrite(bool on) { disableWrite_ = on; }

    // Where COM numbers lead on this machine (section [Ports]); may be null, not owned.
    void SetDeviceMap(const IniFile* ini) { deviceMap_ = ini; }
    // The device a port name opens: COMn through the COM table, other names below /dev unless
    // they are paths already.
    QString DevicePath() const;

    void fSetPort(int n);
    int fGetPort() const { return portNumber_; }
    void fSetPortName(const QString& name);
    QString fGetPortName() const { return portName_; }
    // A descriptor opened elsewhere: its line settings are read at open, it is switched to
    // non-blocking use and never closed here.
    void fSetHandle(int fd);
    // The descriptor in use: the external one, else the port's while open, else -1.
    int fGetHandle() const;

    void fSetBaud(long baud);
    long fGetBaud() const { return static_cast<long>(dcb_.BaudRate); }
    void fSetParity(int parity);
    int fGetParity() const { return dcb_.Parity; }
    void fSetByteSize(int size);
    int fGetByteSize() const { return dcb_.ByteSize; }
    void fSetStopBits(int stopBits);
    int fGetStopBits() const { return dcb_.StopBits; }
    void fSetFCtrl(int code);
    int fGetFCtrl() const;
    void fSetDataOnly(bool on);
    bool fGetDataOnly() const { return dataOnly_; }
    void fSetHwBufSize(long in, long out);
    void fSetHwInSize(long in);
    void fSetHwOutSize(long out);
    long fGetHwInSize() const { return hwInSize_; }
    long fGetHwOutSize() const { return hwOutSize_; }
    // Refused (false, nothing changes) while open: the threads use the queues without a lock.
    bool fSetInBufSize(long n);
    bool fSetOutBufSize(long n);
    long fGetInBufSize() const { return inQueue_->fGetBufSize(); }
    long fGetOutBufSize() const { return outQueue_->fGetBufSize(); }
    void fSetAAns(int rings) { autoAnswer_ = rings; }
    int fGetAAns() const { return autoAnswer_; }

    void fSetDTR(bool on);
    bool fGetDTR() const { return open_ && dtrState_; }
    void fSetRTS(bool on);
    bool fGetRTS() const { return open_ && rtsState_; }
    bool fGetCTS() const { return fGetModemStatus() & MS_CTS_ON; }
    bool fGetDSR() const { return fGetModemStatus() & MS_DSR_ON; }
    bool fGetRING() const { return fGetModemStatus() & MS_RING_ON; }
    bool fGetRLSD() const { return fGetModemStatus() & MS_RLSD_ON; }
    uint32_t fGetModemStatus() const { return modemStatus_.load(std::memory_order_acquire); }

    // The errno of the hang-up or I/O error that stopped the threads, reported once with
    // EV_ERR; 0 while the line works. Kept after Close, cleared by the next Open.
    int fGetFailure() const { return failure_.load(std::memory_order_acquire); }
    // Bytes the device has taken from the write thread, since construction: what waits in the
    // queues is not counted.
    uint64_t fGetBytesWritten() const { return bytesWritten_.load(std::memory_order_acquire); }

    TCommQueue* InQueue() const { return inQueue_.get(); }
    TCommQueue* OutQueue() const { return outQueue_.get(); }
    const DeviceControl& LineSettings() const { return dcb_; }

private:
    TErrorCode OpenSteps();
    void ApplyStateFromControlModes();
    void ReadThread();
    void DrainInput();
    void WriteThread();
    int QueueBytes(const void* data, int n);
    // The first failure of either thread is kept and told to the owner.
    void Fail(int error);

    SerialDevice device_;
    DeviceControl dcb_;
    bool external_ = false;
    int externalFd_ = -1;
    bool open_ = false;
    bool disableWrite_ = false;
    bool dtrState_ = true;
    bool rtsState_ = true;
    bool dataOnly_ = false;
    int portNumber_ = 2;
    QString portName_ = QStringLiteral("COM2");
    long hwInSize_ = 1200;
    long hwOutSize_ = 1200;
    int autoAnswer_ = 0;
    const IniFile* deviceMap_ = nullptr;
    std::unique_ptr<TCommQueue> inQueue_;
    std::unique_ptr<TCommQueue> outQueue_;
    std::thread readThread_;
    std::atomic<bool> readRun_{false};
    std::atomic<bool> readAlive_{false};
    std::thread writeThread_;
    std::atomic<bool> writeRun_{false};
    std::atomic<bool> writeAlive_{false};
    std::unique_ptr<ManualResetEvent> readStop_;
    std::unique_ptr<ManualResetEvent> writeRequest_;
    std::unique_ptr<ManualResetEvent> writeStop_;
    // Set by the write thread once everything it took has left; the read thread turns it into
    // the transmit-empty event.
    std::unique_ptr<ManualResetEvent> transmitted_;
    // Taken by the write thread while it takes bytes out and by PurgeWrite while it drops them
    // (with what the write thread took but has not written yet).
    std::mutex outTake_;
    bool dropTaken_ = false;
    std::atomic<uint32_t> modemStatus_{0};
    std::atomic<int> failure_{0};
    std::atomic<uint64_t> bytesWritten_{0};
};

// The serial ports of the machine, sorted: COM names by number, then other names.
class TCommSerialPortInfo {
public:
    // ini (may be null) maps COM numbers to devices as in the programs' [Ports] section.
    explicit TCommSerialPortInfo(const IniFile* ini = nullptr);

    QStringList PortList;

    void Refresh();
    // Returns 0, or the errno of a failing look-up with PortList left as it was.
    int ListFromSystem();

    static int PortNo(const QString& name);
    static QString PortName(int n);
    static int PortListSortCompare(const QStringList& list, int i, int j);
    static void SortPortList(QStringList* list);

private:
    const IniFile* ini_;
};

}  // namespace QuillComm
