#include "Tquillcommpkg.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include "CommTestSupport.h"
#include "PtyPair.h"

using namespace QuillComm;

namespace {

constexpr FrameMarks kMarks = {0xEB, 0xEE, 0xEC};

QByteArray Encode(const QByteArray& data, bool doubleMark) {
    QByteArray frame(2 * data.size() + 4, Qt::Uninitialized);
    frame.resize(EncodeFrame(reinterpret_cast<const uint8_t*>(data.constData()), data.size(),
                             kMarks, doubleMark, reinterpret_cast<uint8_t*>(frame.data())));
    return frame;
}

// Feeds bytes to a decoder with receive buffers of packageSize bytes; returns the packages.
std::vector<QByteArray> Decode(const QByteArray& bytes, long packageSize = 4096,
                               long queueSize = 16) {
    TCommPackageQueue queue(queueSize, packageSize + kPackageHeadSize);
    PackageBuffer receive;
    receive.Allocate(packageSize, queue.fGetPkgSz());
    FrameDecoder decoder;
    decoder.Feed(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size(), kMarks,
                 &receive, &queue);
    std::vector<QByteArray> packages;
    PackageBuffer element;
    element.Allocate(packageSize, queue.fGetPkgSz());
    while (queue.Out(element.Record()))
        packages.emplace_back(reinterpret_cast<const char*>(element.Data()), element.Length());
    return packages;
}

TEST(FrameTest, EncodingEscapesTheMarks) {
    const QByteArray data = Bytes({0x01, 0xEB, 0x02, 0xEC});
    EXPECT_EQ(Encode(data, false).toHex(' '), "eb 01 ec eb 02 ec ec ee");
    EXPECT_EQ(Encode(data, true).toHex(' '), "eb eb 01 ec eb 02 ec ec ee ee");
    EXPECT_EQ(Encode({}, false).toHex(' '), "eb ee");
    const QByteArray tail = Bytes({0xEE});
    EXPECT_EQ(Encode(tail, false).toHex(' '), "eb ec ee ee");
}

TEST(FrameTest, DecodingCases) {
    const QByteArray longData = Pattern(10);
    const struct {
        const char* name;
        QByteArray bytes;
        long packageSize;
        std::vector<QByteArray> packages;
    } cases[] = {
        {"single marks",
         Bytes({0xEB, 0x01, 0xEC, 0xEB, 0x02, 0xEC, 0xEC, 0xEE}),
         4096,
         {Bytes({0x01, 0xEB, 0x02, 0xEC})}},
        {"double marks",
         Bytes({0xEB, 0xEB, 0x01, 0xEC, 0xEB, 0x02, 0xEC, 0xEC, 0xEE, 0xEE}),
         4096,
         {Bytes({0x01, 0xEB, 0x02, 0xEC})}},
        {"noise outside", Bytes({0x55, 0xEB, 0x01, 0x02, 0xEE, 0x66}), 4096, {Bytes({0x01, 0x02})}},
        {"head inside", Bytes({0xEB, 0x01, 0xEB, 0x02, 0xEE}), 4096, {Bytes({0x02})}},
        {"empty frame", Bytes({0xEB, 0xEE}), 4096, {QByteArray()}},
        {"escaped tail",
         Bytes({0xEB, 0x01, 0xEC, 0xEE, 0x02, 0xEE}),
         4096,
         {Bytes({0x01, 0xEE, 0x02})}},
        {"over-long", Bytes({0xEB}) + longData + Bytes({0xEE}), 4, {longData.left(4)}},
        {"escaped head outside", Bytes({0xEC, 0xEB, 0x01, 0xEE}), 4096, {}},
        {"escape cleared outside", Bytes({0xEC, 0xEC, 0xEB, 0x01, 0xEE}), 4096, {Bytes({0x01})}},
        {"no tail yet", Bytes({0xEB, 0x01, 0x02}), 4096, {}},
        {"two frames",
         Bytes({0xEB, 0x01, 0xEE, 0xEE, 0xEB, 0x02, 0xEE}),
         4096,
         {Bytes({0x01}), Bytes({0x02})}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Decode(c.bytes, c.packageSize), c.packages) << c.name;
    }
}

TEST(FrameTest, EveryByteValueSurvivesTheRoundTrip) {
    QByteArray data;
    for (int i = 0; i < 256; ++i) data.append(char(i));
    for (bool doubleMark : {false, true}) {
        EXPECT_EQ(Decode(Encode(data, doubleMark)), std::vector<QByteArray>{data});
    }
}

TEST(FrameTest, AFullQueueLosesTheSixteenthPackage) {
    QByteArray bytes;
    for (int i = 0; i < 16; ++i) bytes += Encode(QByteArray(1, char(i)), false);
    const std::vector<QByteArray> packages = Decode(bytes);
    ASSERT_EQ(packages.size(), 15u);
    EXPECT_EQ(packages.front(), QByteArray(1, 0));
    EXPECT_EQ(packages.back(), QByteArray(1, 14));
}

TEST(PackageQueueTest, SizesHaveFloorsAndElementsKeepTheirOrder) {
    TCommPackageQueue queue(1, 10);
    EXPECT_EQ(queue.fGetQSize(), 2);
    EXPECT_EQ(queue.fGetPkgSz(), 32);
    queue.SetQueue(4, 40);
    char element[40] = "first";
    EXPECT_EQ(queue.In(element), 1);
    std::strcpy(element, "second");
    EXPECT_EQ(queue.In(element), 1);
    EXPECT_EQ(queue.In(element), 1);
    EXPECT_EQ(queue.In(element), 0);
    EXPECT_EQ(queue.fGetRemain(), 0);
    char got[40] = {};
    EXPECT_EQ(queue.Read(got, 1), 1);
    EXPECT_STREQ(got, "second");
    EXPECT_EQ(queue.Read(got, 3), 0);
    EXPECT_EQ(queue.Out(got), 1);
    EXPECT_STREQ(got, "first");
    EXPECT_EQ(queue.fGetCount(), 2);
    queue.fRemoveQueue();
    EXPECT_FALSE(queue.fIsValid());
    EXPECT_EQ(queue.In(element), 0);
    EXPECT_EQ(queue.Out(got), 0);
    EXPECT_EQ(queue.Read(got, 0), 0);
}

// A package layer on a port opened on a pseudo-terminal, with the package notifications.
class PackagePtyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(pty.SlavePath().isEmpty());
        comm.fSetPortName(pty.SlavePath());
        package.OnPackage = [this](TCommPackage* sender, uint32_t events) {
            EXPECT_EQ(sender, &package);
            std::lock_guard<std::mutex> hold(lock);
            notified.push_back(events);
        };
    }

    // The package hands the port's notification back while the port is closed.
    void TearDown() override { comm.Close(); }

    void Start(TCommPackageType type) {
        package.fSetPkgType(type);
        comm.Open();
        package.fSetActive(true);
    }

    std::vector<uint32_t> Notified() {
        std::lock_guard<std::mutex> hold(lock);
        return notified;
    }

    bool WaitForPackages(long count) {
        return WaitFor([&] { return package.InPackages().fGetCount() >= count; });
    }

    QByteArray Next(int room = 8192) {
        QByteArray got(room, Qt::Uninitialized);
        got.resize(package.ReadPackage(got.data(), room));
        return got;
    }

    PtyPair pty;
    std::mutex lock;
    std::vector<uint32_t> notified;
    TQuillComm comm;
    TCommPackage package{&comm};
};

