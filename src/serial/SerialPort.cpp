#include "SerialPort.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "ComPorts.h"
#include "Prompt.h"
#include "SystemError.h"
#include "Tick.h"

namespace {

struct Notification {
    uint32_t event;
    int message;
};

// The order in which a line event's notifications go out.
constexpr Notification kNotifications[] = {
    {EV_CTS, SerialLineEvent::kCtsMessage},       {EV_BREAK, SerialLineEvent::kBreakMessage},
    {EV_ERR, SerialLineEvent::kErrorMessage},     {EV_RING, SerialLineEvent::kRingMessage},
    {EV_RXFLAG, SerialLineEvent::kRxFlagMessage},
};

// Errors of a device that hung up or was removed, as an unplugged USB adapter.
bool DeviceGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

}  // namespace

SerialLineEvent::SerialLineEvent(int message, unsigned portnr)
    : QEvent(EventType()), message_(message), portnr_(portnr) {}

QEvent::Type SerialLineEvent::EventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void ReceiveRing::Allocate() {
    slots_ = std::make_unique<uint8_t[]>(kSlots);
    read_.store(0, std::memory_order_relaxed);
    write_.store(0, std::memory_order_relaxed);
}

int ReceiveRing::Store(const uint8_t* bytes, int count) {
    if (!slots_ || count <= 0)
        return 0;
    const int32_t write = write_.load(std::memory_order_relaxed);
    const int32_t read = read_.load(std::memory_order_acquire);
    int32_t room = read - write - 1;
    if (room < 0)
        room += kSlots;
    const int32_t stored = std::min<int32_t>(count, room);
    const int32_t first = std::min<int32_t>(stored, kSlots - write);
    std::memcpy(slots_.get() + write, bytes, first);
    std::memcpy(slots_.get(), bytes + first, stored - first);
    int32_t next = write + stored;
    if (next >= kSlots)
        next -= kSlots;
    write_.store(next, std::memory_order_release);
    return stored;
}

int ReceiveRing::Read(uint8_t* destination, int maxCount) {
    if (!slots_ || maxCount <= 0)
        return 0;
    const int32_t read = read_.load(std::memory_order_relaxed);
    const int32_t write = write_.load(std::memory_order_acquire);
    int32_t available = write - read;
    if (available < 0)
        available += kSlots;
    const int32_t copied = std::min<int32_t>(maxCount, available);
    const int32_t first = std::min<int32_t>(copied, kSlots - read);
    std::memcpy(destination, slots_.get() + read, first);
    std::memcpy(destination + first, slots_.get(), copied - first);
    int32_t next = read + copied;
    if (next >= kSlots)
        next -= kSlots;
    read_.store(next, std::memory_order_release);
    return copied;
}

TSerialPort::TSerialPort(Prompt& prompt, const IniFile* ini) : prompt_(prompt), ini_(ini) {}

TSerialPort::~TSerialPort() {
    WaitForMonitorEnd();
}

bool TSerialPort::OpenPort(QObject* pPortOwner, unsigned portnr, int baud, char parity,
                           int databits, int stopbits, uint32_t eventMask, int sendBufferSize) {
    devicePath_.clear();
    if (portnr == 0 || portnr >= 100 || pPortOwner == nullptr || sendBufferSize <= 0) {
        openError_ = EINVAL;
        return false;
    }
    WaitForMonitorEnd();
    silent_.store(false, std::memory_order_release);
    lost_.store(false, std::memory_order_release);
    stopEvent_.Reset();
    sendEvent_.Reset();
    owner_ = pPortOwner;
    sendBuffer_ = std::make_unique<uint8_t[]>(sendBufferSize);
    sendLength_ = 0;
    ring_.Allocate();
    portnr_ = portnr;
    sendBufferSize_ = sendBufferSize;
    eventMask_ = eventMask;

    std::unique_lock<std::mutex> lock(portLock_);
    m_hComm.Close();
    char definition[80];
    std::snprintf(definition, sizeof definition, "baud=%d parity=%c data=%d stop=%d", baud, parity,
                  databits, stopbits);
    devicePath_ = ComDevicePath(static_cast<int>(portnr), ini_);
    if (devicePath_.isEmpty()) {
        openError_ = ENODEV;
        return false;
    }
    if (!m_hComm.Open(devicePath_)) {
        openError_ = errno;
        return false;
    }
    openError_ = 0;

    timeouts_ = {kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs, kTimeoutMs};
    const char* failed = nullptr;
    if (!m_hComm.SetTimeouts(timeouts_)) {
        failed = "SetCommTimeouts()";
    } else if (!m_hComm.SetEventMask(eventMask)) {
        failed = "SetCommMask()";
    } else if (!m_hComm.GetState(&lineSettings_)) {
        failed = "GetCommState()";
    } else {
        lineSettings_.eventChar = 'q';
        lineSettings_.rtsEnabled = true;
        if (!BuildLineSettings(definition, &lineSettings_)) {
            failed = "BuildCommDCB()";
        } else if (!m_hComm.SetState(lineSettings_)) {
            failed = "SetCommState()";
        }
    }
    const int error = errno;
    m_hComm.Purge();
    // Shown after the lock is released: the box runs an event loop whose timers may send.
    lock.unlock();
    if (failed)
        ReportError(failed, error);
    return true;
}

