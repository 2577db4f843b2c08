#include "PortReconnect.h"

#include "SerialPort.h"

PortReconnect::PortReconnect(Opener open) : open_(std::move(open)) {}

PortReconnect::Change PortReconnect::Tick(std::unique_ptr<TSerialPort>& port, uint32_t now) {
    if (port) {
        // Connected again by other means (the port dialog): nothing to wait for.
        waiting_ = false;
        if (!port->DeviceLost())
            return Change::None;
        port->ClosePort();
        port.reset();
        waiting_ = true;
        lastTry_ = now;
        return Change::Lost;
    }
    if (!waiting_ || now - lastTry_ < kRetryMs)
        return Change::None;
    lastTry_ = now;
    port = open_();
    if (!port)
        return Change::None;
    waiting_ = false;
    return Change::Back;
}
