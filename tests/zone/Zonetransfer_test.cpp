#include "Zonetransfer.h"

#include <gtest/gtest.h>

#include <QByteArrayList>

#include "RecordingLink.h"

namespace {

class ZoneTransferTest : public ::testing::Test {
protected:
    ZoneTransferTest() {
        table.IOLevel = 16;
        table.zones[4] = ProtectZone{3, 5, {0, 100, 100, 0, 0}, {100, 100, -50, 0, 0}};
        transfer.onProgress = [this](int done) { progress.push_back(done); };
    }

    // The zone tool's 30 ms timer.
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) {
            now += 30;
            transfer.Tick();
        }
    }

    ZoneTable table;
    RecordingLink link;
    int64_t now = 0;
    TZoneTransfer transfer{link, [this] { return now; }};
    std::vector<int> progress;
};

const QByteArrayList kTriangle = {"#IOL 16\r\n", "#SPR 21507,6553600\r\n", "#SPR 21523,6553700\r\n",
                                  "#SPR 21539,4291690596\r\n", "#SU\r\n"};

TEST_F(ZoneTransferTest, EachCommandGoesEvery32TicksUntilAcknowledged) {
    transfer.QueueZoneCommands(table, 4);
    EXPECT_EQ(transfer.BeginUpload(), 5);
    Ticks(31);
    EXPECT_TRUE(link.sent.isEmpty());
    Ticks(1);
    EXPECT_EQ(link.sent, QByteArrayList{kTriangle[0]});
    Ticks(64);  // no answer: sent again at each step
    EXPECT_EQ(link.sent, QByteArrayList(3, kTriangle[0]));
    EXPECT_EQ(transfer.HeadSends(), 3);
    // Each copy is answered; the next line goes once all three answers are in.
    transfer.Acknowledge();
    transfer.Acknowledge();
    Ticks(32);
    EXPECT_EQ(link.sent.last(), kTriangle[0]);
    transfer.Acknowledge();
    Ticks(32);
    EXPECT_EQ(link.sent.last(), kTriangle[1]);

    for (int i = 2; i < 5; ++i) {
        transfer.Acknowledge();
        Ticks(32);
        EXPECT_EQ(link.sent.last(), kTriangle[i]);
    }
    transfer.Acknowledge();
    Ticks(32);
    EXPECT_EQ(transfer.PendingCommands(), 0);
    EXPECT_EQ(progress, (std::vector<int>{1, 2, 3, 4, 5}));
    Ticks(320);
    EXPECT_EQ(link.sent.size(), 7);
}

// A scanner answered "#IOL" 1.1 s late, after its repeat, and lost the first "#SPR": the answer
// to the second "#IOL" was taken for the "#SPR", which was never sent again.
TEST_F(ZoneTransferTest, ALateAnswerToARepeatedLineNeverAcknowledgesTheNext) {
    const struct {
        bool secondCopyAnswered;
        int64_t nextSentAt;  // ms: at once after the second answer, or when it can no longer come
    } cases[] = {{true, 1200}, {false, 960 + TZoneTransfer::kLateAnswerMs}};
    for (const auto& c : cases) {
        RecordingLink fresh;
        int64_t clock = 0;
        TZoneTransfer late(fresh, [&clock] { return clock; });
        late.QueueZoneCommands(table, 4);
        late.BeginUpload();
        late.SendStep();
        clock = 960;
        late.SendStep();  // no answer yet: "#IOL" again
        ASSERT_EQ(fresh.sent, QByteArrayList(2, kTriangle[0]));
        clock = 1100;
        late.Acknowledge();  // the first copy's answer
        late.SendStep();
        EXPECT_TRUE(late.Holding()) << c.secondCopyAnswered;
        EXPECT_EQ(fresh.sent.size(), 2);
        if (c.secondCopyAnswered) {
            clock = 1200;
            late.Acknowledge();
        }
        for (; fresh.sent.size() == 2 && clock < 8000; clock += 10) late.SendStep();
        EXPECT_EQ(clock - 10, c.nextSentAt) << c.secondCopyAnswered;
        EXPECT_EQ(fresh.sent.last(), kTriangle[1]);
        // That first "#SPR" is lost: nothing acknowledges it, it goes again.
        clock += 960;
        late.SendStep();
        EXPECT_EQ(fresh.sent.last(), kTriangle[1]) << c.secondCopyAnswered;
        EXPECT_EQ(late.PendingCommands(), 4);
    }
}

TEST_F(ZoneTransferTest, AnOkBeforeTheHeadWentOutIsNotItsAcknowledgement) {
    // A scanner that answers the save's motor stop with "... ok", or a stray "ok".
    for (const bool motorStop : {true, false}) {
        RecordingLink fresh;
        TZoneTransfer saving(fresh);
        if (motorStop)
            saving.SendNow("#SF 0\r\n");
        saving.QueueZoneCommands(table, 4);
        saving.BeginUpload();
        saving.Acknowledge();
        EXPECT_FALSE(saving.AckReceived());
        saving.SendStep();
        EXPECT_EQ(fresh.sent.last(), kTriangle[0]) << motorStop;
        saving.Acknowledge();
        saving.SendStep();
        EXPECT_EQ(fresh.sent.last(), kTriangle[1]) << motorStop;
    }
}

