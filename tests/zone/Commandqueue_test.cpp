#include "Commandqueue.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandQueue, HoldsNinetyNineAndWrapsAround) {
    TCommandQueue queue;
    EXPECT_TRUE(queue.Empty());
    // Move the indices near the end first, so that both wrap.
    for (int i = 0; i < 97; ++i) {
        ASSERT_TRUE(queue.QueueCommand("#SU\r\n"));
        queue.Advance();
    }
    for (int i = 0; i < 99; ++i) ASSERT_TRUE(queue.QueueCommand(QByteArray::number(i)));
    EXPECT_FALSE(queue.QueueCommand("#SU\r\n"));
    EXPECT_EQ(queue.PendingCommands(), 99);
    for (int i = 0; i < 99; ++i) {
        ASSERT_EQ(queue.Head(), QByteArray::number(i));
        queue.Advance();
        EXPECT_EQ(queue.PendingCommands(), 98 - i);
    }
    EXPECT_TRUE(queue.Empty());
    queue.Advance();
    EXPECT_EQ(queue.PendingCommands(), 0);
}

TEST(CommandQueue, CommandsOfHundredBytesOrMoreAreDropped) {
    TCommandQueue queue;
    EXPECT_FALSE(queue.QueueCommand(QByteArray(100, 'a')));
    EXPECT_TRUE(queue.QueueCommand(QByteArray(99, 'b')));
    EXPECT_EQ(queue.PendingCommands(), 1);
    EXPECT_EQ(queue.Head(), QByteArray(99, 'b'));
}

TEST(CommandQueue, RewindBringsBackCommandsWhoseSlotsAreStillUnused) {
    TCommandQueue queue;
    for (int i = 0; i < 98; ++i) {
        ASSERT_TRUE(queue.QueueCommand("#SU\r\n"));
        queue.Advance();
    }
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(queue.QueueCommand(QByteArray::number(i)));
    queue.Advance();
    queue.Advance();
    queue.Advance();  // across the wrap
    ASSERT_TRUE(queue.Rewind(3));
    EXPECT_EQ(queue.Head(), "0");
    EXPECT_EQ(queue.PendingCommands(), 4);

    // Filled up to the rewound slots: they hold newer commands now.
    queue.Advance();
    queue.Advance();
    while (queue.QueueCommand("#SU\r\n")) {
    }
    EXPECT_FALSE(queue.Rewind(1));
    EXPECT_EQ(queue.Head(), "2");
}

}  // namespace
