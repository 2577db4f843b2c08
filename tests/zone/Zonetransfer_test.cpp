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

    void Ticks(int n) {
        for (int i = 0; i < n; ++i) transfer.Tick();
    }

    ZoneTable table;
    RecordingLink link;
    TZoneTransfer transfer{link};
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

    for (int i = 1; i < 5; ++i) {
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

    // "马达旋转" pressed, its "ok" arrives after the head was sent again.
    transfer.SendNow("#SF 1000\r\n");
    transfer.SendStep();
    EXPECT_EQ(link.sent.last(), kTriangle[1]);
    transfer.Acknowledge();
    transfer.SendStep();
    EXPECT_EQ(link.sent.last(), kTriangle[1]);
    transfer.Acknowledge();
    transfer.SendStep();
    EXPECT_EQ(link.sent.last(), kTriangle[2]);
}

TEST_F(ZoneTransferTest, AnUnansweredCommandSentAtOnceCostsOneRepeat) {
    transfer.QueueZoneCommands(table, 4);
    transfer.SendNow("#RS\r\n");  // answered with "#RS..." lines, no "ok"
    transfer.SendStep();
    transfer.Acknowledge();  // taken for the "#RS"
    transfer.SendStep();
    EXPECT_EQ(link.sent.last(), kTriangle[0]);
    transfer.Acknowledge();
    transfer.SendStep();
    EXPECT_EQ(link.sent.last(), kTriangle[1]);
}

TEST_F(ZoneTransferTest, NothingIsQueuedOrSentWhileThePortIsClosed) {
    link.open = false;
    transfer.QueueZoneCommands(table, 4);
    transfer.SendNow("#SF 0\r\n");
    EXPECT_EQ(transfer.BeginUpload(), 0);
    Ticks(100);
    EXPECT_TRUE(link.sent.isEmpty());
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
