#include "CommBootLine.h"

CommBootLine::CommBootLine(QuillComm::TQuillComm& comm) : comm_(comm), package_(&comm) {
    package_.fSetPkgSz(TBootConversation::kPackageSize);
    package_.fSetPkgType(QuillComm::cptFrameTimeout);
    package_.fSetPkgInterval(kPackageInterval);
}

CommBootLine::~CommBootLine() {
    Close();
}

void CommBootLine::Open() {
    comm_.Open();
    comm_.PurgeRead(true);
    package_.fSetActive(true);
}

bool CommBootLine::Active() const {
    return comm_.fGetActive() && package_.fGetActive();
}

int CommBootLine::ReadPackage(uint8_t* buffer, int size) {
    return package_.ReadPackage(buffer, size);
}

int CommBootLine::WritePackage(const uint8_t* data, int count) {
    return package_.WritePackage(data, count);
}

void CommBootLine::Close() {
    package_.fSetActive(false);
    try {
        comm_.Close();
    } catch (const QuillComm::EQuillCommError&) {
        // A thread that would not end: the port is closed all the same.
    }
}

int CommBootLine::BytesPerSecond() const {
    return LineBytesPerSecond(comm_.fGetBaud(), comm_.fGetByteSize(), comm_.fGetParity(),
                              comm_.fGetStopBits());
}

uint64_t CommBootLine::BytesTaken() const {
    return comm_.fGetBytesWritten();
}

int CommBootLine::Failure() const {
    return comm_.fGetFailure();
}

int LineBytesPerSecond(long baud, int byteSize, int parity, int stopBits) {
    const int bits = 1 + byteSize + (parity != 0 ? 1 : 0) + (stopBits == 0 ? 1 : 2);
    return static_cast<int>(baud / bits);
}
