#include "SerialDevice.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ArbitraryBaud.h"
#include "Tick.h"

namespace {

struct BaudConstant {
    int rate;
    speed_t constant;
};

constexpr BaudConstant kStandardRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

// Drivers make a rate from a divisor; what they keep may differ a little from what was asked.
bool CloseEnough(int actual, int wanted) {
    return std::abs(static_cast<long long>(actual) - wanted) * 100 <= 2LL * wanted;
}

uint32_t Elapsed(uint32_t since) {
    return GetTickCount() - since;
}

// Milliseconds left of a limit that began at start; -1 for no limit.
int Remaining(uint32_t start, uint64_t limit) {
    if (limit == 0)
        return -1;
    const uint32_t spent = Elapsed(start);
    return spent >= limit ? 0 : static_cast<int>(limit - spent);
}

int Earlier(int a, int b) {
    if (a < 0)
        return b;
    if (b < 0)
        return a;
    return a < b ? a : b;
}

bool PollOne(int fd, short events, int timeoutMs, short* revents) {
    pollfd entry{fd, events, 0};
    for (;;) {
        const int ready = poll(&entry, 1, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return false;
        *revents = ready == 0 ? 0 : entry.revents;
        return true;
    }
}

}  // namespace

void MakeRaw(termios* tio) {
    tio->c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio->c_oflag &= ~OPOST;
    tio->c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio->c_cflag &= ~(CRTSCTS | HUPCL);
    tio->c_cflag |= CREAD | CLOCAL;
    tio->c_cc[VMIN] = 1;
    tio->c_cc[VTIME] = 0;
}

bool SetStandardBaud(termios* tio, int baud) {
    for (const BaudConstant& entry : kStandardRates) {
        if (entry.rate == baud) {
            cfsetispeed(tio, entry.constant);
            cfsetospeed(tio, entry.constant);
            return true;
        }
    }
    return false;
}

bool BuildLineSettings(const char* definition, LineSettings* settings) {
    int baud = 0, data = 0, stop = 0, consumed = 0;
    char parity = 0;
    const int fields = std::sscanf(definition, " baud=%d parity=%c data=%d stop=%d %n", &baud,
                                   &parity, &data, &stop, &consumed);
    const bool valid = fields == 4 && definition[consumed] == '\0' && baud > 0 && data >= 5 &&
                       data <= 8 && (stop == 1 || stop == 2) &&
                       std::strchr("NEOMSneoms", parity) != nullptr;
    if (!valid) {
        errno = EINVAL;
        return false;
    }
    termios& tio = settings->tio;
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= kSizes[data - 5];
    if (stop == 2)
        tio.c_cflag |= CSTOPB;
    switch (parity | 0x20) {
        case 'e':
            tio.c_cflag |= PARENB;
            break;
        case 'o':
            tio.c_cflag |= PARENB | PARODD;
            break;
        case 'm':
            tio.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case 's':
            tio.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            break;
    }
    // A rate without a constant keeps the old constant here; SetState applies it via termios2.
    SetStandardBaud(&tio, baud);
    settings->baud = baud;
    return true;
}

bool SerialDevice::Open(const QString& path) {
    Close();
    const QByteArray name = path.toLocal8Bit();
    const int fd = open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    termios tio;
    if (tcgetattr(fd, &tio) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        close(fd);
        errno = error;
        return false;
    }
    // TIOCEXCL also keeps out programs that do not lock; root passes it, hence the flock too.
    ioctl(fd, TIOCEXCL);
    const termios found = tio;
    MakeRaw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    Adopt(fd);
    found_ = found;
    exclusive_ = true;
    return true;
}

void SerialDevice::Adopt(int fd) {
    Close();
    fd_ = fd;
    exclusive_ = false;
    eventMask_ = 0;
    eventChar_ = 0;
    eventCharSeen_ = false;
    timeouts_ = {};
}

void SerialDevice::Close() {
    if (fd_ < 0)
        return;
    if (exclusive_) {
        // As found, the next program gets its line as it expects it, and HUPCL (if it was
        // set) drops DTR and RTS when the descriptor closes.
        tcsetattr(fd_, TCSANOW, &found_);
        ioctl(fd_, TIOCNXCL);
    }
    close(fd_);
    fd_ = -1;
}

bool SerialDevice::SetTimeouts(const CommTimeouts& timeouts) {
    if (fd_ < 0)
        return errno = EBADF, false;
    timeouts_ = timeouts;
    return true;
}

bool SerialDevice::SetEventMask(uint32_t mask) {
    if (fd_ < 0)
        return errno = EBADF, false;
    eventMask_ = mask;
    LineCounts counts;
    hasLineCounts_ = ReadLineCounts(&counts);
    if (hasLineCounts_)
        lineCounts_ = counts;
    return true;
}

bool SerialDevice::GetState(LineSettings* settings) const {
    if (tcgetattr(fd_, &settings->tio) != 0)
        return false;
    settings->baud = GetActualBaud(fd_);
    settings->eventChar = eventChar_;
    int lines = 0;
    settings->rtsEnabled = ioctl(fd_, TIOCMGET, &lines) == 0 && (lines & TIOCM_RTS) != 0;
    return true;
}

bool SerialDevice::SetState(const LineSettings& settings) {
    termios wanted = settings.tio;
    const bool standard = SetStandardBaud(&wanted, settings.baud);
    if (tcsetattr(fd_, TCSANOW, &wanted) != 0)
        return false;
    if (!standard && !SetArbitraryBaud(fd_, settings.baud))
        return false;
    termios kept;
    if (tcgetattr(fd_, &kept) != 0)
        return false;
    constexpr tcflag_t kFrame = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    const int actual = GetActualBaud(fd_);
    if ((kept.c_cflag & kFrame) != (wanted.c_cflag & kFrame) || actual < 0 ||
        !CloseEnough(actual, settings.baud)) {
        errno = EINVAL;
        return false;
    }
    eventChar_ = settings.eventChar;
    // A device without modem lines has no RTS to raise, which is not a failure.
    SetRts(settings.rtsEnabled);
    return true;
}

bool SerialDevice::Purge() {
    eventCharSeen_ = false;
    return tcflush(fd_, TCIOFLUSH) == 0;
}

bool SerialDevice::PurgeInput() {
    eventCharSeen_ = false;
    return tcflush(fd_, TCIFLUSH) == 0;
}

bool SerialDevice::PurgeOutput() {
    return tcflush(fd_, TCOFLUSH) == 0;
}

bool SerialDevice::BytesWaiting(int* count) const {
    return ioctl(fd_, FIONREAD, count) == 0;
}

IoResult SerialDevice::Read(uint8_t* buffer, int count) {
    IoResult result;
    const uint32_t start = GetTickCount();
    const uint64_t total =
        static_cast<uint64_t>(timeouts_.readTotalMultiplier) * count + timeouts_.readTotalConstant;
    uint32_t lastByte = start;
    while (result.count < count) {
        const ssize_t got = read(fd_, buffer + result.count, count - result.count);
        if (got > 0) {
            for (ssize_t i = 0; i < got; ++i) {
                if (eventChar_ != 0 && buffer[result.count + i] == uint8_t(eventChar_)) {
                    eventCharSeen_ = true;
                }
            }
            result.count += static_cast<int>(got);
            lastByte = GetTickCount();
            continue;
        }
        // A terminal reads 0 bytes only once the far end hung up.
        if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
            result.failure = IoFailure::Issue;
            result.error = got == 0 ? EIO : errno;
            return result;
        }
        int wait = Remaining(start, total);
        if (result.count > 0 && timeouts_.readInterval != 0) {
            wait = Earlier(wait, Remaining(lastByte, timeouts_.readInterval));
        }
        if (wait == 0)
            break;
        short revents = 0;
        if (!PollOne(fd_, POLLIN, wait, &revents)) {
            result.failure = IoFailure::Completion;
            result.error = errno;
            return result;
        }
        if (revents == 0 && wait > 0)
            continue;  // the loop notices the limit
        if (revents & (POLLERR | POLLNVAL | POLLHUP) && !(revents & POLLIN)) {
            result.failure = IoFailure::Completion;
            result.error = EIO;
            return result;
        }
    }
    return result;
}

