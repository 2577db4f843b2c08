#pragma once

// vyk-zones' serial line: the port named as the programs name it, opened with the scanner's
// line settings, written at once and read in short slices.

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "SerialDevice.h"
#include "Zonetransfer.h"

namespace zonescli {

// The device of PORT: a path beginning with "/", or COMn through the table and the [Ports]
// keys of iniPath. Empty when COMn maps to nothing or PORT is neither.
QString PortDevice(const QString& port, const QString& iniPath);

class ZonesLink : public CommandLink {
public:
    // False with a message naming the device and the reason, with the group hint when the
    // user may not open it.
    bool Open(const QString& device, int baud, QString& error);

    bool IsOpen() const override { return device_.IsOpen(); }
    void Send(const QByteArray& bytes) override;
    // What arrived within about sliceMs; false once the line is gone.
    bool Receive(QByteArray& bytes, int sliceMs);
    int LastError() const { return lastError_; }

private:
    SerialDevice device_;
    int lastError_ = 0;
};

}  // namespace zonescli
