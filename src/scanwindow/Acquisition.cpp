#include "Acquisition.h"

#include <algorithm>
#include <cstring>

namespace scanwindow {

PointStore::PointStore(int capacity) : pointBuffer(capacity), pointCapacity(capacity) {}

void PointStore::KeepNewerHalf() {
    const int half = pointCapacity / 2;
    const int kept = std::max(0, std::min(pointCount, 2 * half) - half);
    std::memmove(pointBuffer.data(), pointBuffer.data() + half, sizeof(ScanPoint) * kept);
    pointCount = kept;
}

void PointStore::MakeRoomFor(int records) {
    if (pointCapacity - pointCount < records && pointCount > pointCapacity / 2)
        KeepNewerHalf();
}

void PointStore::ViewNewest() {
    viewStart = pointCount < viewLength ? 0 : pointCount - viewLength;
}

int PointStore::ClampViewWindow() {
    if (pointCount <= 0) {
        pointCount = 0;
        viewStart = 0;
    } else if (viewStart >= pointCount) {
        viewStart = 0;
    }
    return std::min(viewLength, pointCount - viewStart);
}

AcquisitionLoop::AcquisitionLoop(PointStore& store)
    : store_(store), stream_(distanceLimit, kLiveHeldLimit), rxChunk_(kChunkSize) {
    stream_.CountInto(&counts_);
}

void AcquisitionLoop::PortOpened() {
    stream_.Reset();
    counts_ = LinkCounts{};
    health_.Restart();
}

void AcquisitionLoop::PortReopened() {
    stream_.Reset();
}

int AcquisitionLoop::Tick(ByteSource& source, uint32_t nowMs, bool echoActive) {
    int newRecords = 0;
    int n = 0;
    do {
        n = source.ReadReceived(rxChunk_.data(), kChunkSize);
        bytesInPeriod_ += n;
        bytesRead_ += n;
        if (n == 0)
            break;
        if (recorder)
            recorder(rxChunk_.data(), n);
        if (echoActive && echo)
            echo(rxChunk_.data(), n);
        store_.MakeRoomFor(stream_.RoomFor(n));
        stream_.SetDistanceLimit(distanceLimit);
        const int k =
            stream_.Decode(rxChunk_.data(), n, store_.pointBuffer.data() + store_.pointCount,
                           store_.pointCapacity - store_.pointCount);
        if (k > 0) {
            newRecords += k;
            store_.pointCount += k;
            pointsInPeriod_ += k;
        }
    } while (n == kChunkSize);
    if (afterRead)
        afterRead();
    if (newRecords > redrawAbove && showLatest)
        showLatest();
    UpdateRates(nowMs);
    health_.Update(counts_, nowMs);
    return newRecords;
}

void AcquisitionLoop::UpdateRates(uint32_t nowMs) {
    const bool due =
        rateTicks_ >= kRatePeriodTicks || (ratesEverySecondTick && rateTicks_ % 4 != 0);
    if (!due) {
        ++rateTicks_;
        return;
    }
    rateTicks_ = 0;
    const int32_t elapsed = static_cast<int32_t>(nowMs - lastRateTime_);
    if (elapsed > 0) {
        pointRate_ = static_cast<float>(pointsInPeriod_) / elapsed;
        byteRate_ = static_cast<float>(bytesInPeriod_) / elapsed;
    }
    lastRateTime_ = nowMs;
    pointsInPeriod_ = 0;
    bytesInPeriod_ = 0;
}

}  // namespace scanwindow