IoResult SerialDevice::Write(const uint8_t* bytes, int count) {
    IoResult result;
    const uint32_t start = GetTickCount();
    const uint64_t total = static_cast<uint64_t>(timeouts_.writeTotalMultiplier) * count +
                           timeouts_.writeTotalConstant;
    while (result.count < count) {
        const ssize_t put = write(fd_, bytes + result.count, count - result.count);
        if (put > 0) {
            result.count += static_cast<int>(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EINTR) {
            result.failure = result.count == 0 ? IoFailure::Issue : IoFailure::Completion;
            result.error = errno;
            return result;
        }
        const int wait = Remaining(start, total);
        if (wait == 0)
            break;
        short revents = 0;
        if (!PollOne(fd_, POLLOUT, wait, &revents)) {
            result.failure = IoFailure::Completion;
            result.error = errno;
            return result;
        }
    }
    if (result.count == count)
        WaitUntilSent(start, total);
    return result;
}

// A write is complete once its bytes have left the line, as the programs expect: the purge
// before the next write would otherwise cut the untransmitted tail of a slow command. The
// kernel keeps no output queue for a pseudo-terminal, so there this returns at once.
void SerialDevice::WaitUntilSent(uint32_t start, uint64_t total) const {
    constexpr useconds_t kPollMicroseconds = 1000;
    int queued = 0;
    while (ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0 && Remaining(start, total) != 0)
        usleep(kPollMicroseconds);
}

bool SerialDevice::ReadLineCounts(LineCounts* counts) const {
    serial_icounter_struct icount{};
    if (ioctl(fd_, TIOCGICOUNT, &icount) != 0)
        return false;
    counts->cts = icount.cts;
    counts->brk = icount.brk;
    counts->errors = icount.frame + icount.overrun + icount.parity + icount.buf_overrun;
    counts->ring = icount.rng;
    return true;
}

uint32_t SerialDevice::LineCountEvents() {
    LineCounts now;
    if (!hasLineCounts_ || !ReadLineCounts(&now))
        return 0;
    uint32_t events = 0;
    if (now.cts != lineCounts_.cts)
        events |= EV_CTS;
    if (now.brk != lineCounts_.brk)
        events |= EV_BREAK;
    if (now.errors != lineCounts_.errors)
        events |= EV_ERR;
    if (now.ring != lineCounts_.ring)
        events |= EV_RING;
    lineCounts_ = now;
    return events & eventMask_;
}

int SerialDevice::WaitEventOrLine(std::initializer_list<const ManualResetEvent*> events,
                                  uint32_t* lineEvents) {
    constexpr uint32_t kCounted = EV_CTS | EV_BREAK | EV_ERR | EV_RING;
    // Modem and error counters cannot be polled; sample them while waiting when subscribed.
    const int sampleMs = hasLineCounts_ && (eventMask_ & kCounted) ? 10 : -1;
    const bool wantData = (eventMask_ & EV_RXCHAR) != 0;
    std::vector<pollfd> entries;
    for (const ManualResetEvent* event : events) entries.push_back({event->Fd(), POLLIN, 0});
    entries.push_back({fd_, short(wantData ? POLLIN : 0), 0});
    const int device = static_cast<int>(events.size());
    for (;;) {
        const int ready = poll(entries.data(), entries.size(), sampleMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return -1;
        for (int i = 0; i < device; ++i) {
            if (entries[i].revents != 0)
                return i;
        }
        const short revents = entries[device].revents;
        // Bytes that came before a hang-up are still delivered; after them the wait fails.
        int waiting = 0;
        if (revents & (POLLERR | POLLNVAL | POLLHUP) && !(BytesWaiting(&waiting) && waiting > 0)) {
            errno = EIO;
            return -1;
        }
        uint32_t happened = LineCountEvents();
        if (revents & POLLIN)
            happened |= EV_RXCHAR & eventMask_;
        if (happened != 0) {
            *lineEvents = happened;
            return device;
        }
    }
}

bool SerialDevice::TakeEventCharSeen() {
    const bool seen = eventCharSeen_;
    eventCharSeen_ = false;
    return seen;
}

bool SerialDevice::GetModemStatus(uint32_t* status) const {
    int lines = 0;
    if (ioctl(fd_, TIOCMGET, &lines) != 0)
        return false;
    *status = (lines & TIOCM_CTS ? MS_CTS_ON : 0) | (lines & TIOCM_DSR ? MS_DSR_ON : 0) |
              (lines & TIOCM_RNG ? MS_RING_ON : 0) | (lines & TIOCM_CAR ? MS_RLSD_ON : 0);
    return true;
}

namespace {
bool SetLine(int fd, int line, bool on) {
    return ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0;
}
}  // namespace

bool SerialDevice::SetDtr(bool on) {
    return SetLine(fd_, TIOCM_DTR, on);
}

bool SerialDevice::SetRts(bool on) {
    return SetLine(fd_, TIOCM_RTS, on);
}

bool SerialDevice::SetBreak(bool on) {
    return ioctl(fd_, on ? TIOCSBRK : TIOCCBRK) == 0;
}

bool SerialDevice::SuspendOutput(bool on) {
    return tcflow(fd_, on ? TCOOFF : TCOON) == 0;
}
