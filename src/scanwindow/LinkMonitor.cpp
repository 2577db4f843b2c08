#include "LinkMonitor.h"

namespace scanwindow {

namespace {

constexpr uint32_t kSampleMs = 1000;

}  // namespace

void LinkMonitor::Restart() {
    started_ = false;
    baseline_ = latest_ = LinkCounts{};
    samples_.clear();
}

void LinkMonitor::Update(const LinkCounts& counts, uint32_t nowMs) {
    latest_ = counts;
    latestMs_ = nowMs;
    if (!started_) {
        started_ = true;
        baselineMs_ = nowMs;
    }
    if (samples_.empty() || nowMs - samples_.back().ms >= kSampleMs)
        samples_.push_back({nowMs, counts});
    // The oldest sample kept is the last one at least 10 seconds old.
    while (samples_.size() > 1 && nowMs - samples_[1].ms >= kRecentMs) samples_.pop_front();
}

void LinkMonitor::Reset() {
    baseline_ = latest_;
    baselineMs_ = latestMs_;
    samples_.assign(1, {latestMs_, latest_});
}

LinkCounts LinkMonitor::Recent() const {
    return samples_.empty() ? LinkCounts{} : latest_ - samples_.front().counts;
}

bool LinkMonitor::Alarm() const {
    const LinkCounts recent = Recent();
    return recent.missingRevolutions > 0 || recent.skippedBytes > 0 || recent.refusedPackets > 0;
}

QString LinkMonitor::StatusText() const {
    const LinkCounts recent = Recent();
    if (Alarm()) {
        return QStringLiteral("丢失 %1圈 %2包 %3字节")
            .arg(recent.missingRevolutions)
            .arg(recent.refusedPackets)
            .arg(recent.skippedBytes);
    }
    if (started_ && recent.bytes == 0 && latestMs_ - baselineMs_ >= kSampleMs)
        return QStringLiteral("无数据");
    return QStringLiteral("链路正常");
}

QString LinkMonitor::RateText(int64_t bytes, uint32_t ms) const {
    if (ms == 0)
        return QStringLiteral("-");
    const double rate = bytes * 1000.0 / ms;
    QString text = QStringLiteral("%1 B/s").arg(rate, 0, 'f', 0);
    if (nominalBytesPerSecond_ > 0)
        text += QStringLiteral(" (%1%)").arg(100.0 * rate / nominalBytesPerSecond_, 0, 'f', 1);
    return text;
}

std::vector<LinkMonitor::Row> LinkMonitor::Rows() const {
    const LinkCounts open = SinceOpen();
    const LinkCounts recent = Recent();
    const uint32_t recentMs = samples_.empty() ? 0 : latestMs_ - samples_.front().ms;
    const auto row = [](const char* name, int64_t a, int64_t b) {
        return Row{QString::fromUtf8(name), QString::number(a), QString::number(b)};
    };
    return {
        row("接收字节", open.bytes, recent.bytes),
        {QStringLiteral("字节速率"), RateText(open.bytes, latestMs_ - baselineMs_),
         RateText(recent.bytes, recentMs)},
        row("记录", open.records, recent.records),
        row("圈数", open.revolutions, recent.revolutions),
        row("丢失圈数", open.missingRevolutions, recent.missingRevolutions),
        row("跳过字节", open.skippedBytes, recent.skippedBytes),
        row("校验错误包", open.refusedPackets, recent.refusedPackets),
        row("状态行", open.statusLines, recent.statusLines),
        row("文本行", open.textLines, recent.textLines),
    };
}

}  // namespace scanwindow
