#pragma once

// Keeps a main window connected across an unplugged adapter: once its port reports the device
// lost, the port is released and the device tried about once a second; when it is back (a USB
// adapter comes back under the same name or /dev/serial/by-id link) it is opened again with the
// same settings. The window's timer drives it; it holds no window code.

#include <cstdint>
#include <functional>
#include <memory>

class TSerialPort;

class PortReconnect {
public:
    static constexpr uint32_t kRetryMs = 1000;

    // Opens and starts the port as the window did, quietly; null while the device is not back.
    using Opener = std::function<std::unique_ptr<TSerialPort>()>;

    enum class Change { None, Lost, Back };

    explicit PortReconnect(Opener open);

    // One timer tick at millisecond time now. Lost: port was released and is null now; Back: port
    // is a new, open port.
    Change Tick(std::unique_ptr<TSerialPort>& port, uint32_t now);
    bool Waiting() const { return waiting_; }
    // A deliberate release (disconnect, exit, replay, upgrade) ends the waiting.
    void Cancel() { waiting_ = false; }

private:
    Opener open_;
    bool waiting_ = false;
    uint32_t lastTry_ = 0;
};
