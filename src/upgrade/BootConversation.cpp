#include "BootConversation.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "BootProtocol.h"

namespace {

BootAction ActionOf(const uint8_t* letters) {
    const struct {
        char first, second;
        BootAction action;
    } kActions[] = {
        {'I', 'N', BootAction::Info},        {'S', 'T', BootAction::Start},
        {'G', 'O', BootAction::Programming}, {'E', 'R', BootAction::CheckError},
        {'O', 'K', BootAction::Done},
    };
    for (const auto& entry : kActions) {
        if (letters[0] == entry.first && letters[1] == entry.second)
            return entry.action;
    }
    return BootAction::None;
}

}  // namespace

TBootConversation::TBootConversation(BootLine& line, BootView& view)
    : line_(line),
      view_(view),
      UpgradeImage_(scanner::kUpgradeImageCapacity, 0xFF),
      package_(kPackageSize) {}

void TBootConversation::tmr1Timer(uint32_t nowMs) {
    if (Sending_) {
        TransferStep(nowMs);
        return;
    }
    bool received = false;
    int count;
    // Once a transfer starts, later packages wait in the component until it has ended.
    while (!Sending_ && (count = line_.ReadPackage(package_.data(), kPackageSize)) > 0) {
        HandleBootPackage(package_.data(), count, nowMs);
        view_.ShowReceivedText(package_.data(), count);
        ReceivedBytes_ += count;
        received = true;
    }
    if (received)
        view_.ShowReceivedBytes(ReceivedBytes_);
    // Only after what came before the failure was acted on: it may be the verdict.
    if (!Sending_ && line_.Active() && line_.Failure() != 0)
        LineFailed(LineLoss::Lost);
}

bool TBootConversation::LoadUpgradeFile() {
    ImageSize_ = 0;
    ImageCrc_ = 0;
    imageRefused_ = false;
    std::fill(UpgradeImage_.begin(), UpgradeImage_.end(), 0xFF);
    const auto fail = [this](const QString& text) {
        ImageSize_ = 0;
        ImageCrc_ = 0;
        std::fill(UpgradeImage_.begin(), UpgradeImage_.end(), 0xFF);
        if (!text.isEmpty())
            view_.AddMessage(text);
        return false;
    };
    if (fileName_.size() < 3)
        return fail(QStringLiteral("请先选择文件!"));
    const QFileInfo info(fileName_);
    if (!info.exists() || info.isDir())
        return fail(QStringLiteral("文件不存在!"));
    QFile file(fileName_);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("文件打开失败!"));
    // One byte more than the limit tells a file that is too large, also where no length is
    // known beforehand (a device or a pipe).
    const qint64 count =
        file.read(reinterpret_cast<char*>(UpgradeImage_.data()), scanner::kMaxFirmwareSize + 1);
    if (count > scanner::kMaxFirmwareSize || file.size() > scanner::kMaxFirmwareSize)
        return fail(QStringLiteral("文件太大!"));
    // A read that failed after the open gives no size to use.
    if (count < 0)
        return fail(QStringLiteral("文件打开失败!"));
    // Size 0 would tell the boot loader that there is nothing to flash.
    if (count == 0)
        return fail(QStringLiteral("文件为空!"));
    ImageSize_ = static_cast<uint32_t>(count);
    ImageCrc_ = scanner::FirmwareCrc(UpgradeImage_.data(), ImageSize_);
    if (imageCheck_ && !imageCheck_(ImageSize_, ImageCrc_)) {
        imageRefused_ = true;
        return fail(QString());
    }
    view_.ShowCrc(QStringLiteral("CRC32 :%1    ").arg(ImageCrc_));
    view_.ImageLoaded(ImageSize_, ImageCrc_);
    return true;
}

void TBootConversation::HandleBootPackage(const uint8_t* package, int count, uint32_t nowMs) {
    const int at = scanner::FindBootMessage(package, count);
    if (at < 0)
        return;
    const BootAction action = ActionOf(package + at + 5);
    if (action == BootAction::Info) {
        const bool loaded = LoadUpgradeFile();
        view_.AddMessage(QStringLiteral("收到升级请求"));
        if (!loaded && imageRefused_) {
            view_.BootMessage(action);
            return;
        }
        const scanner::FileInfo reply = scanner::FileInfoReply(ImageSize_, ImageCrc_);
        line_.WritePackage(reply.data(), static_cast<int>(reply.size()));
        SentBytes_ += static_cast<int>(reply.size());
        view_.ShowSentBytes(SentBytes_);
        view_.AddMessage(QStringLiteral("应答文件信息请求"));
    } else if (ImageSize_ != 0) {
        switch (action) {
            case BootAction::Start:
                view_.AddMessage(QStringLiteral("开始传输文件，请不要退出程序"));
                SendOffset_ = 0;
                BlockSize_ = kBlockSize;
                Sending_ = true;
                transferStart_ = nowMs;
                takenAtStart_ = lastTaken_ = line_.BytesTaken();
                lastTakenMs_ = nowMs;
                break;
            case BootAction::Programming:
                view_.AddMessage(QStringLiteral("开始升级，请不要断电,并耐心等待..."));
                break;
            case BootAction::CheckError:
                view_.AddMessage(QStringLiteral("校验错误，请重新断电测试"));
                break;
            case BootAction::Done:
                view_.AddMessage(QStringLiteral("升级完成!"));
                line_.Close();
                view_.PortClosed();
                break;
            default:
                break;
        }
    }
    view_.BootMessage(action);
}