TEST_F(PackagePtyTest, DefaultsAndNothingWhileInactive) {
    EXPECT_EQ(package.fGetQSize(), 16);
    EXPECT_EQ(package.fGetPkgSz(), 4096);
    EXPECT_EQ(package.fGetPkgType(), cptFrameTimeout);
    EXPECT_EQ(package.fGetPkgInterval(), 50);
    EXPECT_EQ(package.fGetFrameHead(), 0xEB);
    EXPECT_EQ(package.fGetFrameTail(), 0xEE);
    EXPECT_EQ(package.fGetFrameCtrl(), 0xEC);
    EXPECT_FALSE(package.fGetDblFrameMark());
    EXPECT_EQ(package.WritePackage("abc", 3), 0);
    char buffer[8];
    EXPECT_EQ(package.ReadPackage(buffer, 8), 0);
}

TEST_F(PackagePtyTest, TenBytesThenSilenceGiveOnePackageAndOneNotification) {
    Start(cptFrameTimeout);
    ASSERT_TRUE(pty.Send(Pattern(10)));
    ASSERT_TRUE(WaitForPackages(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Notified(), std::vector<uint32_t>{EV_RXCHAR});
    EXPECT_EQ(package.ReadPackage(nullptr, 0), 10);
    EXPECT_EQ(Next(), Pattern(10));
    EXPECT_EQ(Next(), QByteArray());
}

TEST_F(PackagePtyTest, ShortIntervalCutsPackagesAtIdleGaps) {
    package.fSetPkgInterval(2);
    Start(cptFrameTimeout);
    const QByteArray parts[] = {"abc", "defg", "hi"};
    for (const QByteArray& part : parts) {
        ASSERT_TRUE(pty.Send(part));
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
    ASSERT_TRUE(WaitForPackages(3));
    for (const QByteArray& part : parts) EXPECT_EQ(Next(), part);
}

TEST_F(PackagePtyTest, ReadPackagePeeksWithZeroAndCutsAShortBuffer) {
    Start(cptFrameHeadTail);
    ASSERT_TRUE(pty.Send(Encode("hello", false) + Encode("world", false)));
    ASSERT_TRUE(WaitForPackages(2));
    EXPECT_EQ(package.ReadPackage(nullptr, 0), 5);
    char buffer[8] = {};
    EXPECT_EQ(package.ReadPackage(buffer, 0), 5);
    EXPECT_EQ(package.ReadPackage(buffer, 3), 3);
    EXPECT_EQ(QByteArray(buffer, 3), "hel");
    // The rest of "hello" is gone; the next package is whole.
    EXPECT_EQ(Next(), "world");
    EXPECT_EQ(package.ReadPackage(nullptr, 0), 0);
}

TEST_F(PackagePtyTest, HeadTailPackagesArriveWithNotifications) {
    Start(cptFrameHeadTail);
    ASSERT_TRUE(pty.Send(Bytes({0x55, 0xEB, 0x01, 0x02, 0xEE, 0x66})));
    ASSERT_TRUE(WaitForPackages(1));
    EXPECT_EQ(Next(), Bytes({0x01, 0x02}));
    EXPECT_TRUE(WaitFor([&] { return !Notified().empty(); }));
    EXPECT_EQ(Notified().front(), EV_RXCHAR);
}

TEST_F(PackagePtyTest, SixteenthPackageIsLostUntilTheOwnerReads) {
    Start(cptFrameHeadTail);
    QByteArray frames;
    for (int i = 0; i < 16; ++i) frames += Encode(QByteArray(3, char('a' + i)), false);
    ASSERT_TRUE(pty.Send(frames));
    ASSERT_TRUE(WaitFor([&] { return comm.InQueue()->fGetCount() == 0; }));
    ASSERT_TRUE(WaitForPackages(15));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(package.InPackages().fGetCount(), 15);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(Next(), QByteArray(3, char('a' + i)));
    EXPECT_EQ(Next(), QByteArray());
}

TEST_F(PackagePtyTest, FramesGoOutOnePerTransmitEmptyEvent) {
    package.fSetDblFrameMark(true);
    Start(cptFrameHeadTail);
    const QByteArray data = Bytes({0x01, 0xEB, 0x02, 0xEC});
    for (int i = 0; i < 5; ++i) EXPECT_EQ(package.WritePackage(data.constData(), 4), 4);
    const QByteArray frame = Encode(data, true);
    EXPECT_EQ(pty.Receive(5 * frame.size(), 1000), frame.repeated(5));
    EXPECT_TRUE(WaitFor([&] {
        const std::vector<uint32_t> events = Notified();
        return !events.empty() && events.back() == EV_TXEMPTY;
    }));
    EXPECT_EQ(package.OutPackages().fGetCount(), 0);
}

TEST_F(PackagePtyTest, WritingMoreThanAPackageSendsItsFirstPackageSizeBytes) {
    Start(cptFrameTimeout);
    const QByteArray data = Pattern(5000);
    EXPECT_EQ(package.WritePackage(data.constData(), data.size()), 4096);
    EXPECT_EQ(pty.Receive(5000, 500), data.left(4096));
    EXPECT_EQ(package.WritePackage(data.constData(), 0), 0);
    EXPECT_EQ(package.WritePackage(nullptr, 5), 0);
}

TEST_F(PackagePtyTest, CompatiblePackagesMoveWholeRecords) {
    Start(cptCompatiblePkg);
    PackageBuffer record;
    record.Allocate(4096);
    record.SetLength(3);
    std::memcpy(record.Data(), "\x01\xEE\x02", 3);
    EXPECT_EQ(package.WritePackage(record.Record(), 0), 1);
    const QByteArray frame = Bytes({0xEB, 0x01, 0xEC, 0xEE, 0x02, 0xEE});
    EXPECT_EQ(pty.Receive(frame.size(), 1000), frame);

    ASSERT_TRUE(pty.Send(frame));
    ASSERT_TRUE(WaitForPackages(1));
    PackageBuffer got;
    got.Allocate(4096);
    EXPECT_EQ(package.ReadPackage(got.Record(), 0), 1);
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(got.Data()), got.Length()), "\x01\xEE\x02");
    EXPECT_EQ(package.ReadPackage(got.Record(), 0), 0);
}

