#pragma once

// The boot loader's line on a comm port and its package layer, set up as the conversation
// needs it: received bytes cut into packages at idle gaps, packages sent as raw bytes.

#include "BootConversation.h"
#include "Tquillcomm.h"
#include "Tquillcommpkg.h"

class CommBootLine : public BootLine {
public:
    static constexpr int kPackageInterval = 2;  // ms

    // comm must be closed now and outlive this object.
    explicit CommBootLine(QuillComm::TQuillComm& comm);
    ~CommBootLine() override;

    // Opens the port and drops what waited in the driver, so that a request from before is not
    // answered besides the fresh one; throws EQuillCommError.
    void Open();

    bool Active() const override;
    int ReadPackage(uint8_t* buffer, int size) override;
    int WritePackage(const uint8_t* data, int count) override;
    void Close() override;
    int BytesPerSecond() const override;
    uint64_t BytesTaken() const override;
    int Failure() const override;

private:
    QuillComm::TQuillComm& comm_;
    QuillComm::TCommPackage package_;
};

// Bytes per second of a line: each byte also carries a start bit, its parity and stop bits.
int LineBytesPerSecond(long baud, int byteSize, int parity, int stopBits);
