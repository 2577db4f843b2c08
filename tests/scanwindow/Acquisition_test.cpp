#include "Acquisition.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HostileStream.h"
#include "Laserencode.h"
#include "SerialPort.h"

using namespace scanwindow;

namespace {

// The port's own receive ring, filled by the test in place of the monitor thread.
class RingSource : public ByteSource {
public:
    RingSource() { ring_.Allocate(); }
    void Receive(const std::vector<uint8_t>& bytes) {
        total_ += ring_.Store(bytes.data(), static_cast<int>(bytes.size()));
    }
    int ReadReceived(uint8_t* destination, int maxCount) override {
        ++reads;
        return ring_.Read(destination, maxCount);
    }
    int64_t ReceivedTotal() const override { return total_; }
    int reads = 0;

private:
    ReceiveRing ring_;
    int64_t total_ = 0;
};

// n measurement records as 4-byte packets, distances from first on.
std::vector<uint8_t> Packets(int n, int first = 100) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < n; ++i) {
        const auto packet = laserencode::EncodePacket4(first + i % 3000, (i * 16) % 5760);
        bytes.insert(bytes.end(), packet.begin(), packet.end());
    }
    return bytes;
}

struct Fixture {
    explicit Fixture(int capacity = 1000) : store(capacity), loop(store) {
        loop.showLatest = [this] { ++redraws; };
    }
    PointStore store;
    AcquisitionLoop loop;
    RingSource source;
    int redraws = 0;
};

TEST(AcquisitionTick, ReadsAgainOnlyAfterAFullChunk) {
    const struct {
        int bytes;
        int reads;
    } cases[] = {{0, 1}, {9999, 1}, {10000, 2}, {10005, 2}, {20000, 3}, {25000, 3}};
    for (const auto& c : cases) {
        Fixture f;
        f.source.Receive(std::vector<uint8_t>(c.bytes, 0x20));
        f.loop.Tick(f.source, 0, false);
        EXPECT_EQ(f.source.reads, c.reads) << c.bytes;
        EXPECT_EQ(f.loop.BytesRead(), c.bytes);
        uint8_t rest[1];
        EXPECT_EQ(f.source.ReadReceived(rest, 1), 0) << "the tick leaves nothing behind";
    }
}

TEST(AcquisitionTick, RedrawsAfterMoreThanTenNewRecords) {
    const struct {
        int records;
        int redraws;
    } cases[] = {{0, 0}, {10, 0}, {11, 1}, {2500, 1}};
    for (const auto& c : cases) {
        Fixture f(5000);
        f.source.Receive(Packets(c.records));
        EXPECT_EQ(f.loop.Tick(f.source, 0, false), c.records);
        EXPECT_EQ(f.store.pointCount, c.records);
        EXPECT_EQ(f.redraws, c.redraws) << c.records;
    }
}

TEST(AcquisitionTick, TheZoneToolRedrawsAfterMoreThanOneNewRecord) {
    const struct {
        int records;
        int redraws;
    } cases[] = {{1, 0}, {2, 1}};
    for (const auto& c : cases) {
        Fixture f;
        f.loop.redrawAbove = 1;
        f.source.Receive(Packets(c.records));
        f.loop.Tick(f.source, 0, false);
        EXPECT_EQ(f.redraws, c.redraws) << c.records;
    }
}

TEST(AcquisitionRates, TheZoneToolRecomputesThemOnEverySecondTick) {
    Fixture f(100000);
    f.loop.ratesEverySecondTick = true;
    std::vector<float> rates;
    for (int tick = 1; tick <= 6; ++tick) {
        f.source.Receive(Packets(tick * 10));
        f.loop.Tick(f.source, 1000 + tick * 30, false);
        rates.push_back(f.loop.PointRate());
    }
    // Every 60 ms: ticks 2, 4 and 6, each over the records since the last.
    EXPECT_EQ(rates, (std::vector<float>{0, 30 / 1060.0f, 30 / 1060.0f, 70 / 60.0f, 70 / 60.0f,
                                         110 / 60.0f}));
}

