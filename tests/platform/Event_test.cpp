#include "Event.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Tick.h"

TEST(ManualResetEventTest, StaysSetUntilReset) {
    ManualResetEvent event;
    EXPECT_FALSE(event.IsSet());
    event.Set();
    event.Set();
    EXPECT_TRUE(event.IsSet());
    EXPECT_EQ(WaitAny({&event}, 0), 0);
    EXPECT_TRUE(event.IsSet());
    event.Reset();
    EXPECT_FALSE(event.IsSet());
    event.Reset();
    EXPECT_FALSE(event.IsSet());
}

TEST(ManualResetEventTest, WaitAnyGivesTheLowestSetIndexOrTimesOut) {
    ManualResetEvent a, b, c;
    EXPECT_EQ(WaitAny({&a, &b, &c}, 20), -1);
    c.Set();
    EXPECT_EQ(WaitAny({&a, &b, &c}), 2);
    b.Set();
    EXPECT_EQ(WaitAny({&a, &b, &c}), 1);
    a.Set();
    EXPECT_EQ(WaitAny({&a, &b, &c}), 0);
}

TEST(ManualResetEventTest, SetOnAnotherThreadWakesTheWait) {
    ManualResetEvent idle, wake;
    std::thread setter([&wake] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        wake.Set();
    });
    EXPECT_EQ(WaitAny({&idle, &wake}), 1);
    setter.join();
}

TEST(TickTest, CountsMillisecondsMonotonically) {
    const uint32_t start = GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    const uint32_t spent = GetTickCount() - start;
    EXPECT_GE(spent, 120u);
    EXPECT_LT(spent, 2000u);
}
