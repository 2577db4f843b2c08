#pragma once

// The device-control record of a serial port as the comm component keeps it (the fields of the
// Windows DCB), and its translation to and from the termios line settings. Fields termios has
// no place for (limits, error and end-of-file characters, null stripping) are kept, not applied.

#include <cstdint>

#include "SerialDevice.h"

constexpr int DTR_CONTROL_DISABLE = 0;
constexpr int DTR_CONTROL_ENABLE = 1;
constexpr int DTR_CONTROL_HANDSHAKE = 2;
constexpr int RTS_CONTROL_DISABLE = 0;
constexpr int RTS_CONTROL_ENABLE = 1;
constexpr int RTS_CONTROL_HANDSHAKE = 2;
constexpr int RTS_CONTROL_TOGGLE = 3;

constexpr int NOPARITY = 0;
constexpr int ODDPARITY = 1;
constexpr int EVENPARITY = 2;
constexpr int MARKPARITY = 3;
constexpr int SPACEPARITY = 4;
constexpr int ONESTOPBIT = 0;
constexpr int ONE5STOPBITS = 1;
constexpr int TWOSTOPBITS = 2;

struct DeviceControl {
    uint32_t BaudRate = 115200;
    bool fBinary = true;
    bool fParity = false;
    bool fOutxCtsFlow = false;
    bool fOutxDsrFlow = false;
    int fDtrControl = DTR_CONTROL_ENABLE;
    bool fDsrSensitivity = false;
    bool fTXContinueOnXoff = false;
    bool fOutX = false;
    bool fInX = false;
    bool fErrorChar = false;
    bool fNull = false;
    int fRtsControl = RTS_CONTROL_ENABLE;
    bool fAbortOnError = false;
    uint16_t XonLim = 2048;
    uint16_t XoffLim = 512;
    uint8_t ByteSize = 8;
    uint8_t Parity = NOPARITY;
    uint8_t StopBits = ONESTOPBIT;
    char XonChar = 0x11;
    char XoffChar = 0x13;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
};

// Writes the record into settings (frame, rate, flow control, event character, RTS); false
// with errno EINVAL and settings untouched for a byte size outside 5..8, an unknown parity or
// stop-bit value, or a rate of 0 or above INT_MAX.
bool DeviceControlToLineSettings(const DeviceControl& dcb, LineSettings* settings);
// Reads what termios keeps back into the record; the other fields stay as they are.
void LineSettingsToDeviceControl(const LineSettings& settings, DeviceControl* dcb);
// Whether DTR is raised while the port is open under this record.
inline bool DtrRaised(const DeviceControl& dcb) {
    return dcb.fDtrControl != DTR_CONTROL_DISABLE;
}