TEST(AcquisitionTick, RecordsSplitOverTicksCountPerTick) {
    Fixture f;
    f.source.Receive(Packets(6));
    f.loop.Tick(f.source, 0, false);
    f.source.Receive(Packets(6));
    f.loop.Tick(f.source, 0, false);
    EXPECT_EQ(f.store.pointCount, 12);
    EXPECT_EQ(f.redraws, 0);
}

// Each chunk was decoded on its own, so a packet or a line cut by a read was lost.
TEST(AcquisitionTick, ReadsCutAnywhereLoseNoRecord) {
    std::mt19937 random(5);
    for (int round = 0; round < 50; ++round) {
        const hostile::Bytes bytes = hostile::Stream(3000, random);
        const std::vector<ScanPoint> want = hostile::OneArray({bytes}, 6000);
        Fixture f(2000);
        size_t at = 0;
        while (at < bytes.size()) {
            const size_t piece = std::min<size_t>(bytes.size() - at, 1 + random() % 200);
            f.source.Receive({bytes.begin() + at, bytes.begin() + at + piece});
            f.loop.Tick(f.source, 0, false);
            at += piece;
        }
        // The stream's unfinished end waits, as one call over more bytes would not yet decide.
        const std::vector<ScanPoint> got(f.store.pointBuffer.begin(),
                                         f.store.pointBuffer.begin() + f.store.pointCount);
        ASSERT_LE(got.size(), want.size());
        hostile::ExpectSame(got, std::vector<ScanPoint>(want.begin(), want.begin() + got.size()),
                            "round " + std::to_string(round));
        EXPECT_GE(got.size() + 30, want.size()) << "only a tail waits";
    }
}

TEST(AcquisitionTick, AFullBufferKeepsItsNewerHalfBeforeDecoding) {
    Fixture f(kPointCapacity);
    for (int i = 0; i < kPointCapacity; ++i) f.store.pointBuffer[i].distance = i;
    f.store.pointCount = kPointCapacity;
    f.source.Receive(Packets(11, 7));
    f.loop.Tick(f.source, 0, false);
    EXPECT_EQ(f.store.pointCount, 500000 + 11);
    EXPECT_EQ(f.store.pointBuffer[0].distance, 500000);
    EXPECT_EQ(f.store.pointBuffer[499999].distance, 999999);
    EXPECT_EQ(f.store.pointBuffer[500000].distance, 7);
    EXPECT_EQ(f.store.pointBuffer[500010].distance, 17);
}

// A chunk that finds less room than it can fill makes room first; none of its records is cut.
TEST(AcquisitionTick, AChunkNeverFindsTooLittleRoom) {
    const struct {
        int before;     // records in the buffer of 1000 when the chunk of 100 arrives
        int after;      // records afterwards
        int firstKept;  // the oldest record kept
    } cases[] = {
        {800, 900, 0},                      // room for 200: a chunk of 400 bytes fills at most 134
        {866, 966, 0},                      // room for 134 exactly
        {867, 467, 500},                    // one short: the records from 500 on move to the front
        {990, 590, 500}, {1000, 600, 500},  // full
    };
    for (const auto& c : cases) {
        Fixture f(1000);
        for (int i = 0; i < 1000; ++i) f.store.pointBuffer[i].distance = i;
        f.store.pointCount = c.before;
        f.source.Receive(Packets(100, 2000));
        EXPECT_EQ(f.loop.Tick(f.source, 0, false), 100) << c.before;
        ASSERT_EQ(f.store.pointCount, c.after) << c.before;
        EXPECT_EQ(f.store.pointBuffer[0].distance, c.firstKept) << c.before;
        EXPECT_EQ(f.store.pointBuffer[c.after - 101].distance, c.before - 1) << c.before;
        EXPECT_EQ(f.store.pointBuffer[c.after - 100].distance, 2000) << c.before;
        EXPECT_EQ(f.store.pointBuffer[c.after - 1].distance, 2099) << c.before;
    }
}