bool TSerialPort::StartMonitor() {
    if (thread_.joinable())
        return true;
    // Set before the thread exists, so that a close right after the start waits for it.
    threadRunning_.store(true, std::memory_order_release);
    try {
        thread_ = std::thread(&TSerialPort::MonitorThread, this);
    } catch (const std::system_error& failure) {
        threadRunning_.store(false, std::memory_order_release);
        ReportError("Create Thread Error", failure.code().value());
        return false;
    }
    return true;
}

void TSerialPort::SendBytes(const uint8_t* data, int length) {
    if (!m_hComm || !sendBuffer_ || length < 0)
        return;
    const int count = std::min(length, sendBufferSize_);
    {
        std::lock_guard<std::mutex> lock(portLock_);
        std::memcpy(sendBuffer_.get(), data, count);
        sendLength_ = count;
    }
    sendEvent_.Set();
}

void TSerialPort::SendBytes(const QByteArray& bytes) {
    SendBytes(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size());
}

int TSerialPort::ReadReceived(uint8_t* destination, int maxCount) {
    return ring_.Read(destination, maxCount);
}

void TSerialPort::ClosePort() {
    WaitForMonitorEnd();
    {
        std::lock_guard<std::mutex> lock(portLock_);
        m_hComm.Close();
    }
    stopEvent_.Reset();
    sendEvent_.Reset();
}

