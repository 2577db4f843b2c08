#include "RecordingCursor.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "RecordTestSupport.h"
#include "RecordingSets.h"

namespace {

// A recording of some 90 segments of 1500 bytes in one archive and a leftover segment, so
// that revolutions span segments and packets are split between them.
class RecordingCursorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        shared = new Shared;
        shared->stream = SimulatedStream(150000);
        const qsizetype tail = 2500;
        Record(shared->dir.filePath("run"), shared->stream.left(shared->stream.size() - tail),
               1500);
        WriteAll(
            record::SegmentName(shared->dir.filePath("run"),
                                static_cast<int>(Entries(shared->dir.filePath("run.Zip")).size())),
            shared->stream.right(tail));
        QString error;
        ASSERT_TRUE(shared->set.Open(shared->dir.filePath("run.Zip"), error));
        ASSERT_EQ(shared->set.At(shared->set.SegmentCount() - 1).entry, -1);
        shared->points = DecodeWhole(shared->stream);
        shared->markers = MarkerIndices(shared->points);
    }
    static void TearDownTestSuite() { delete shared; }

    void SetUp() override {
        while (index.Step()) {
        }
        ASSERT_EQ(index.Count(), static_cast<int>(shared->markers.size()));
    }

    // Revolution r of the one decode, from its marker to the next one, both included.
    static std::vector<ScanPoint> Expected(int r) {
        const auto& p = shared->points;
        const auto& m = shared->markers;
        const size_t end = static_cast<size_t>(r) + 1 < m.size() ? m[r + 1] + 1 : p.size();
        return std::vector<ScanPoint>(p.begin() + static_cast<std::ptrdiff_t>(m[r]),
                                      p.begin() + static_cast<std::ptrdiff_t>(end));
    }
    static bool Same(const std::vector<ScanPoint>& a, const std::vector<ScanPoint>& b) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [](const auto& x, const auto& y) {
                   return x.laser == y.laser && x.angle == y.angle && x.distance == y.distance &&
                          x.aux1 == y.aux1 && x.aux2 == y.aux2 && x.aux3 == y.aux3;
               });
    }

    struct Shared {
        QTemporaryDir dir;
        QByteArray stream;
        record::RecordingSet set;
        std::vector<ScanPoint> points;
        std::vector<size_t> markers;
    };
    static Shared* shared;
    record::RevolutionIndex index{shared->set};
    record::RecordingCursor cursor{shared->set, index};
};

RecordingCursorTest::Shared* RecordingCursorTest::shared = nullptr;

TEST_F(RecordingCursorTest, StepsThroughEveryRevolutionInOrderBothWays) {
    ASSERT_TRUE(cursor.First());
    int r = 0;
    do {
        ASSERT_EQ(cursor.Revolution(), r);
        ASSERT_TRUE(Same(cursor.Samples(), Expected(r))) << r;
        ++r;
    } while (cursor.Next());
    EXPECT_EQ(r, index.Count());
    EXPECT_FALSE(cursor.Next());
    EXPECT_EQ(cursor.Revolution(), index.Count() - 1);
    while (cursor.Previous()) {
        --r;
        ASSERT_TRUE(Same(cursor.Samples(), Expected(cursor.Revolution())));
    }
    EXPECT_EQ(cursor.Revolution(), 0);
    EXPECT_TRUE(cursor.Last());
    EXPECT_EQ(cursor.Revolution(), index.Count() - 1);
}

// A slider position anywhere lands on the revolution whose bytes hold it.
TEST_F(RecordingCursorTest, ABytePositionLandsOnTheRevolutionBeginningAtOrBeforeIt) {
    const int r = index.Count() / 2;
    const uint64_t at = index.Position(r);
    const struct {
        uint64_t position;
        int revolution;
    } cases[] = {
        {0, 0},
        {at - 1, r - 1},
        {at, r},
        {at + 1, r},
        {index.Position(r + 1) - 1, r},
        {shared->set.TotalBytes() + 100, index.Count() - 1},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(cursor.SeekPosition(c.position)) << c.position;
        EXPECT_EQ(cursor.Revolution(), c.revolution) << c.position;
        EXPECT_TRUE(Same(cursor.Samples(), Expected(c.revolution))) << c.position;
    }
}

TEST_F(RecordingCursorTest, SegmentMovesLandOnTheFirstRevolutionOfTheSegment) {
    ASSERT_TRUE(cursor.First());
    int moves = 0;
    while (cursor.NextSegment()) {
        const int k = cursor.Segment();
        EXPECT_EQ(cursor.Revolution(), index.FirstOf(k));
        EXPECT_EQ(cursor.Samples().front().angle, scanner::kInfoZeroDegree);
        ++moves;
    }
    EXPECT_GT(moves, 20);
    const int last = cursor.Segment();
    ASSERT_TRUE(cursor.PreviousSegment());
    EXPECT_LT(cursor.Segment(), last);
    EXPECT_EQ(cursor.Revolution(), index.FirstOf(cursor.Segment()));
}

// The simulator fills a 230400-baud line with 10 revolutions a second.
TEST_F(RecordingCursorTest, TheTimeOfARevolutionIsItsBytesOverTheLinesByteRate) {
    const int r = index.Count() - 1;
    const double seconds = cursor.Seconds(r) - cursor.Seconds(0);
    EXPECT_NEAR(seconds, r * 0.1, 0.02);
    EXPECT_DOUBLE_EQ(cursor.Seconds(r), index.Position(r) / 23040.0);
    cursor.SetBaud(115200);
    EXPECT_NEAR(cursor.Seconds(r) - cursor.Seconds(0), r * 0.2, 0.04);
}

// The data view's segments, decoded one by one, are the one decode of the whole stream.
TEST_F(RecordingCursorTest, SegmentsDecodedOneByOneMakeTheWholeStream) {
    std::vector<ScanPoint> joined;
    std::vector<ScanPoint> points(
        static_cast<size_t>(record::RecordingCursor::SegmentRoom(shared->set)));
    for (int k = 0; k < shared->set.SegmentCount(); ++k) {
        // The decoder leaves the status fields of a measurement as they were.
        std::fill(points.begin(), points.end(), ScanPoint{});
        QString error;
        const int n =
            cursor.DecodeSegment(k, points.data(), static_cast<int>(points.size()), error);
        ASSERT_GE(n, 0) << k << ": " << error.toStdString();
        joined.insert(joined.end(), points.begin(), points.begin() + n);
    }
    EXPECT_TRUE(Same(joined, shared->points));
}

TEST(RecordingCursor, AnEmptyIndexHasNoRevolutionToShow) {
    QTemporaryDir dir;
    WriteAll(dir.filePath("empty.000"), QByteArray());
    record::RecordingSet set;
    QString error;
    ASSERT_TRUE(set.Open(dir.filePath("empty.000"), error));
    record::RevolutionIndex index(set);
    while (index.Step()) {
    }
    record::RecordingCursor cursor(set, index);
    EXPECT_FALSE(cursor.First());
    EXPECT_FALSE(cursor.Error().isEmpty());
    EXPECT_TRUE(cursor.Samples().empty());
}

}  // namespace
