#pragma once

// The console's live path without its window: the point buffer with its view window, and the
// timer tick that drains the port, decodes the stream into the buffer and keeps the data rates
// and the link's figures.

#include <cstdint>
#include <functional>
#include <vector>

#include "Lasernode.h"
#include "LinkCounts.h"
#include "LinkMonitor.h"
#include "StreamDecoder.h"

namespace scanwindow {

constexpr int kPointCapacity = 1000000;
constexpr int kChunkSize = 10000;
constexpr int kRedrawAbove = 10;      // a tick with more new records than this redraws
constexpr int kRatePeriodTicks = 30;  // rates are recomputed on every 31st tick
// No line of the scanner's comes near this; held text beyond it is garbage.
constexpr size_t kLiveHeldLimit = size_t{1} << 16;

// The point buffer and the window of it that is shown; read by the graph, replay and export.
struct PointStore {
    explicit PointStore(int capacity = kPointCapacity);

    std::vector<ScanPoint> pointBuffer;
    int pointCapacity;
    int pointCount = 0;
    int viewStart = 0;
    int viewLength = 0;

    // Keeps the records from half the capacity on, moved to the front in one block: a full
    // buffer keeps its newer half.
    void KeepNewerHalf();
    // Halves the buffer first when fewer than records slots are free, so that a chunk that
    // decodes into at most that many records is never cut at the end of the buffer.
    void MakeRoomFor(int records);
    // The window ends at the newest record.
    void ViewNewest();
    // Brings viewStart back into the buffer; returns how many records the window shows.
    int ClampViewWindow();
};

// Where the received bytes come from: the serial port while connected.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual int ReadReceived(uint8_t* destination, int maxCount) = 0;
    virtual int64_t ReceivedTotal() const = 0;
};

class AcquisitionLoop {
public:
    using Bytes = std::function<void(const uint8_t* bytes, int count)>;

    explicit AcquisitionLoop(PointStore& store);

    // Each chunk goes to the recorder first, then to the echo, then to the decoder, which
    // takes the chunks as one stream.
    Bytes recorder;
    Bytes echo;
    // Once a tick after the reads, before the redraw: the zone tool's send step.
    std::function<void()> afterRead;
    std::function<void()> showLatest;
    int32_t distanceLimit = 6000;
    // The zone tool redraws after more than 1 new record and recomputes the rates on every tick
    // whose count is not a multiple of 4, which comes down to every second tick.
    int redrawAbove = kRedrawAbove;
    bool ratesEverySecondTick = false;

    // One timer tick; nowMs is the millisecond tick count. Returns the records decoded.
    int Tick(ByteSource& source, uint32_t nowMs, bool echoActive);

    float PointRate() const { return pointRate_; }
    // Every byte taken from the source since construction.
    int64_t BytesRead() const { return bytesRead_; }
    float ByteRate() const { return byteRate_; }
    // What the decoder saw of the link since the port opened.
    const LinkCounts& Counts() const { return counts_; }
    // Those figures since the port opened and over the last seconds, for the windows.
    LinkMonitor& Health() { return health_; }
    const LinkMonitor& Health() const { return health_; }

    // The port opened: a new stream, counted from nothing.
    void PortOpened();
    // The port came back after it was lost: the unfinished tail of the old stream is dropped,
    // the counts go on.
    void PortReopened();

private:
    void UpdateRates(uint32_t nowMs);

    PointStore& store_;
    StreamDecoder stream_;
    LinkCounts counts_;
    LinkMonitor health_;
    std::vector<uint8_t> rxChunk_;
    int32_t pointsInPeriod_ = 0;
    int32_t bytesInPeriod_ = 0;
    int rateTicks_ = 0;
    uint32_t lastRateTime_ = 0;
    float pointRate_ = 0.0f;
    float byteRate_ = 0.0f;
    int64_t bytesRead_ = 0;
};

}  // namespace scanwindow