TEST(AcquisitionTick, AnOddCapacityDropsItsLastRecordWhenHalved) {
    PointStore store(7);
    for (int i = 0; i < 7; ++i) store.pointBuffer[i].distance = i;
    store.pointCount = 7;
    store.KeepNewerHalf();
    EXPECT_EQ(store.pointCount, 3);
    EXPECT_EQ(store.pointBuffer[0].distance, 3);
    EXPECT_EQ(store.pointBuffer[2].distance, 5);
}

TEST(AcquisitionTick, ChunksReachTheRecorderFirstAndTheEchoOnlyOnTheSettingsPage) {
    Fixture f;
    std::string order;
    int recorded = 0;
    f.loop.recorder = [&](const uint8_t*, int n) {
        order += 'r';
        recorded += n;
    };
    f.loop.echo = [&](const uint8_t*, int) { order += 'e'; };
    f.source.Receive(Packets(3));
    f.loop.Tick(f.source, 0, false);
    f.source.Receive(Packets(3));
    f.loop.Tick(f.source, 0, true);
    EXPECT_EQ(order, "rre");
    EXPECT_EQ(recorded, 24);
}

// The zone tool's send step runs on every tick, after the reads and before the redraw.
TEST(AcquisitionTick, TheStepAfterReadingRunsOnEveryTickBeforeTheRedraw) {
    Fixture f;
    std::string order;
    f.loop.afterRead = [&] { order += 'a'; };
    f.loop.showLatest = [&] { order += 's'; };
    f.loop.echo = [&](const uint8_t*, int) { order += 'e'; };
    f.loop.Tick(f.source, 0, true);
    f.source.Receive(Packets(20));
    f.loop.Tick(f.source, 30, true);
    EXPECT_EQ(order, "aeas");
}

TEST(AcquisitionTick, DecodesWithTheDistanceLimit) {
    Fixture f;
    f.loop.distanceLimit = 150;
    f.source.Receive(Packets(100, 100));  // distances 100..199
    f.loop.Tick(f.source, 0, false);
    EXPECT_EQ(f.store.pointCount, 50);
}

TEST(AcquisitionRates, RecomputedOnEveryThirtyFirstTickOverTheElapsedTime) {
    Fixture f(100000);
    // The first period runs from tick count 0.
    for (int tick = 1; tick <= 30; ++tick) {
        f.source.Receive(Packets(100));
        f.loop.Tick(f.source, 1000 + tick * 20, false);
        EXPECT_EQ(f.loop.PointRate(), 0.0f);
    }
    f.source.Receive(Packets(100));
    f.loop.Tick(f.source, 2000, false);
    EXPECT_FLOAT_EQ(f.loop.PointRate(), 3100 / 2000.0f);
    EXPECT_FLOAT_EQ(f.loop.ByteRate(), 3100 * 4 / 2000.0f);
    // A quiet period brings the rates down to 0 once it ends.
    for (int tick = 1; tick <= 31; ++tick) f.loop.Tick(f.source, 2000 + tick * 20, false);
    EXPECT_EQ(f.loop.PointRate(), 0.0f);
    EXPECT_EQ(f.loop.ByteRate(), 0.0f);
    EXPECT_EQ(f.redraws, 31);
}

TEST(PointWindow, NewestAndClamped) {
    PointStore store(100);
    store.viewLength = 40;
    store.pointCount = 30;
    store.ViewNewest();
    EXPECT_EQ(store.viewStart, 0);
    EXPECT_EQ(store.ClampViewWindow(), 30) << "a window larger than the buffer draws it whole";
    store.pointCount = 100;
    store.ViewNewest();
    EXPECT_EQ(store.viewStart, 60);
    EXPECT_EQ(store.ClampViewWindow(), 40);
    store.viewStart = 100;
    EXPECT_EQ(store.ClampViewWindow(), 40);
    EXPECT_EQ(store.viewStart, 0);
    store.pointCount = -3;
    store.viewStart = 5;
    EXPECT_EQ(store.ClampViewWindow(), 0);
    EXPECT_EQ(store.pointCount, 0);
    EXPECT_EQ(store.viewStart, 0);
}

}  // namespace