TEST_F(ZoneTransferTest, CommandsSentAtOnceDuringATransferSkipNothing) {
    transfer.QueueZoneCommands(table, 4);
    transfer.BeginUpload();
    transfer.SendStep();
    // "停止" pressed while "#IOL" waits; the scanner answers both, in order.
    transfer.SendNow("#SF 0\r\n");
    transfer.Acknowledge();
    transfer.Acknowledge();
    transfer.SendStep();
    EXPECT_EQ(link.sent.last(), kTriangle[1]);

    // "马达旋转" pressed while the head waits: no copy of the head goes out before its "ok".
    transfer.SendNow("#SF 1000\r\n");
    transfer.SendStep();
    EXPECT_EQ(link.sent.last(), "#SF 1000\r\n");
    transfer.Acknowledge();
    transfer.SendStep();
    EXPECT_EQ(link.sent.last(), kTriangle[1]);
    transfer.Acknowledge();
    transfer.SendStep();
    EXPECT_EQ(link.sent.last(), kTriangle[1]) << "the answer to its other copy may follow";
    transfer.Acknowledge();
    transfer.SendStep();
    EXPECT_EQ(link.sent.last(), kTriangle[2]);
}

// The port held the answer to a save's motor stop for its 1 s between bytes; it came after
// "#IOL" went out and was taken for its answer, whose own "ok" then passed for the next line's.
TEST_F(ZoneTransferTest, NoHeadGoesOutWhileACommandSentAtOnceMayStillBeAnswered) {
    const struct {
        bool answered;
        int64_t firstSentAt;  // ms: at once after the answer, or when it can no longer come
    } cases[] = {{true, 1100}, {false, TZoneTransfer::kLateAnswerMs}};
    for (const auto& c : cases) {
        RecordingLink fresh;
        int64_t clock = 0;
        TZoneTransfer saving(fresh, [&clock] { return clock; });
        saving.SendNow("#SF 0\r\n");
        saving.QueueZoneCommands(table, 4);
        saving.BeginUpload();
        for (; fresh.sent.size() == 1 && clock < 8000; clock += 10) {
            if (c.answered && clock == 1100)
                saving.Acknowledge();
            saving.SendStep();
        }
        EXPECT_EQ(clock - 10, c.firstSentAt) << c.answered;
        EXPECT_EQ(fresh.sent.last(), kTriangle[0]) << c.answered;
        saving.Acknowledge();
        saving.SendStep();
        EXPECT_EQ(fresh.sent.last(), kTriangle[1]) << c.answered;
    }
}

// A save while the adapter was away was dropped, yet drawn and stored as saved.
TEST_F(ZoneTransferTest, ASaveWhileThePortIsAwayWaitsAndGoesOnceItIsBack) {
    link.open = false;
    transfer.QueueZoneCommands(table, 4);
    transfer.SendNow("#SF 0\r\n");
    EXPECT_EQ(transfer.BeginUpload(), 5);
    Ticks(100);
    EXPECT_TRUE(link.sent.isEmpty());
    link.open = true;
    transfer.Reconnected();
    Ticks(32);
    EXPECT_EQ(link.sent, QByteArrayList{kTriangle[0]});
}

// The line came back in the middle of a zone: the scanner may have restarted and lost its
// first lines, so the zone goes again from "#IOL".
TEST_F(ZoneTransferTest, AfterAReconnectionAnInterruptedZoneGoesAgainFromItsFirstLine) {
    transfer.ForceOutput("460800");
    transfer.QueueZoneCommands(table, 4);
    for (int acknowledged = 0; acknowledged < 4; ++acknowledged) {
        transfer.SendStep();
        transfer.Acknowledge();
    }
    transfer.SendStep();
    ASSERT_EQ(link.sent.last(), kTriangle[2]);
    link.open = false;
    transfer.Reconnected();
    link.open = true;
    link.sent.clear();
    for (int i = 0; i < 5; ++i) {
        transfer.SendStep();
        transfer.Acknowledge();
    }
    transfer.SendStep();
    EXPECT_EQ(link.sent, kTriangle);
    EXPECT_EQ(transfer.PendingCommands(), 0);
}

TEST_F(ZoneTransferTest, ForceOutputQueuesTheRateAndStore) {
    EXPECT_FALSE(transfer.ForceOutput("fast"));
    EXPECT_EQ(transfer.PendingCommands(), 0);
    EXPECT_TRUE(transfer.ForceOutput("460800"));
    transfer.SendStep();
    transfer.Acknowledge();
    transfer.SendStep();
    EXPECT_EQ(link.sent, (QByteArrayList{"#BR 460800\r\n", "#SU\r\n"}));
}

}  // namespace
