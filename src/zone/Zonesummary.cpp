#include "Zonesummary.h"

#include <QStringList>
#include <algorithm>

#include "RecordingSet.h"
#include "RevolutionFeed.h"

namespace {

// Counts reach the window this often, not at every revolution, to keep the lock quiet.
constexpr uint64_t kPublishEvery = 100;

// The stream's revolutions into the tally, with the counts so far handed on now and then.
class TallyFeed : public record::ScanReceiver {
public:
    TallyFeed(ZoneTally& tally, std::function<void()> publish)
        : tally_(tally), publish_(std::move(publish)) {}

    bool Marker(uint64_t bytePosition) override {
        if (++markers_ % kPublishEvery == 0)
            publish_();
        return tally_.Marker(bytePosition);
    }
    void Sample(int angle, int32_t distance) override { tally_.Sample(angle, distance); }

private:
    ZoneTally& tally_;
    const std::function<void()> publish_;
    uint64_t markers_ = 0;
};

bool SameZone(const ProtectZone& a, const ProtectZone& b) {
    return a.count == b.count && a.IOTCount == b.IOTCount && std::equal(a.x, a.x + a.kPairs, b.x) &&
           std::equal(a.y, a.y + a.kPairs, b.y);
}

}  // namespace

QString ZoneSummaryText(const ZoneSummary& summary) {
    return QStringLiteral("区域%1: %2/%3 圈触发")
        .arg(summary.zone % kZoneOutputs + 1)
        .arg(summary.tripped)
        .arg(summary.revolutions);
}

QString ZoneSummaryLines(const ZoneRecordingSummary::Progress& progress) {
    QStringList lines;
    for (const ZoneSummary& zone : progress.zones) lines << ZoneSummaryText(zone);
    if (lines.isEmpty())
        lines << QStringLiteral("本组没有区域");
    if (!progress.done)
        lines << QStringLiteral("统计中…");
    if (!progress.error.isEmpty())
        lines << QStringLiteral("未读完: ") + progress.error;
    return lines.join(QLatin1Char('\n'));
}

ZoneRecordingSummary::ZoneRecordingSummary(const record::RecordingSet& set, int32_t distanceLimit)
    : set_(set), distanceLimit_(distanceLimit) {}

ZoneRecordingSummary::~ZoneRecordingSummary() {
    Stop();
}

void ZoneRecordingSummary::Start(const ZoneTable& table, const std::vector<int>& zones) {
    Stop();
    followed_.reset();
    Publish(ZoneTally(table, zones), false, QString());
    stop_.store(false);
    worker_ = std::thread([this, table, zones] { Run(table, zones); });
}

void ZoneRecordingSummary::Follow(const ZoneTable& table, int group) {
    std::array<ProtectZone, kZoneOutputs> zones;
    for (int o = 0; o < kZoneOutputs; ++o) zones[o] = table.zones[ZoneIndex(group, o)];
    if (followed_ && std::equal(zones.begin(), zones.end(), followed_->begin(), SameZone))
        return;
    Start(table, ExistingZones(table, group));
    followed_ = zones;
}

void ZoneRecordingSummary::Stop() {
    stop_.store(true);
    if (worker_.joinable())
        worker_.join();
}

ZoneRecordingSummary::Progress ZoneRecordingSummary::Current() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return progress_;
}

void ZoneRecordingSummary::Publish(const ZoneTally& tally, bool done, const QString& error) {
    std::vector<ZoneSummary> zones = tally.Summaries();
    const std::lock_guard<std::mutex> lock(mutex_);
    progress_.zones = std::move(zones);
    progress_.done = done;
    progress_.error = error;
}

void ZoneRecordingSummary::Run(const ZoneTable& table, const std::vector<int>& zones) {
    ZoneTally tally(table, zones);
    TallyFeed receiver(tally, [&] { Publish(tally, false, QString()); });
    // The whole stream, decoded as vyk-zones check decodes a recording.
    const record::FeedOutcome outcome =
        record::FeedRevolutions(set_, record::RevolutionSpan::Whole(set_), distanceLimit_, receiver,
                                [this](uint64_t, uint64_t) { return !stop_.load(); });
    if (outcome.result != record::FeedResult::Cancelled)
        Publish(tally, true, outcome.reason);
}
