#include "Playback.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Ten revolutions a second on a 230400-baud line: 2304 bytes each, on a fake clock.
constexpr double kByteRate = 23040;
constexpr uint64_t kBytesPerRevolution = 2304;

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int r = 0; r < 1000; ++r) table.Append(100 + r * kBytesPerRevolution, r % 2048);
    }
    record::RevolutionTable table;
    record::Playback playback{table, kByteRate};
};

TEST_F(PlaybackTest, ARevolutionIsDueOnceItsBytesWouldHaveArrived) {
    const struct {
        record::PlaybackSpeed speed;
        double after;
        int due;
    } cases[] = {
        {record::PlaybackSpeed::X1, 0.05, 10}, {record::PlaybackSpeed::X1, 0.101, 11},
        {record::PlaybackSpeed::X1, 0.35, 13}, {record::PlaybackSpeed::X2, 0.35, 17},
        {record::PlaybackSpeed::X5, 0.35, 27}, {record::PlaybackSpeed::X20, 0.201, 50},
    };
    for (const auto& c : cases) {
        record::Playback p(table, kByteRate);
        p.SetSpeed(c.speed, 0);
        p.Play(10, 1000);
        const record::PlaybackStep step = p.Advance(1000 + c.after);
        EXPECT_EQ(step.last, c.due) << record::PlaybackSpeedText(c.speed) << " " << c.after;
    }
}

// Every revolution is passed once, in order; no more are drawn than the display shows.
TEST_F(PlaybackTest, EveryRevolutionIsPassedAndDrawsKeepToTheDisplayRate) {
    playback.SetSpeed(record::PlaybackSpeed::X20, 0);
    playback.Play(0, 0);
    int next = 1;
    int draws = 0;
    double lastDraw = -1;
    for (double now = 0.005; now < 2; now += 0.005) {
        const record::PlaybackStep step = playback.Advance(now);
        if (step.first <= step.last) {
            EXPECT_EQ(step.first, next);
            next = step.last + 1;
        }
        if (step.draw >= 0) {
            EXPECT_EQ(step.draw, step.last);
            EXPECT_GE(now - lastDraw, 0.75 / record::Playback::kDisplayRate);
            lastDraw = now;
            ++draws;
        }
    }
    EXPECT_NEAR(next - 1, 400, 2);  // 2 s at 20 times 10 revolutions a second
    // A tick a little early must not halve the frame rate.
    EXPECT_LE(draws, 101);
    EXPECT_GE(draws, 97);
}

TEST_F(PlaybackTest, AChangeOfSpeedGoesOnFromWhereThePlayWas) {
    playback.Play(0, 0);
    EXPECT_EQ(playback.Advance(1.01).last, 10);
    playback.SetSpeed(record::PlaybackSpeed::X5, 1.01);
    EXPECT_EQ(playback.Advance(1.21).last, 20);
    playback.SetSpeed(record::PlaybackSpeed::Max, 1.21);
    EXPECT_EQ(playback.Advance(1.22).last, 20 + record::Playback::kMaxBatch);
    playback.SetSpeed(record::PlaybackSpeed::X1, 1.22);
    EXPECT_EQ(playback.Advance(1.33).last, 21 + record::Playback::kMaxBatch);
}

TEST_F(PlaybackTest, PausedOrMovedItHoldsAndGoesOnFromTheShownRevolution) {
    playback.Play(0, 0);
    playback.Advance(0.5);
    playback.Pause();
    const record::PlaybackStep paused = playback.Advance(10);
    EXPECT_EQ(paused.last, 5);
    EXPECT_GT(paused.first, paused.last);
    playback.Play(700, 20);
    EXPECT_EQ(playback.Advance(20.3).last, 703);
    playback.MovedTo(100, 21);
    EXPECT_EQ(playback.Advance(21.25).last, 102);
}

TEST_F(PlaybackTest, ItStopsAtTheLastRevolution) {
    playback.SetSpeed(record::PlaybackSpeed::X20, 0);
    playback.Play(990, 0);
    const record::PlaybackStep step = playback.Advance(5);
    EXPECT_EQ(step.last, 999);
    EXPECT_TRUE(step.atEnd);
}

// A machine that cannot keep up gets no more than a step's worth of revolutions to read.
TEST_F(PlaybackTest, AStallGivesAtMostOneBatchAndTheReplaySlowsInstead) {
    playback.SetSpeed(record::PlaybackSpeed::X20, 0);
    playback.Play(0, 0);
    EXPECT_EQ(playback.Advance(3).last, record::Playback::kMaxBatch);
    EXPECT_EQ(playback.Advance(3.1).last, record::Playback::kMaxBatch + 20);
}

TEST(PlaybackSpeed, TheSpeedsAreNamedAsTheUserPicksThem) {
    const std::string names[] = {"1×", "2×", "5×", "20×", "max"};
    const record::PlaybackSpeed speeds[] = {record::PlaybackSpeed::X1, record::PlaybackSpeed::X2,
                                            record::PlaybackSpeed::X5, record::PlaybackSpeed::X20,
                                            record::PlaybackSpeed::Max};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(record::PlaybackSpeedText(speeds[i]), names[i]);
}

}  // namespace
