#include "RevolutionIndex.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <thread>

#include "RecordTestSupport.h"
#include "RecordingSets.h"

namespace {

struct Recorded {
    QTemporaryDir dir;
    QByteArray stream;
    record::RecordingSet set;

    Recorded(int packetBytes, int segmentLimit, size_t bytes = 120000) {
        stream = SimulatedStream(bytes, packetBytes);
        Record(dir.filePath("run"), stream, segmentLimit);
        QString error;
        set.Open(dir.filePath("run.Zip"), error);
    }
};

// Segments of 1500 bytes split revolutions and packets; 5-byte packets carry 5-byte markers.
TEST(RevolutionIndex, AgreesWithOneDecodeOfTheJoinedStream) {
    for (const int packetBytes : {4, 5}) {
        SCOPED_TRACE(packetBytes);
        Recorded recorded(packetBytes, 1500);
        ASSERT_GT(recorded.set.SegmentCount(), 20);
        record::RevolutionIndex index(recorded.set);
        while (index.Step()) {
        }
        EXPECT_TRUE(index.Done());
        const std::vector<ScanPoint> points = DecodeWhole(recorded.stream);
        const std::vector<size_t> markers = MarkerIndices(points);
        ASSERT_GT(markers.size(), 10u);
        ASSERT_EQ(index.Count(), static_cast<int>(markers.size()))
            << (index.Problems().isEmpty() ? "" : index.Problems()[0].toStdString());
        const auto* bytes = reinterpret_cast<const uint8_t*>(recorded.stream.constData());
        for (int r = 0; r < index.Count(); ++r) {
            EXPECT_EQ(index.Counter(r), points[markers[r]].distance) << r;
            // The position is where the marker's packet begins.
            ScanPoint first = {};
            const uint64_t at = index.Position(r);
            ASSERT_EQ(TLaserDecode().DecodeStream(&first, 1, bytes + at, 5, 6000), 1) << r;
            EXPECT_EQ(first.angle, scanner::kInfoZeroDegree) << r;
            EXPECT_EQ(index.At(at), r);
            if (at > 0) {
                EXPECT_EQ(index.At(at - 1), r - 1);
            }
        }
        for (int k = 0; k < recorded.set.SegmentCount(); ++k) {
            const int first = index.FirstOf(k);
            if (first < index.Count()) {
                EXPECT_GE(index.Position(first), recorded.set.Start(k));
            }
            if (first > 0) {
                EXPECT_LT(index.Position(first - 1), recorded.set.Start(k));
            }
        }
    }
}

// A 5-byte marker whose counter is above the distance limit is refused by the decoder, so it
// begins no revolution here either.
TEST(RevolutionIndex, FollowsTheDistanceLimitAsTheDecoderDoes) {
    Recorded recorded(5, 4000);
    std::vector<int> counts;
    for (const int32_t limit : {6000, 20}) {
        record::RevolutionIndex index(recorded.set, limit);
        while (index.Step()) {
        }
        counts.push_back(index.Count());
        EXPECT_EQ(index.Count(),
                  static_cast<int>(MarkerIndices(DecodeWhole(recorded.stream, limit)).size()))
            << limit;
    }
    EXPECT_LT(counts[1], counts[0]);
}

TEST(RevolutionIndex, AnUnreadableSegmentIsNamedAndTheRestIsIndexed) {
    Recorded recorded(4, 1500);
    // Damage the packed data of one entry in the middle of the archive.
    const QString archive = recorded.dir.filePath("run.Zip");
    QByteArray zip = ReadAll(archive);
    for (int i = 0; i < 40; ++i)
        zip[zip.size() / 2 + i] = static_cast<char>(zip[zip.size() / 2 + i] ^ 0x5A);
    WriteAll(archive, zip);
    record::RevolutionIndex index(recorded.set);
    while (index.Step()) {
    }
    EXPECT_TRUE(index.Done());
    ASSERT_FALSE(index.Problems().isEmpty());
    EXPECT_TRUE(index.Problems()[0].startsWith(archive)) << index.Problems()[0].toStdString();
    const int all = static_cast<int>(MarkerIndices(DecodeWhole(recorded.stream)).size());
    EXPECT_GT(index.Count(), all / 2);
    EXPECT_LT(index.Count(), all);
}

TEST(RevolutionIndexThread, GrowsOnItsWorkerWhileItIsLookedUp) {
    Recorded recorded(4, 1500, 300000);
    record::RevolutionIndex stepped(recorded.set);
    while (stepped.Step()) {
    }
    record::RevolutionIndex index(recorded.set);
    index.Start();
    int seen = 0;
    uint64_t last = 0;
    while (!index.Done()) {
        const int count = index.Count();
        EXPECT_GE(count, seen);
        if (count > 0) {
            EXPECT_GE(index.Position(count - 1), last);
            last = index.Position(count - 1);
        }
        seen = count;
        std::this_thread::yield();
    }
    ASSERT_EQ(index.Count(), stepped.Count());
    for (int r = 0; r < index.Count(); ++r) EXPECT_EQ(index.Position(r), stepped.Position(r));
}

// Destroyed in the middle, the index stops its worker instead of reading on.
TEST(RevolutionIndexThread, StopsItsWorkerWhenDestroyed) {
    Recorded recorded(4, 1500, 300000);
    for (int i = 0; i < 5; ++i) {
        record::RevolutionIndex index(recorded.set);
        index.Start();
    }
}

}  // namespace
