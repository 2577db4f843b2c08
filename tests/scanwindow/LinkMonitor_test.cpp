#include "LinkMonitor.h"

#include <gtest/gtest.h>

using scanwindow::LinkMonitor;

namespace {

LinkCounts Counts(int64_t bytes, int64_t missing = 0, int64_t skipped = 0, int64_t refused = 0) {
    LinkCounts c;
    c.bytes = bytes;
    c.missingRevolutions = missing;
    c.skippedBytes = skipped;
    c.refusedPackets = refused;
    return c;
}

TEST(LinkMonitor, ALossShowsInRedForTenSecondsAndStaysInTheTotals) {
    LinkMonitor m;
    m.Update(Counts(0), 1000);
    EXPECT_EQ(m.StatusText(), QString::fromUtf8("链路正常"));
    m.Update(Counts(23040), 2000);
    m.Update(Counts(46080, 2, 7, 1), 3000);
    EXPECT_TRUE(m.Alarm());
    EXPECT_EQ(m.StatusText(), QString::fromUtf8("丢失 2圈 1包 7字节"));
    // Ticks go on without further loss: red until the loss is 10 seconds old.
    int64_t bytes = 46080;
    for (uint32_t ms = 3020; ms <= 12980; ms += 20) m.Update(Counts(bytes += 460, 2, 7, 1), ms);
    EXPECT_TRUE(m.Alarm()) << "9.98 seconds after";
    for (uint32_t ms = 13000; ms <= 14000; ms += 20) m.Update(Counts(bytes += 460, 2, 7, 1), ms);
    EXPECT_FALSE(m.Alarm());
    EXPECT_EQ(m.StatusText(), QString::fromUtf8("链路正常"));
    EXPECT_EQ(m.SinceOpen().missingRevolutions, 2);
    EXPECT_EQ(m.SinceOpen().skippedBytes, 7);
    EXPECT_EQ(m.Recent().missingRevolutions, 0);
}

TEST(LinkMonitor, NoBytesForASecondSaysSo) {
    LinkMonitor m;
    m.Update(Counts(0), 0);
    m.Update(Counts(0), 500);
    EXPECT_EQ(m.StatusText(), QString::fromUtf8("链路正常")) << "just opened";
    m.Update(Counts(0), 1500);
    EXPECT_EQ(m.StatusText(), QString::fromUtf8("无数据"));
    EXPECT_FALSE(m.Alarm());
}

TEST(LinkMonitor, ResetStartsBothColumnsAgain) {
    LinkMonitor m;
    m.Update(Counts(1000, 1, 2, 3), 0);
    m.Update(Counts(5000, 4, 5, 6), 1000);
    m.Reset();
    EXPECT_EQ(m.SinceOpen().bytes, 0);
    EXPECT_EQ(m.Recent().missingRevolutions, 0);
    EXPECT_FALSE(m.Alarm());
    m.Update(Counts(6000, 4, 5, 6), 2000);
    EXPECT_EQ(m.SinceOpen().bytes, 1000);
    EXPECT_EQ(m.Rows()[0].sinceOpen, "1000");
    m.Restart();
    EXPECT_EQ(m.SinceOpen().bytes, 0) << "a port opened again counts from nothing";
}

TEST(LinkMonitor, TheRateRowComparesWithTheNominalRate) {
    LinkMonitor m;
    m.SetNominalBaud(230400);  // 23040 bytes a second
    m.Update(Counts(0), 0);
    for (uint32_t s = 1; s <= 12; ++s) m.Update(Counts(11520 * s), s * 1000);
    const auto rows = m.Rows();
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[1].name, QString::fromUtf8("字节速率"));
    EXPECT_EQ(rows[1].sinceOpen, "11520 B/s (50.0%)");
    EXPECT_EQ(rows[1].recent, "11520 B/s (50.0%)");
    EXPECT_EQ(rows[0].recent, "115200") << "the last 10 seconds";
}

}  // namespace
