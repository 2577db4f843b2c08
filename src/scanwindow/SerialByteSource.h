#pragma once

// The acquisition loop's byte source on an open serial port.

#include "Acquisition.h"
#include "SerialPort.h"

namespace scanwindow {

class SerialByteSource : public ByteSource {
public:
    explicit SerialByteSource(TSerialPort& port) : port_(port) {}
    int ReadReceived(uint8_t* destination, int maxCount) override {
        return port_.ReadReceived(destination, maxCount);
    }
    int64_t ReceivedTotal() const override { return port_.ReceivedTotal(); }

private:
    TSerialPort& port_;
};

}  // namespace scanwindow