TEST_F(PackagePtyTest, PurgesEmptyThePackageQueues) {
    Start(cptFrameHeadTail);
    ASSERT_TRUE(pty.Send(Encode("old", false)));
    ASSERT_TRUE(WaitForPackages(1));
    package.PurgeRead();
    EXPECT_EQ(package.InPackages().fGetCount(), 0);
    package.PurgeWrite();
    EXPECT_EQ(package.OutPackages().fGetCount(), 0);
    ASSERT_TRUE(pty.Send(Encode("new", false)));
    ASSERT_TRUE(WaitForPackages(1));
    EXPECT_EQ(Next(), "new");
}

// The sizes change under the threads' feet: the setters wait for them, and packages that
// arrive afterwards are whole.
TEST_F(PackagePtyTest, SizeChangesOnAnOpenPortAreSafe) {
    Start(cptFrameHeadTail);
    std::atomic<bool> sending{true};
    std::thread farEnd([&] {
        const QByteArray frame = Encode(Pattern(300), false);
        while (sending) {
            pty.Send(frame);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    for (int i = 0; i < 20; ++i) {
        package.fSetPkgSz(i % 2 ? 4096 : 100);
        package.fSetQSize(i % 2 ? 16 : 3);
        Next();
    }
    sending = false;
    farEnd.join();
    EXPECT_TRUE(package.fGetActive());
    EXPECT_EQ(package.fGetPkgSz(), 4096);
    package.PurgeRead();
    ASSERT_TRUE(pty.Send(Encode("whole", false)));
    ASSERT_TRUE(WaitForPackages(1));
    EXPECT_EQ(Next(), "whole");
}

// Queue elements are at least 32 bytes, more than the buffers of a small package hold; the
// whole element is copied in and out of them.
TEST_F(PackagePtyTest, SmallPackagesFitTheirQueueElements) {
    package.fSetPkgSz(8);
    Start(cptFrameHeadTail);
    ASSERT_TRUE(pty.Send(Encode("0123456789", false)));
    ASSERT_TRUE(WaitForPackages(1));
    EXPECT_EQ(Next(), "01234567");
    EXPECT_EQ(package.WritePackage("abcdefghij", 10), 8);
    EXPECT_EQ(pty.Receive(10, 1000), Encode("abcdefgh", false));
}

TEST_F(PackagePtyTest, TypeChangeDeactivatesAndReactivates) {
    Start(cptFrameTimeout);
    package.fSetPkgType(cptFrameHeadTail);
    EXPECT_TRUE(package.fGetActive());
    ASSERT_TRUE(pty.Send(Encode("x", false)));
    ASSERT_TRUE(WaitForPackages(1));
    EXPECT_EQ(Next(), "x");
}

TEST(PackageLifeTest, DestructionEndsTheTimerThreadAndGivesTheCallbackBack) {
    TQuillComm comm;
    int calls = 0;
    comm.OnCommNotify = [&](TQuillComm*, uint32_t) { ++calls; };
    const int before = ThreadCount();
    {
        TCommPackage package(&comm);
        EXPECT_EQ(ThreadCount(), before + 1);
        comm.CommNotify(EV_RING);
        EXPECT_EQ(calls, 1);
    }
    EXPECT_EQ(ThreadCount(), before);
    comm.CommNotify(EV_RING);
    EXPECT_EQ(calls, 2);
}

}  // namespace
