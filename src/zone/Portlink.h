#pragma once

// The zone tool's commands go out through the main window's serial port while it is open.

#include "SerialPort.h"
#include "Zonetransfer.h"

class PortLink : public CommandLink {
public:
    void SetPort(TSerialPort* port) { port_ = port; }
    bool IsOpen() const override { return port_ != nullptr; }
    void Send(const QByteArray& bytes) override {
        if (port_)
            port_->SendBytes(bytes);
    }

private:
    TSerialPort* port_ = nullptr;
};
