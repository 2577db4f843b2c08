#pragma once

// A serial device on termios, with the behaviour the serial port code was written for: an
// exclusive open, read and write timeouts, an event mask of line events, line settings built
// from a definition string, purges and the input queue count, a wait for a line event together
// with manual-reset events, and the modem lines. Every call that fails leaves errno set.

#include <termios.h>

#include <QString>
#include <cstdint>
#include <initializer_list>

#include "Event.h"

// Line events, with the values the programs use in their event masks.
constexpr uint32_t EV_RXCHAR = 0x0001;
constexpr uint32_t EV_RXFLAG = 0x0002;
constexpr uint32_t EV_TXEMPTY = 0x0004;
constexpr uint32_t EV_CTS = 0x0008;
constexpr uint32_t EV_DSR = 0x0010;
constexpr uint32_t EV_RLSD = 0x0020;
constexpr uint32_t EV_BREAK = 0x0040;
constexpr uint32_t EV_ERR = 0x0080;
constexpr uint32_t EV_RING = 0x0100;

// Modem status bits.
constexpr uint32_t MS_CTS_ON = 0x0010;
constexpr uint32_t MS_DSR_ON = 0x0020;
constexpr uint32_t MS_RING_ON = 0x0040;
constexpr uint32_t MS_RLSD_ON = 0x0080;

struct CommTimeouts {
    uint32_t readInterval = 0;
    uint32_t readTotalMultiplier = 0;
    uint32_t readTotalConstant = 0;
    uint32_t writeTotalMultiplier = 0;
    uint32_t writeTotalConstant = 0;
};

// The device-control block: termios plus what termios has no field for.
struct LineSettings {
    termios tio{};
    int baud = 0;        // any rate, also those without a B constant
    char eventChar = 0;  // receiving it raises EV_RXFLAG
    bool rtsEnabled = false;
};

// Pure set-up on termios. Raw bytes in and out: no echo, no line editing, no translation, no
// flow control, the receiver on, modem lines ignored for the open.
void MakeRaw(termios* tio);
// Sets the B constant of a standard rate; false when the rate has none.
bool SetStandardBaud(termios* tio, int baud);
// Parses "baud=%d parity=%c data=%d stop=%d" (parity N, E, O, M or S; data 5..8; stop 1 or 2)
// into settings; false with errno EINVAL, and settings untouched, when any part is invalid.
bool BuildLineSettings(const char* definition, LineSettings* settings);

enum class IoFailure { None, Issue, Completion };

struct IoResult {
    int count = 0;
    IoFailure failure = IoFailure::None;  // Issue: the call itself; Completion: the wait for it
    int error = 0;
};

class SerialDevice {
public:
    SerialDevice() = default;
    ~SerialDevice() { Close(); }
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens a terminal device for reading and writing in raw mode, exclusively: while it is
    // held, a second Open of it (this program or another) fails with EBUSY.
    bool Open(const QString& path);
    // Takes over a descriptor opened elsewhere (the caller passes a duplicate it may close),
    // leaving its settings and exclusivity as they are.
    void Adopt(int fd);
    // Gives a device it opened back the settings it had before Open, then closes it.
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    explicit operator bool() const { return IsOpen(); }

    bool SetTimeouts(const CommTimeouts& timeouts);
    bool SetEventMask(uint32_t mask);
    bool GetState(LineSettings* settings) const;
    // False when the device refuses a setting or does not keep it (a rate it cannot make).
    bool SetState(const LineSettings& settings);

    // Discards both queues, or one of them.
    bool Purge();
    bool PurgeInput();
    bool PurgeOutput();
    bool BytesWaiting(int* count) const;

    // Completes when count bytes arrived, when the read interval passes between two bytes, or
    // after the total (multiplier per byte plus constant); a zero timeout does not limit.
    IoResult Read(uint8_t* buffer, int count);
    // Completes when all is written or the write total passes.
    IoResult Write(const uint8_t* bytes, int count);

    // Waits until one of events is set or a subscribed line event happens. Returns the lowest
    // index of a set event, or events.size() for a line event with what happened in *lineEvents;
    // -1 when the device failed (hung up, removed).
    int WaitEventOrLine(std::initializer_list<const ManualResetEvent*> events,
                        uint32_t* lineEvents);

    // Whether a Read since the last call delivered the event character. Without EV_RXCHAR in
    // the mask nothing is read, so EV_RXFLAG is only seen together with it.
    bool TakeEventCharSeen();

    // False with ENOTTY (or EINVAL) when the device has no modem lines, as a pseudo-terminal.
    bool GetModemStatus(uint32_t* status) const;
    bool SetDtr(bool on);
    bool SetRts(bool on);
    bool SetBreak(bool on);
    // Holds or resumes our transmission as if XOFF or XON had been received.
    bool SuspendOutput(bool on);

private:
    struct LineCounts {
        int cts = 0, brk = 0, errors = 0, ring = 0;
    };
    bool ReadLineCounts(LineCounts* counts) const;
    uint32_t LineCountEvents();
    void WaitUntilSent(uint32_t start, uint64_t total) const;

    int fd_ = -1;
    bool exclusive_ = false;
    termios found_{};  // the settings of an opened device before Open, given back at close
    CommTimeouts timeouts_;
    uint32_t eventMask_ = 0;
    char eventChar_ = 0;
    bool eventCharSeen_ = false;
    bool hasLineCounts_ = false;
    LineCounts lineCounts_;
};
