#include "Tquillcomm.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "ComPorts.h"

namespace QuillComm {

namespace {

const char* const Str_ResetModem = "ATZ\r";
const char* const Fmt_InitModem = "ATE0&K%dS0=%d\r";

// Reads only take what the driver said is waiting; the limit covers a purge in between.
constexpr uint32_t kReadLimitMs = 20;
// A write that the line cannot take returns after this, so that Close is never kept waiting.
constexpr uint32_t kWriteLimitMs = 100;

// A handler's exception never leaves the port: it may run on the read thread.
template <typename Handler, typename... Args>
void CallQuietly(const Handler& handler, Args... args) {
    if (!handler)
        return;
    try {
        handler(args...);
    } catch (...) {
    }
}

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

enum EscapeCode : unsigned {
    SETXOFF = 1,
    SETXON = 2,
    SETRTS = 3,
    CLRRTS = 4,
    SETDTR = 5,
    CLRDTR = 6,
    SETBREAK = 8,
    CLRBREAK = 9,
};

}  // namespace

TQuillComm::TQuillComm()
    : inQueue_(std::make_unique<TCommQueue>(kQueueSize)),
      outQueue_(std::make_unique<TCommQueue>(kQueueSize)) {}

TQuillComm::~TQuillComm() {
    try {
        Close();
    } catch (const EQuillCommError&) {
    }
}

void TQuillComm::fSetActive(bool on) {
    if (on)
        Open();
    else
        Close();
}

int TQuillComm::Read(void* buffer, int n) {
    return inQueue_->Out(static_cast<uint8_t*>(buffer), n);
}

int TQuillComm::Write(const void* data, int n) {
    if (disableWrite_)
        return 0;
    return QueueBytes(data, n);
}

int TQuillComm::Command(const char* text) {
    if (text == nullptr)
        return 0;
    return QueueBytes(text, static_cast<int>(std::strlen(text)));
}

int TQuillComm::QueueBytes(const void* data, int n) {
    const int queued = outQueue_->In(static_cast<const uint8_t*>(data), n);
    if (writeRequest_)
        writeRequest_->Set();
    return queued;
}

void TQuillComm::PurgeRead(bool) {
    if (!open_)
        return;
    // Reads never stay pending here, so an abort has nothing more to end.
    device_.PurgeInput();
    inQueue_->Clear();
}

void TQuillComm::PurgeWrite(bool) {
    if (!open_)
        return;
    {
        // The write thread consumes the queue; it must not take bytes while they are dropped.
        std::lock_guard<std::mutex> hold(outTake_);
        outQueue_->Clear();
        dropTaken_ = true;
    }
    device_.PurgeOutput();
}

int TQuillComm::ResetModem() {
    return Command(Str_ResetModem);
}

int TQuillComm::InitModem() {
    char text[64];
    std::snprintf(text, sizeof text, Fmt_InitModem, fGetFCtrl(), autoAnswer_);
    return Command(text);
}

bool TQuillComm::EscapeCommFunction(unsigned code) {
    if (!open_)
        return false;
    bool done = false;
    switch (code) {
        case SETXOFF:
        case SETXON:
            done = device_.SuspendOutput(code == SETXOFF);
            break;
        case SETRTS:
        case CLRRTS:
            done = device_.SetRts(code == SETRTS);
            if (done)
                rtsState_ = code == SETRTS;
            break;
        case SETDTR:
        case CLRDTR:
            done = device_.SetDtr(code == SETDTR);
            if (done)
                dtrState_ = code == SETDTR;
            break;
        case SETBREAK:
        case CLRBREAK:
            done = device_.SetBreak(code == SETBREAK);
            break;
        default:
            break;
    }
    return done;
}

QString TQuillComm::DevicePath() const {
    if (portNumber_ > 0)
        return ComDevicePath(portNumber_, deviceMap_);
    if (portName_.isEmpty() || portName_.startsWith(QLatin1Char('/')))
        return portName_;
    return QStringLiteral("/dev/") + portName_;
}

void TQuillComm::Open() {
    if (open_)
        return;
    const TErrorCode code = OpenSteps();
    if (code != 0) {
        const int systemError = errno;  // before the clean-up's calls change it
        // The failure of the open is what the caller needs to hear of.
        try {
            Close();
        } catch (const EQuillCommError&) {
        }
        throw EQuillCommError(code, portName_, systemError);
    }
    CommNotify(kLineEvents);
    CommAfterOpen();
}

TErrorCode TQuillComm::OpenSteps() {
    if (!inQueue_->fIsValid())
        return 2;
    if (!outQueue_->fIsValid())
        return 3;
    if (external_) {
        // Our own duplicate: closing it leaves the owner's descriptor open.
        const int fd = dup(externalFd_);
        if (fd >= 0) {
            // The threads must never block in a read or a write.
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
            device_.Adopt(fd);
        }
    } else {
        const QString path = DevicePath();
        if (path.isEmpty() || !device_.Open(path))
            return 4;
    }
    if (!device_.SetEventMask(EV_RXFLAG))
        return 5;
    // Linux serial drivers keep buffers of their own size: the requested sizes are not applied.
    device_.SetTimeouts({0, 0, kReadLimitMs, 0, kWriteLimitMs});
    ::LineSettings settings;
    if (external_) {
        if (!device_.GetState(&settings))
            return 7;
        LineSettingsToDeviceControl(settings, &dcb_);
        dcb_.fAbortOnError = false;
    } else {
        if (dcb_.fDtrControl != DTR_CONTROL_HANDSHAKE)
            dcb_.fDtrControl = dtrState_ ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        if (dcb_.fRtsControl != RTS_CONTROL_HANDSHAKE && dcb_.fRtsControl != RTS_CONTROL_TOGGLE)
            dcb_.fRtsControl = rtsState_ ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        if (!device_.GetState(&settings))
            return 8;
    }
    if (!DeviceControlToLineSettings(dcb_, &settings) || !device_.SetState(settings))
        return 8;
    // Fails quietly on a device without modem lines.
    device_.SetDtr(DtrRaised(dcb_));
    try {
        readStop_ = std::make_unique<ManualResetEvent>();
    } catch (const std::exception&) {
        return 9;
    }
    try {
        writeRequest_ = std::make_unique<ManualResetEvent>();
        writeStop_ = std::make_unique<ManualResetEvent>();
        transmitted_ = std::make_unique<ManualResetEvent>();
    } catch (const std::exception&) {
        return 10;
    }
    dropTaken_ = false;
    failure_ = 0;
    // Alive before the thread exists, so that a Close right after the start waits for it.
    readRun_ = readAlive_ = true;
    try {
        readThread_ = std::thread(&TQuillComm::ReadThread, this);
    } catch (const std::system_error&) {
        readRun_ = readAlive_ = false;
        return 11;
    }
    writeRun_ = writeAlive_ = true;
    try {
        writeThread_ = std::thread(&TQuillComm::WriteThread, this);
    } catch (const std::system_error&) {
        writeRun_ = writeAlive_ = false;
        return 12;
    }
    open_ = true;
    disableWrite_ = false;
    uint32_t status = 0;
    device_.GetModemStatus(&status);
    modemStatus_.store(status, std::memory_order_release);
    ApplyStateFromControlModes();
    return 0;
}

void TQuillComm::Close() {
    const bool wasOpen = open_;
    if (wasOpen)
        CommBeforeClose();
    readRun_ = false;
    writeRun_ = false;
    // The stop events end any wait of the threads; the event mask need not be touched.
    if (readStop_)
        readStop_->Set();
    if (writeStop_)
        writeStop_->Set();
    // By the clock: on a loaded machine a hundred 5 ms sleeps take far longer than 500 ms.
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(kCloseWaitSteps * kCloseWaitStepMs);
    while ((readAlive_ || writeAlive_) && std::chrono::steady_clock::now() < deadline)
        SleepMs(kCloseWaitStepMs);
    TErrorCode code = 0;
    if (writeAlive_)
        code = 14;
    else if (readAlive_)
        code = 13;
    // A thread that overran the wait (a notification handler that blocks) still uses the
    // device and the events, so it is waited for before they go; the error still tells.
    if (readThread_.joinable())
        readThread_.join();
    if (writeThread_.joinable())
        writeThread_.join();
    readStop_.reset();
    writeRequest_.reset();
    writeStop_.reset();
    transmitted_.reset();
    device_.Close();
    ApplyStateFromControlModes();
    if (wasOpen) {
        open_ = false;
        modemStatus_.store(0, std::memory_order_release);
        CommNotify(kLineEvents);
    }
    if (code != 0)
        throw EQuillCommError(code, portName_);
}

void TQuillComm::ApplyStateFromControlModes() {
    dtrState_ = dcb_.fDtrControl != DTR_CONTROL_DISABLE;
    rtsState_ = dcb_.fRtsControl != RTS_CONTROL_DISABLE;
}

void TQuillComm::ReadThread() {
    device_.SetEventMask(dataOnly_ ? kDataOnlyEvents : kAllEvents);
    while (readRun_) {
        uint32_t events = 0;
        const int woke = device_.WaitEventOrLine({readStop_.get(), transmitted_.get()}, &events);
        if (woke == 0 || !readRun_)
            break;
        if (woke < 0) {
            // A device that hung up or was removed does not come back under this descriptor.
            Fail(errno);
            break;
        }
        if (woke == 1) {
            transmitted_->Reset();
            events = EV_TXEMPTY;
        }
        if (events & EV_RXCHAR)
            DrainInput();
        if (events & (EV_CTS | EV_DSR | EV_RLSD | EV_RING)) {
            uint32_t status = 0;
            device_.GetModemStatus(&status);
            modemStatus_.store(status, std::memory_order_release);
            // CTS came back on a hand-shaken line: sending may resume.
            if ((events & EV_CTS) && !external_ && dcb_.fOutxCtsFlow && (status & MS_CTS_ON))
                events |= EV_TXEMPTY;
        }
        if ((events & EV_TXEMPTY) && (fGetCTS() || !dcb_.fOutxCtsFlow || external_)) {
            if (outQueue_->fGetCount() > 0)
                events &= ~EV_TXEMPTY;
            writeRequest_->Set();
        }
        // Line errors are counted by the driver; there is no error state to clear.
        if (events != 0)
            CommNotify(events);
        else
            SleepMs(1);
    }
    readAlive_ = false;
}

void TQuillComm::DrainInput() {
    int waiting = 0;
    if (!device_.BytesWaiting(&waiting))
        return;
    uint8_t piece[kReadPiece];
    while (waiting > 0 && readRun_) {
        const IoResult got = device_.Read(piece, std::min(waiting, kReadPiece));
        inQueue_->In(piece, got.count);
        // A read that fails or finds nothing ends the drain; the next event starts another.
        if (got.failure != IoFailure::None || got.count == 0)
            break;
        waiting -= got.count;
    }
}

void TQuillComm::WriteThread() {
    uint8_t local[kWritePiece];
    int length = 0;
    int written = 0;
    while (WaitAny({writeStop_.get(), writeRequest_.get()}) == 1 && writeRun_) {
        writeRequest_->Reset();
        {
            std::lock_guard<std::mutex> hold(outTake_);
            if (dropTaken_) {
                length = written = 0;
                dropTaken_ = false;
            }
        }
        if (written < length) {
            const IoResult put = device_.Write(local + written, length - written);
            written += put.count;
            bytesWritten_.fetch_add(static_cast<uint64_t>(put.count), std::memory_order_release);
            if (put.failure != IoFailure::None) {
                Fail(put.error);
                break;
            }
            if (written < length) {
                writeRequest_->Set();
            } else {
                transmitted_->Set();
            }
            SleepMs(1);
        } else {
            std::lock_guard<std::mutex> hold(outTake_);
            length = outQueue_->Out(local, kWritePiece);
            written = 0;
            if (length > 0)
                writeRequest_->Set();
        }
    }
    writeAlive_ = false;
}

void TQuillComm::Fail(int error) {
    int none = 0;
    if (failure_.compare_exchange_strong(none, error != 0 ? error : EIO))
        CommNotify(EV_ERR);
}

void TQuillComm::CommNotify(uint32_t events) {
    CallQuietly(OnCommNotify, this, events);
}

void TQuillComm::CommAfterOpen() {
    CallQuietly(AfterOpen, this);
}

void TQuillComm::CommBeforeClose() {
    CallQuietly(BeforeClose, this);
}

}  // namespace QuillComm
