#pragma once

// COM port names of the programs mapped onto Linux serial devices.
//
//   COM1  .. COM32  ->  /dev/ttyS0   .. /dev/ttyS31
//   COM33 .. COM48  ->  /dev/ttyUSB0 .. /dev/ttyUSB15
//   COM49 .. COM64  ->  /dev/ttyACM0 .. /dev/ttyACM15
//   COM65 .. COM99  ->  nothing, unless the INI names a device
//
// A key "COMn" in section "Ports" of the program's INI file names the device of COMn and wins
// over the table (e.g. COM70=/dev/serial/by-id/usb-..., COM5=/dev/rfcomm0, COM80=/dev/pts/3).

#include <QString>
#include <QStringList>

class IniFile;

constexpr int kMaxComNumber = 99;

// The device path of COMn; empty when n is outside 1..99 or nothing is mapped. ini may be null.
QString ComDevicePath(int comNumber, const IniFile* ini);

// "COMn" for every n whose device is present, in COM order. A /dev/ttyS device counts only when
// a real UART backs it (the kernel creates all of them whether or not one exists).
QStringList PresentComNames(const IniFile* ini);

// The number n of a name "COMn" (any case), or 0 when it is not one.
int ComNumber(const QString& comName);

enum class ComDeviceState {
    Missing,       // no such device, or a /dev/ttyS without hardware
    Available,     // can be opened now
    NoPermission,  // exists, but this user may not open it (e.g. not in group "dialout")
    Busy,          // held exclusively by another program or another port object
};

// What opening the device at path would meet, found without keeping it open.
ComDeviceState ProbeComDevice(const QString& path);
