#pragma once

// The PC's side of the boot loader's conversation: answers its request for file information,
// streams the firmware when it asks, and reports its verdicts. It runs on a timer tick and
// knows the line and the window only through the two small interfaces below.

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "ScannerInterface.h"

// The comm device as the conversation uses it.
class BootLine {
public:
    virtual ~BootLine() = default;
    virtual bool Active() const = 0;
    // Takes the oldest received package; its length, 0 when none waits or the port is closed.
    virtual int ReadPackage(uint8_t* buffer, int size) = 0;
    // Queues count bytes as one package: count, or 0 when it was refused.
    virtual int WritePackage(const uint8_t* data, int count) = 0;
    virtual void Close() = 0;
    // What the line carries, for pacing the transfer to it.
    virtual int BytesPerSecond() const = 0;
    // Bytes the line itself has taken so far (not those still queued on their way to it).
    virtual uint64_t BytesTaken() const = 0;
    // The errno of a hang-up or an I/O error of the open line; 0 while it works.
    virtual int Failure() const = 0;
};

enum class BootAction { None = 0, Info = 1, Start = 2, Programming = 3, CheckError = 4, Done = 5 };

// How the line failed under the conversation, which then closed the port.
struct LineLoss {
    enum Kind { Lost, Stalled } kind = Lost;
    int error = 0;         // the line's errno, 0 for a stall or a port closed under the transfer
    bool sending = false;  // an image transfer was cut
    uint32_t taken = 0;    // bytes of the image the line took
    uint32_t size = 0;     // of the image
};

// What the conversation shows; every call is optional.
class BootView {
public:
    virtual ~BootView() = default;
    virtual void AddMessage(const QString& /*text*/) {}
    virtual void ShowCrc(const QString& /*caption*/) {}
    // After each load that gave an image.
    virtual void ImageLoaded(uint32_t /*size*/, uint32_t /*crc*/) {}
    virtual void ShowReceivedText(const uint8_t* /*bytes*/, int /*count*/) {}
    virtual void ShowProgress(uint32_t /*maximum*/, uint32_t /*position*/) {}
    virtual void ShowSentBytes(int /*count*/) {}
    virtual void ShowReceivedBytes(int /*count*/) {}
    // OK closed the port.
    virtual void PortClosed() {}
    // After each boot loader message of a package has been acted on (None: unknown letters).
    virtual void BootMessage(BootAction /*action*/) {}
    // The line was lost or stalled; its list line is added and the port closed already.
    virtual void LineFailed(const LineLoss& /*loss*/) {}
};

class TBootConversation {
public:
    static constexpr int kPackageSize = 4096;
    static constexpr int kBlockSize = 50;
    // How far the transfer may run ahead of the line, so that late ticks do not leave it idle.
    static constexpr uint32_t kLeadMs = 20;
    // A line that takes no byte of the image for this long is stalled.
    static constexpr uint32_t kStallMs = 3000;

    TBootConversation(BootLine& line, BootView& view);

    // The file that every request for file information reloads (the window's file name box).
    void SetFileName(const QString& fileName) { fileName_ = fileName; }
    // Decides after each load whether the image may go (reporting a refusal itself). A refused
    // image is not loaded, and the request for file information is then not answered at all.
    void SetImageCheck(std::function<bool(uint32_t size, uint32_t crc)> check) {
        imageCheck_ = std::move(check);
    }

    // One timer tick at nowMs (a tick count): the transfer step while sending, else every
    // received package.
    void tmr1Timer(uint32_t nowMs);

    bool LoadUpgradeFile();
    void HandleBootPackage(const uint8_t* package, int count, uint32_t nowMs);

    // The window's clear button.
    void ClearCounters();

    const std::vector<uint8_t>& UpgradeImage() const { return UpgradeImage_; }
    uint32_t ImageSize() const { return ImageSize_; }
    uint32_t ImageCrc() const { return ImageCrc_; }
    bool Sending() const { return Sending_; }
    uint32_t SendOffset() const { return SendOffset_; }
    // Bytes of the image the line has taken in the running transfer.
    uint32_t TakenBytes() const;
    int SentBytes() const { return SentBytes_; }
    int ReceivedBytes() const { return ReceivedBytes_; }

private:
    void TransferStep(uint32_t nowMs);
    // Bytes the line carries between two ticks.
    uint64_t LineBytes(uint32_t fromMs, uint32_t toMs) const;
    // The next block, if it stays within limit bytes of the image and the line takes it.
    bool SendBlock(uint64_t limit);
    // The line has taken no byte of what waits for kStallMs.
    bool Stalled(uint32_t nowMs);
    // Ends the conversation on a failed line: list line, port closed, the bar where it stopped.
    void LineFailed(LineLoss::Kind kind);

    BootLine& line_;
    BootView& view_;
    QString fileName_;
    std::vector<uint8_t> UpgradeImage_;
    uint32_t ImageSize_ = 0;
    uint32_t ImageCrc_ = 0;
    bool Sending_ = false;
    uint32_t SendOffset_ = 0;
    int BlockSize_ = kBlockSize;
    int SentBytes_ = 0;
    int ReceivedBytes_ = 0;
    uint32_t transferStart_ = 0;
    uint64_t takenAtStart_ = 0;
    uint64_t lastTaken_ = 0;
    uint32_t lastTakenMs_ = 0;
    std::function<bool(uint32_t, uint32_t)> imageCheck_;
    bool imageRefused_ = false;
    std::vector<uint8_t> package_;
};