void TSerialPort::WaitForMonitorEnd() {
    if (!thread_.joinable())
        return;
    SilenceWarnings();
    // The monitor thread may sit in a notification or a warning that the owner's thread has to
    // handle, so the owner's posted events keep flowing while we wait.
    while (threadRunning_.load(std::memory_order_acquire)) {
        stopEvent_.Set();
        if (owner_)
            QCoreApplication::sendPostedEvents(owner_);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    thread_.join();
}

void TSerialPort::MonitorThread() {
    threadRunning_.store(true, std::memory_order_release);
    if (m_hComm) {
        std::lock_guard<std::mutex> lock(portLock_);
        m_hComm.Purge();
    }
    for (;;) {
        uint32_t happened = 0;
        int index;
        if (!m_hComm || DeviceLost()) {
            index = WaitAny({&stopEvent_, &sendEvent_});
        } else {
            index = m_hComm.WaitEventOrLine({&stopEvent_, &sendEvent_}, &happened);
            if (index < 0) {
                // A device that hung up or went away stays so; only stop and send remain.
                LoseDevice("WaitCommEvent()", errno);
                continue;
            }
        }
        if (index == 0)
            break;
        if (index == 1) {
            WritePending();
            continue;
        }
        if (happened & EV_RXCHAR)
            DrainInput();
        bool eventChar;
        {
            std::lock_guard<std::mutex> lock(portLock_);
            eventChar = m_hComm.TakeEventCharSeen();
        }
        if (eventChar)
            happened |= EV_RXFLAG;
        Notify(happened & eventMask_);
    }
    threadRunning_.store(false, std::memory_order_release);
}

void TSerialPort::DrainInput() {
    const uint32_t start = GetTickCount();
    uint8_t chunk[kChunkSize];
    for (;;) {
        if (stopEvent_.IsSet())
            return;
        int waiting = 0;
        {
            std::lock_guard<std::mutex> lock(portLock_);
            if (!m_hComm.BytesWaiting(&waiting))
                waiting = 0;
        }
        if (waiting <= 0)
            return;
        // Under a continuous stream the wait set must still get its turn (stop, send).
        if (GetTickCount() - start > kDrainLimitMs)
            return;
        IoResult result;
        {
            std::lock_guard<std::mutex> lock(portLock_);
            result = m_hComm.Read(chunk, kChunkSize);
        }
        if (result.failure != IoFailure::None) {
            const char* operation = result.failure == IoFailure::Completion
                                        ? "GetOverlappedResults() in ReadFile()"
                                        : "ReadFile()";
            if (DeviceGone(result.error)) {
                LoseDevice(operation, result.error);
                return;
            }
            ReportError(operation, result.error);
            continue;
        }
        if (result.count > 0) {
            receivedTotal_.fetch_add(result.count, std::memory_order_relaxed);
            ring_.Store(chunk, result.count);
        }
    }
}

void TSerialPort::WritePending() {
    sendEvent_.Reset();
    IoResult result;
    {
        std::lock_guard<std::mutex> lock(portLock_);
        m_hComm.Purge();
        result = m_hComm.Write(sendBuffer_.get(), sendLength_);
    }
    if (result.failure == IoFailure::Issue && !DeviceLost())
        ReportError("WriteFile()", result.error);
}

void TSerialPort::Notify(uint32_t lineEvents) {
    for (const Notification& notification : kNotifications) {
        if ((lineEvents & notification.event) == 0 || owner_ == nullptr)
            continue;
        QObject* owner = owner_;
        const int message = notification.message;
        const unsigned portnr = portnr_;
        RunOnThreadOf(owner, [owner, message, portnr] {
            SerialLineEvent event(message, portnr);
            QCoreApplication::sendEvent(owner, &event);
        });
    }
}

void TSerialPort::LoseDevice(const char* operation, int errorCode) {
    if (DeviceLost())
        return;
    ReportError(operation, errorCode);
    // Only now: an owner that released the port while the box was up would wait on it forever.
    lost_.store(true, std::memory_order_release);
}

void TSerialPort::ReportError(const char* operation, int errorCode) {
    if (silent_.load(std::memory_order_acquire))
        return;
    const QString text = QString("WARNING:  %1 Failed with the following error: \n%2\nPort: %3\n")
                             .arg(QString::fromLatin1(operation), SystemErrorText(errorCode),
                                  QString::number(portnr_));
    QObject* context = owner_ ? owner_ : QCoreApplication::instance();
    if (context == nullptr || context->thread() == QThread::currentThread()) {
        prompt_.Message(text, "Warning", Prompt::Icon::Warning);
        return;
    }
    // The owner may have begun to close while the warning waited for its turn.
    RunOnThreadOf(context, [this, text] {
        if (!silent_.load(std::memory_order_acquire))
            prompt_.Message(text, "Warning", Prompt::Icon::Warning);
    });
}

void TSerialPort::RunOnThreadOf(QObject* context, std::function<void()> work) {
    struct Completion {
        std::mutex lock;
        std::condition_variable changed;
        bool done = false;
    };
    // Signals when the posted call is destroyed: after it ran, or when its context went away
    // and it never will.
    struct Signal {
        std::shared_ptr<Completion> completion;
        ~Signal() {
            if (!completion)
                return;
            {
                std::lock_guard<std::mutex> lock(completion->lock);
                completion->done = true;
            }
            completion->changed.notify_all();
        }
    };
    // The posted call is handed over under this lock as well as Qt's own, whose inside is
    // invisible to the thread sanitizer.
    static std::mutex handOver;
    auto completion = std::make_shared<Completion>();
    auto signal = std::make_shared<Signal>();
    signal->completion = completion;
    {
        std::lock_guard<std::mutex> posting(handOver);
        QMetaObject::invokeMethod(
            context,
            [signal = std::move(signal), work = std::move(work)] {
                { std::lock_guard<std::mutex> taken(handOver); }
                work();
            },
            Qt::QueuedConnection);
    }
    std::unique_lock<std::mutex> lock(completion->lock);
    completion->changed.wait(lock, [&] { return completion->done; });
}