uint64_t TBootConversation::LineBytes(uint32_t fromMs, uint32_t toMs) const {
    const uint64_t elapsed = static_cast<uint32_t>(toMs - fromMs);
    return elapsed * static_cast<uint64_t>(std::max(line_.BytesPerSecond(), 1)) / 1000;
}

bool TBootConversation::SendBlock(uint64_t limit) {
    const uint32_t n = std::min<uint32_t>(BlockSize_, ImageSize_ - SendOffset_);
    if (SendOffset_ + n > limit)
        return false;
    // A refused block stays due and is offered again on the next tick.
    if (line_.WritePackage(UpgradeImage_.data() + SendOffset_, static_cast<int>(n)) <= 0)
        return false;
    SendOffset_ += n;
    SentBytes_ += static_cast<int>(n);
    return true;
}

uint32_t TBootConversation::TakenBytes() const {
    const uint64_t taken = line_.BytesTaken() - takenAtStart_;
    return static_cast<uint32_t>(std::min<uint64_t>(taken, SendOffset_));
}

bool TBootConversation::Stalled(uint32_t nowMs) {
    const uint64_t taken = line_.BytesTaken();
    if (taken != lastTaken_ || TakenBytes() >= SendOffset_) {
        lastTaken_ = taken;
        lastTakenMs_ = nowMs;
        return false;
    }
    return nowMs - lastTakenMs_ >= kStallMs;
}

void TBootConversation::LineFailed(LineLoss::Kind kind) {
    LineLoss loss;
    loss.kind = kind;
    loss.error = line_.Failure();
    loss.sending = Sending_;
    loss.taken = Sending_ ? TakenBytes() : 0;
    loss.size = ImageSize_;
    Sending_ = false;
    SendOffset_ = 0;
    line_.Close();
    if (loss.sending) {
        const QString text = kind == LineLoss::Stalled
                                 ? QStringLiteral("串口无响应，传输中断(%1/%2)，请重新断电升级")
                                 : QStringLiteral("串口断开，传输中断(%1/%2)，请重新断电升级");
        view_.AddMessage(text.arg(loss.taken).arg(loss.size));
        view_.ShowProgress(loss.size, loss.taken);
    } else {
        view_.AddMessage(QStringLiteral("串口断开，请检查连接线"));
    }
    view_.LineFailed(loss);
}

void TBootConversation::TransferStep(uint32_t nowMs) {
    // A port closed under the transfer cuts it as surely as a lost line: the scanner holds a
    // partial image and must be flashed again.
    if (!line_.Active() || line_.Failure() != 0) {
        LineFailed(LineLoss::Lost);
        return;
    }
    if (Stalled(nowMs)) {
        LineFailed(LineLoss::Stalled);
        return;
    }
    // One block per tick, kept a little ahead of what the line has carried since the start;
    // after late ticks, more blocks until the transfer has caught up with the line.
    const uint64_t carried = LineBytes(transferStart_, nowMs);
    const uint64_t lead = std::max<uint64_t>(BlockSize_, LineBytes(0, kLeadMs));
    if (SendOffset_ < ImageSize_ && SendBlock(carried + lead)) {
        while (SendOffset_ < ImageSize_ && SendBlock(carried)) {
        }
    }
    // Complete once the line has taken the whole image, not when the last block was queued.
    if (SendOffset_ >= ImageSize_ && TakenBytes() >= ImageSize_) {
        Sending_ = false;
        SendOffset_ = 0;
        view_.AddMessage(QStringLiteral("传输文件完成"));
    }
    view_.ShowProgress(ImageSize_, SendOffset_);
    view_.ShowSentBytes(SentBytes_);
}

void TBootConversation::ClearCounters() {
    SentBytes_ = 0;
    ReceivedBytes_ = 0;
    view_.ShowSentBytes(0);
    view_.ShowReceivedBytes(0);
}
