#include "RecordingReplay.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "Leftovers.h"
#include "RecordTestSupport.h"
#include "RecordingSets.h"
#include "ScannerInterface.h"

namespace {

using scanwindow::RecordingReplay;
using scanwindow::ReplayMove;

// Some 230 segments of about 3 KB fill run.Zip and run.001.Zip and begin run.002.Zip; a crash
// left the last segment beside them. Revolutions span segments, packets are split between them.
class RecordingReplayTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        shared = new Shared;
        shared->stream = SimulatedStream(230 * 3100);
        const qsizetype tail = 3000;
        Record(shared->dir.filePath("run"), shared->stream.left(shared->stream.size() - tail),
               2048);
        const int packed = static_cast<int>(Entries(shared->dir.filePath("run.002.Zip")).size());
        shared->leftover = record::SegmentName(shared->dir.filePath("run"), packed);
        WriteAll(shared->leftover, shared->stream.right(tail));
        shared->markers = MarkerIndices(DecodeWhole(shared->stream));
    }
    static void TearDownTestSuite() { delete shared; }

    void SetUp() override { replay = Opened(Path("run.Zip")); }

    static QString Path(const QString& name) { return shared->dir.filePath(name); }
    // The replay of path with its index built whole.
    static std::unique_ptr<RecordingReplay> Opened(const QString& path) {
        QString error;
        auto opened = RecordingReplay::Open(path, 6000, error);
        EXPECT_TRUE(opened) << error.toStdString();
        if (!opened)
            return nullptr;
        for (int i = 0; i < 3000 && !opened->Index().Done(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_TRUE(opened->Index().Done());
        return opened;
    }
    const record::RevolutionIndex& Index() const { return replay->Index(); }

    struct Shared {
        QTemporaryDir dir;
        QByteArray stream;
        QString leftover;
        std::vector<size_t> markers;
    };
    static Shared* shared;
    std::unique_ptr<RecordingReplay> replay;
};

RecordingReplayTest::Shared* RecordingReplayTest::shared = nullptr;

// The first tick shows the first revolution of the file the user opened, whichever of the set
// it is; the set and the index are the whole recording's.
TEST_F(RecordingReplayTest, OpensAtTheFirstRevolutionOfTheFileChosen) {
    ASSERT_EQ(Index().Count(), static_cast<int>(shared->markers.size()));
    const struct {
        QString file;
        int segment;
    } cases[] = {
        {Path("run.Zip"), 0},
        {Path("run.001.Zip"), 100},
        {Path("run.002.Zip"), 200},
        {shared->leftover, replay->Set().SegmentCount() - 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        const auto opened = Opened(c.file);
        ASSERT_TRUE(opened);
        EXPECT_EQ(opened->Set().SegmentCount(), replay->Set().SegmentCount());
        EXPECT_EQ(opened->OpenedSegment(), c.segment);
        EXPECT_EQ(opened->Revolution(), -1) << "nothing is shown before the tick";
        const scanwindow::ReplayTick tick = opened->Tick(0);
        EXPECT_TRUE(tick.shown);
        EXPECT_TRUE(tick.grew);
        const int first = std::min(Index().FirstOf(c.segment), Index().Count() - 1);
        EXPECT_EQ(opened->Revolution(), first);
        ASSERT_FALSE(opened->Samples().empty());
        EXPECT_EQ(opened->Samples().front().angle, scanner::kInfoZeroDegree);
        EXPECT_FALSE(opened->Tick(0).shown) << "shown once";
    }
}

// A segment that went after the index was built is a failure with its reason, not an end.
TEST_F(RecordingReplayTest, ASegmentThatCannotBeReadAnyMoreIsToldWithItsReason) {
    QTemporaryDir dir;
    const QByteArray stream = SimulatedStream(20000);
    Record(dir.filePath("short"), stream.left(15000), 4096);
    const QString leftover = record::SegmentName(
        dir.filePath("short"), static_cast<int>(Entries(dir.filePath("short.Zip")).size()));
    WriteAll(leftover, stream.mid(15000));
    const auto opened = Opened(dir.filePath("short.Zip"));
    ASSERT_TRUE(opened);
    ASSERT_EQ(opened->Set().At(opened->Set().SegmentCount() - 1).path, leftover);
    ASSERT_TRUE(opened->Move(ReplayMove::First, 0));
    ASSERT_TRUE(QFile::remove(leftover));
    EXPECT_FALSE(opened->Move(ReplayMove::Last, 0));
    EXPECT_TRUE(opened->Error().contains(leftover)) << opened->Error().toStdString();
}

TEST_F(RecordingReplayTest, AFileThatIsNoRecordingSaysWhy) {
    QString error;
    EXPECT_FALSE(RecordingReplay::Open(Path("absent.Zip"), 6000, error));
    EXPECT_TRUE(error.contains(Path("absent.Zip"))) << error.toStdString();
}

TEST_F(RecordingReplayTest, MovesLandOnTheRevolutionTheyName) {
    const int count = Index().Count();
    const int middle = count / 2;
    const int segment = Index().SegmentOf(middle);
    const struct {
        ReplayMove move;
        int from;
        int to;
        bool landed;
    } cases[] = {
        {ReplayMove::Next, middle, middle + 1, true},
        {ReplayMove::Previous, middle, middle - 1, true},
        {ReplayMove::First, middle, 0, true},
        {ReplayMove::Last, middle, count - 1, true},
        {ReplayMove::NextSegment, middle, Index().FirstOf(segment + 1), true},
        {ReplayMove::Next, count - 1, count - 1, false},
        {ReplayMove::Previous, 0, 0, false},
        {ReplayMove::PreviousSegment, 0, 0, false},
        {ReplayMove::NextSegment, count - 1, count - 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.move) << " from " << c.from);
        ASSERT_TRUE(replay->Seek(c.from, 0));
        EXPECT_EQ(replay->Move(c.move, 0), c.landed);
        EXPECT_EQ(replay->Revolution(), c.to);
        EXPECT_TRUE(replay->Error().isEmpty()) << "an end is no failure";
        EXPECT_EQ(replay->Samples().front().angle, scanner::kInfoZeroDegree);
    }
}

// Page by page forward and back, every segment in which a revolution begins is reached in
// order at its first revolution, and no other.
TEST_F(RecordingReplayTest, SegmentMovesVisitEverySegmentInOrder) {
    std::vector<int> expected;
    for (int r = 0; r < Index().Count(); ++r) {
        if (r == 0 || Index().SegmentOf(r) != Index().SegmentOf(r - 1))
            expected.push_back(Index().SegmentOf(r));
    }
    ASSERT_GT(expected.size(), 100u);
    ASSERT_TRUE(replay->Move(ReplayMove::First, 0));
    std::vector<int> forward{replay->Segment()};
    while (replay->Move(ReplayMove::NextSegment, 0)) {
        EXPECT_EQ(replay->Revolution(), Index().FirstOf(replay->Segment()));
        forward.push_back(replay->Segment());
    }
    EXPECT_EQ(forward, expected);
    std::vector<int> back{replay->Segment()};
    while (replay->Move(ReplayMove::PreviousSegment, 0))
        back.insert(back.begin(), replay->Segment());
    EXPECT_EQ(back, expected);
}

// Anywhere on the timeline the revolution whose bytes hold that point is shown, and the
// slider then stands where that revolution begins: taken again, it lands on the same one.
TEST_F(RecordingReplayTest, TheTimelineLandsOnRevolutionBoundaries) {
    const double total = static_cast<double>(replay->Set().TotalBytes());
    for (int step = 0; step <= RecordingReplay::kTimelineSteps; step += 997) {
        SCOPED_TRACE(step);
        ASSERT_TRUE(replay->SeekTimeline(step, 0));
        const int r = replay->Revolution();
        const double at = step / double(RecordingReplay::kTimelineSteps) * total;
        // Before the first marker the first revolution is shown.
        if (r > 0 || at >= Index().Position(0)) {
            EXPECT_LE(Index().Position(r), at);
        }
        if (r + 1 < Index().Count()) {
            EXPECT_GT(Index().Position(r + 1), at);
        }
        const int snapped = replay->TimelineStep();
        EXPECT_LE(snapped - 1, Index().Position(r) / total * RecordingReplay::kTimelineSteps);
        ASSERT_TRUE(replay->SeekTimeline(snapped, 0));
        EXPECT_EQ(replay->Revolution(), r);
    }
    ASSERT_TRUE(replay->SeekTimeline(RecordingReplay::kTimelineSteps + 5, 0));
    EXPECT_EQ(replay->Revolution(), Index().Count() - 1);
}

// The time of a revolution is its byte position over the byte rate of the replay's baud.
TEST_F(RecordingReplayTest, ThePositionTellsTheRevolutionAndItsTimeAtTheReplaysBaud) {
    const int r = Index().Count() / 3;
    ASSERT_TRUE(replay->Seek(r, 0));
    const double bytes = static_cast<double>(Index().Position(r));
    EXPECT_DOUBLE_EQ(replay->Seconds(), bytes / 23040);
    replay->SetBaud(921600, 0);
    EXPECT_DOUBLE_EQ(replay->Seconds(), bytes / 92160);
    EXPECT_EQ(replay->PositionText(),
              scanwindow::ReplayPositionText(r, Index().Count(), true, bytes / 92160));
    EXPECT_TRUE(replay->PositionText().startsWith(
        QStringLiteral("revolution %1 of %2  ").arg(r + 1).arg(Index().Count())));
}

TEST(ReplayPositionText, CountsFromOneAndShowsHoursToMilliseconds) {
    const struct {
        int revolution;
        int count;
        bool complete;
        double seconds;
        const char* text;
    } cases[] = {
        {0, 1, true, 0, "revolution 1 of 1  0:00:00.000"},
        {41, 9000, true, 61.2345, "revolution 42 of 9000  0:01:01.235"},
        {99, 120, false, 3599.9996, "revolution 100 of 120…  1:00:00.000"},
        {5, 10, true, 40 * 3600 + 7.5, "revolution 6 of 10  40:00:07.500"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(scanwindow::ReplayPositionText(c.revolution, c.count, c.complete, c.seconds),
                  QString::fromUtf8(c.text));
}

// Playing at max hands every revolution from the shown one to the last over in order, and
// stops at the end with the last one shown.
TEST_F(RecordingReplayTest, PlayingPassesEveryRevolutionAndStopsAtTheEnd) {
    std::vector<int> passed;
    replay->passed = [&](int r, const std::vector<ScanPoint>& samples) {
        passed.push_back(r);
        EXPECT_EQ(samples.front().angle, scanner::kInfoZeroDegree);
    };
    ASSERT_TRUE(replay->Seek(10, 0));
    replay->SetSpeed(record::PlaybackSpeed::Max, 0);
    replay->Play(0);
    double now = 0;
    scanwindow::ReplayTick tick;
    while (!tick.ended && now < 100) {
        now += 0.001;
        tick = replay->Tick(now);
    }
    EXPECT_TRUE(tick.ended);
    EXPECT_TRUE(tick.shown) << "the last revolution, though its frame was not due";
    EXPECT_FALSE(replay->Playing());
    EXPECT_EQ(replay->Revolution(), Index().Count() - 1);
    ASSERT_EQ(passed.size(), static_cast<size_t>(Index().Count() - 11));
    for (size_t i = 0; i < passed.size(); ++i) ASSERT_EQ(passed[i], static_cast<int>(i) + 11);
}

// At the real speed the revolution shown is the one whose bytes would have arrived by now.
TEST_F(RecordingReplayTest, PlayingAtOneTimesKeepsToTheRecordingsTime) {
    ASSERT_TRUE(replay->Seek(0, 0));
    replay->Play(100);
    const double after = 1.5;
    for (int tick = 0; tick <= 75; ++tick) replay->Tick(100 + tick * after / 75);
    const double due = static_cast<double>(Index().Position(0)) + after * 23040;
    EXPECT_EQ(replay->Revolution(), Index().At(static_cast<uint64_t>(due)));
    EXPECT_TRUE(replay->Playing());
    replay->Pause();
    const int paused = replay->Revolution();
    EXPECT_FALSE(replay->Tick(200).shown);
    EXPECT_EQ(replay->Revolution(), paused);
}

}  // namespace
