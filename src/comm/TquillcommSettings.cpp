#include "Tquillcomm.h"

namespace QuillComm {

void TQuillComm::fSetPort(int n) {
    Close();
    portNumber_ = n;
    if (n > 0)
        portName_ = TCommSerialPortInfo::PortName(n);
    external_ = false;
}

void TQuillComm::fSetPortName(const QString& name) {
    if (name.isEmpty())
        return;
    const int n = TCommSerialPortInfo::PortNo(name);
    Close();
    portNumber_ = n;
    portName_ = n > 0 ? TCommSerialPortInfo::PortName(n) : name;
    external_ = false;
}

void TQuillComm::fSetHandle(int fd) {
    Close();
    portNumber_ = 0;
    portName_.clear();
    externalFd_ = fd;
    external_ = true;
}

int TQuillComm::fGetHandle() const {
    return external_ ? externalFd_ : device_.Fd();
}

void TQuillComm::fSetBaud(long baud) {
    Close();
    dcb_.BaudRate = static_cast<uint32_t>(baud);
}

void TQuillComm::fSetParity(int parity) {
    Close();
    dcb_.Parity = static_cast<uint8_t>(parity);
}

void TQuillComm::fSetByteSize(int size) {
    Close();
    dcb_.ByteSize = static_cast<uint8_t>(size);
}

void TQuillComm::fSetStopBits(int stopBits) {
    Close();
    dcb_.StopBits = static_cast<uint8_t>(stopBits);
}

void TQuillComm::fSetFCtrl(int code) {
    Close();
    const bool rtsCts = code == fcRtsCts || code == fcBoth;
    const bool xonXoff = code == fcXonXoff || code == fcTranXonXoff || code == fcBoth;
    dcb_.fRtsControl = rtsCts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb_.fOutxCtsFlow = rtsCts;
    dcb_.fDtrControl = DTR_CONTROL_ENABLE;
    dcb_.fOutxDsrFlow = false;
    dcb_.fOutX = xonXoff;
    dcb_.fInX = xonXoff;
}

int TQuillComm::fGetFCtrl() const {
    if (dcb_.fOutxCtsFlow && dcb_.fOutX)
        return fcBoth;
    if (dcb_.fOutxCtsFlow)
        return fcRtsCts;
    if (dcb_.fOutX)
        return fcXonXoff;
    return fcNone;
}

void TQuillComm::fSetDataOnly(bool on) {
    Close();
    dataOnly_ = on;
}

void TQuillComm::fSetHwBufSize(long in, long out) {
    Close();
    hwInSize_ = in;
    hwOutSize_ = out;
}

void TQuillComm::fSetHwInSize(long in) {
    fSetHwBufSize(in, hwOutSize_);
}

void TQuillComm::fSetHwOutSize(long out) {
    fSetHwBufSize(hwInSize_, out);
}

bool TQuillComm::fSetInBufSize(long n) {
    if (open_)
        return false;
    inQueue_->fSetBufSize(n);
    return true;
}

bool TQuillComm::fSetOutBufSize(long n) {
    if (open_)
        return false;
    outQueue_->fSetBufSize(n);
    return true;
}

void TQuillComm::fSetDTR(bool on) {
    if (open_)
        EscapeCommFunction(on ? 5 : 6);
    else
        dtrState_ = on;
}

void TQuillComm::fSetRTS(bool on) {
    if (open_)
        EscapeCommFunction(on ? 3 : 4);
    else
        rtsState_ = on;
}

}  // namespace QuillComm
