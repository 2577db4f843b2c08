#include "DeviceControl.h"

#include <cerrno>
#include <climits>

namespace {

constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};

tcflag_t ParityFlags(int parity) {
    switch (parity) {
        case ODDPARITY:
            return PARENB | PARODD;
        case EVENPARITY:
            return PARENB;
        case MARKPARITY:
            return PARENB | CMSPAR | PARODD;
        case SPACEPARITY:
            return PARENB | CMSPAR;
        default:
            return 0;
    }
}

int ParityOf(tcflag_t cflag) {
    if (!(cflag & PARENB))
        return NOPARITY;
    if (cflag & CMSPAR)
        return cflag & PARODD ? MARKPARITY : SPACEPARITY;
    return cflag & PARODD ? ODDPARITY : EVENPARITY;
}

}  // namespace

bool DeviceControlToLineSettings(const DeviceControl& dcb, LineSettings* settings) {
    if (dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
        dcb.StopBits > TWOSTOPBITS || dcb.BaudRate == 0 || dcb.BaudRate > INT_MAX) {
        errno = EINVAL;
        return false;
    }
    termios& tio = settings->tio;
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    tio.c_cflag |= kSizes[dcb.ByteSize - 5] | ParityFlags(dcb.Parity);
    // A UART sends 1.5 stop bits for 5-bit words when asked for two.
    if (dcb.StopBits != ONESTOPBIT)
        tio.c_cflag |= CSTOPB;
    // termios has one switch for both halves of the RTS/CTS handshake.
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
        tio.c_cflag |= CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF | INPCK);
    if (dcb.fOutX)
        tio.c_iflag |= IXON;
    if (dcb.fInX)
        tio.c_iflag |= IXOFF;
    if (dcb.fParity)
        tio.c_iflag |= INPCK;
    tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    SetStandardBaud(&tio, static_cast<int>(dcb.BaudRate));
    settings->baud = static_cast<int>(dcb.BaudRate);
    settings->eventChar = dcb.EvtChar;
    settings->rtsEnabled = dcb.fRtsControl != RTS_CONTROL_DISABLE;
    return true;
}

void LineSettingsToDeviceControl(const LineSettings& settings, DeviceControl* dcb) {
    const termios& tio = settings.tio;
    if (settings.baud > 0)
        dcb->BaudRate = static_cast<uint32_t>(settings.baud);
    for (int size = 5; size <= 8; ++size) {
        if ((tio.c_cflag & CSIZE) == kSizes[size - 5])
            dcb->ByteSize = static_cast<uint8_t>(size);
    }
    dcb->Parity = static_cast<uint8_t>(ParityOf(tio.c_cflag));
    dcb->StopBits =
        tio.c_cflag & CSTOPB ? (dcb->ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS) : ONESTOPBIT;
    const bool handshake = (tio.c_cflag & CRTSCTS) != 0;
    dcb->fOutxCtsFlow = handshake;
    dcb->fRtsControl = handshake             ? RTS_CONTROL_HANDSHAKE
                       : settings.rtsEnabled ? RTS_CONTROL_ENABLE
                                             : RTS_CONTROL_DISABLE;
    dcb->fOutX = (tio.c_iflag & IXON) != 0;
    dcb->fInX = (tio.c_iflag & IXOFF) != 0;
    dcb->fParity = (tio.c_iflag & INPCK) != 0;
    dcb->XonChar = static_cast<char>(tio.c_cc[VSTART]);
    dcb->XoffChar = static_cast<char>(tio.c_cc[VSTOP]);
    dcb->EvtChar = settings.eventChar;
}
