#pragma once

// The serial port that a main window owns while connected to a scanner: a monitor thread waits
// for a stop request, a send request and line events, drains received bytes into a large ring,
// and writes the one pending command. The GUI thread takes the bytes out with ReadReceived.

#include <QByteArray>
#include <QEvent>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "Event.h"
#include "SerialDevice.h"

class IniFile;
class Prompt;
class QObject;

// A line-event notification, delivered to the owner with QCoreApplication::sendEvent on the
// owner's thread while the monitor thread waits for it to be handled.
class SerialLineEvent : public QEvent {
public:
    static constexpr int kCtsMessage = 1026;
    static constexpr int kBreakMessage = 1025;
    static constexpr int kErrorMessage = 1028;
    static constexpr int kRingMessage = 1029;
    static constexpr int kRxFlagMessage = 1032;

    SerialLineEvent(int message, unsigned portnr);

    static QEvent::Type EventType();
    int Message() const { return message_; }
    unsigned PortNumber() const { return portnr_; }

private:
    int message_;
    unsigned portnr_;
};

// The byte ring between the monitor thread (the one producer) and the GUI thread (the one
// consumer). One slot stays free so that full and empty differ.
class ReceiveRing {
public:
    static constexpr int32_t kSlots = 2000001;
    static constexpr int32_t kCapacity = kSlots - 1;

    // Storage for an empty ring; replaces any earlier storage. Not while the other side runs.
    void Allocate();

    // Producer: stores bytes in order until the ring is full; returns how many were stored.
    int Store(const uint8_t* bytes, int count);
    // Consumer: copies up to maxCount bytes out; returns how many. Never blocks.
    int Read(uint8_t* destination, int maxCount);

    int32_t ReadIndex() const { return read_.load(std::memory_order_acquire); }
    int32_t WriteIndex() const { return write_.load(std::memory_order_acquire); }

private:
    std::unique_ptr<uint8_t[]> slots_;
    std::atomic<int32_t> read_{0};
    std::atomic<int32_t> write_{0};
};

class TSerialPort {
public:
    static constexpr int kChunkSize = 18;
    static constexpr uint32_t kDrainLimitMs = 500;
    static constexpr uint32_t kTimeoutMs = 1000;

    // Warnings go to prompt on the owner's thread; ini (may be null) maps COM numbers to devices.
    explicit TSerialPort(Prompt& prompt, const IniFile* ini = nullptr);
    TSerialPort(const TSerialPort&) = delete;
    TSerialPort& operator=(const TSerialPort&) = delete;
    // Waits for the monitor thread (keeping the owner's events flowing); does not close the port.
    virtual ~TSerialPort();

    // Opens COM portnr exclusively and configures it. False, with nothing shown, when the device
    // cannot be opened or portnr is outside 1..99 or there is no owner; a refused setting is
    // shown as a warning and the port stays open (true). pPortOwner receives SerialLineEvent.
    bool OpenPort(QObject* pPortOwner, unsigned portnr, int baud, char parity, int databits,
                  int stopbits, uint32_t eventMask, int sendBufferSize);
    // After a failed OpenPort: the device tried (empty when the number maps to none) and the
    // system's error (ENODEV for no device at all).
    QString DevicePath() const { return devicePath_; }
    int OpenError() const { return openError_; }
    bool StartMonitor();
    // Replaces the pending command; ignored when the port is not open; cut to the buffer size.
    void SendBytes(const uint8_t* data, int length);
    void SendBytes(const QByteArray& bytes);
    int ReadReceived(uint8_t* destination, int maxCount);
    // Every byte read from the driver; 64 bits, so that days of streaming do not wrap it.
    int64_t ReceivedTotal() const { return receivedTotal_.load(std::memory_order_relaxed); }
    void ClosePort();

    // Once the owner has begun to close, no warning may keep it waiting: none is shown after
    // this. Closing and destroying the port do the same.
    void SilenceWarnings() { silent_.store(true, std::memory_order_release); }
    // The device hung up or went away (an unplugged adapter), after its one warning was shown.
    // The port stays open to nothing; its owner releases it.
    bool DeviceLost() const { return lost_.load(std::memory_order_acquire); }

private:
    void MonitorThread();
    void DrainInput();
    void WritePending();
    void Notify(uint32_t lineEvents);
    void WaitForMonitorEnd();
    void ReportError(const char* operation, int errorCode);
    // The one warning of a device that is gone; what fails after it is not reported.
    void LoseDevice(const char* operation, int errorCode);
    // Runs work on the thread of context and waits until it has run (a synchronous message).
    static void RunOnThreadOf(QObject* context, std::function<void()> work);

    Prompt& prompt_;
    const IniFile* ini_;
    int32_t sendLength_ = 0;
    SerialDevice m_hComm;
    std::atomic<int64_t> receivedTotal_{0};
    unsigned portnr_ = 0;
    std::thread thread_;
    std::mutex portLock_;
    std::atomic<bool> threadRunning_{false};
    std::atomic<bool> silent_{false};
    std::atomic<bool> lost_{false};
    ManualResetEvent sendEvent_;
    ManualResetEvent stopEvent_;
    CommTimeouts timeouts_;
    LineSettings lineSettings_;
    QObject* owner_ = nullptr;
    std::unique_ptr<uint8_t[]> sendBuffer_;
    ReceiveRing ring_;
    uint32_t eventMask_ = 0;
    int32_t sendBufferSize_ = 0;
    QString devicePath_;
    int openError_ = 0;
};
