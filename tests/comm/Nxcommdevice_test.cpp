#include "Nxcommdevice.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <vector>

#include "CommTestSupport.h"
#include "IniFile.h"
#include "PtyPair.h"
#include "WidgetTestMain.h"

using namespace QuillComm;

namespace {

// Lets queued notifications run until done() holds or timeoutMs passed.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 2000) {
    return WaitFor(
        [&] {
            QCoreApplication::processEvents();
            return done();
        },
        timeoutMs);
}

TEST(PortInfoTest, PortNumbersOfNames) {
    const struct {
        const char* name;
        int number;
    } cases[] = {{"COM12", 12}, {"com3", 3},  {"COM", 0},   {"COM1A", 0}, {"LPT1", 0},
                 {"", 0},       {"COM 4", 4}, {"COM-1", 0}, {"COM4 ", 0}, {"COM99999999999", 0}};
    for (const auto& c : cases) EXPECT_EQ(TCommSerialPortInfo::PortNo(c.name), c.number) << c.name;
    EXPECT_EQ(TCommSerialPortInfo::PortName(5), "COM5");
    EXPECT_EQ(TCommSerialPortInfo::PortName(0), "");
    EXPECT_EQ(TCommSerialPortInfo::PortName(-2), "");
}

TEST(PortInfoTest, NumberedNamesFirstThenOthersByText) {
    QStringList list = {"COM10", "COM2", "CNCA0", "COM1"};
    TCommSerialPortInfo::SortPortList(&list);
    EXPECT_EQ(list, QStringList({"COM1", "COM2", "COM10", "CNCA0"}));
    list = {"ttyX", "COM3", "CNCB0", "COM", "COM1"};
    TCommSerialPortInfo::SortPortList(&list);
    EXPECT_EQ(list, QStringList({"COM1", "COM3", "CNCB0", "COM", "ttyX"}));
}

TEST(PortInfoTest, ListsThePortsPresentOnTheMachine) {
    PtyPair pty;
    QTemporaryDir dir;
    IniFile ini(dir.filePath("ports.ini"));
    EXPECT_TRUE(ini.WriteString("Ports", "COM70", pty.SlavePath()));
    EXPECT_TRUE(ini.WriteString("Ports", "COM69", "/dev/no-such-serial-device"));
    TCommSerialPortInfo info(&ini);
    EXPECT_TRUE(info.PortList.contains("COM70"));
    EXPECT_FALSE(info.PortList.contains("COM69"));
    QStringList sorted = info.PortList;
    TCommSerialPortInfo::SortPortList(&sorted);
    EXPECT_EQ(info.PortList, sorted);
    EXPECT_EQ(info.ListFromSystem(), 0);
}

TEST(CommDeviceTest, PropertiesHaveTheirDefaults) {
    TNxCommDevice device;
    EXPECT_EQ(device.PortNo(), 2);
    EXPECT_EQ(device.PortName(), "COM2");
    EXPECT_EQ(device.Baud(), br115200);
    EXPECT_EQ(device.Parity(), ptNoParity);
    EXPECT_EQ(device.ByteSize(), 8);
    EXPECT_EQ(device.StopBits(), sbOneStopBit);
    EXPECT_EQ(device.FlowControl(), fcNone);
    EXPECT_EQ(device.AutoAnswer(), 0);
    EXPECT_TRUE(device.SyncEvents());
    EXPECT_FALSE(device.DataOnly());
    EXPECT_EQ(device.InBufSize(), 8192);
    EXPECT_EQ(device.OutBufSize(), 8192);
    EXPECT_EQ(device.HwInSize(), 1200);
    EXPECT_EQ(device.HwOutSize(), 1200);
    EXPECT_EQ(device.QueueSize(), 16);
    EXPECT_EQ(device.PackageSize(), 4096);
    EXPECT_EQ(device.PackageType(), cptFrameTimeout);
    EXPECT_EQ(device.PackageInterval(), 50);
    EXPECT_FALSE(device.UsePackage());
    EXPECT_FALSE(device.fGetActive());
    EXPECT_EQ(device.FrameSettings()->FrameHead(), 235);
    EXPECT_EQ(device.FrameSettings()->FrameTail(), 238);
    EXPECT_EQ(device.FrameSettings()->FrameCtrl(), 236);
    EXPECT_FALSE(device.FrameSettings()->DoubleFrameMark());
}

TEST(CommDeviceTest, EnumerationsMapToThePortAndBack) {
    TNxCommDevice device;
    device.SetBaud(br9600);
    EXPECT_EQ(device.Comm()->fGetBaud(), 9600);
    EXPECT_EQ(device.Baud(), br9600);
    device.SetBaud(99);
    EXPECT_EQ(device.Comm()->fGetBaud(), 115200);
    device.Comm()->fSetBaud(250000);
    EXPECT_EQ(device.Baud(), br115200);
    device.SetBaud(br256000);
    EXPECT_EQ(device.Comm()->fGetBaud(), 256000);

    const struct {
        int set;
        int code;
        TFlowControl back;
    } flows[] = {{fcNone, 0, fcNone},
                 {fcRtsCts, 3, fcRtsCts},
                 {fcXonXoff, 4, fcXonXoff},
                 {fcTranXonXoff, 5, fcXonXoff},
                 {fcRtsCtsXonXoff, 6, fcRtsCtsXonXoff},
                 {9, 0, fcNone}};
    for (const auto& f : flows) {
        device.SetFlowControl(f.set);
        EXPECT_EQ(device.Comm()->fGetFCtrl(), f.code == 5 ? 4 : f.code) << f.set;
        EXPECT_EQ(device.FlowControl(), f.back) << f.set;
    }

    device.SetParity(ptMarkParity);
    EXPECT_EQ(device.Comm()->fGetParity(), 3);
    device.SetParity(7);
    EXPECT_EQ(device.Parity(), ptNoParity);
    device.SetStopBits(sbTwoStopBit);
    EXPECT_EQ(device.StopBits(), sbTwoStopBit);
    device.SetStopBits(-1);
    EXPECT_EQ(device.StopBits(), sbOneStopBit);
    device.SetByteSize(300);
    EXPECT_EQ(device.ByteSize(), 255);
    device.SetByteSize(-4);
    EXPECT_EQ(device.ByteSize(), 0);
    device.SetAutoAnswer(256);
    EXPECT_EQ(device.AutoAnswer(), 255);
    device.SetAutoAnswer(-1);
    EXPECT_EQ(device.AutoAnswer(), 0);
}

TEST(CommDeviceTest, FrameSettingsCopyTheMarksOnly) {
    TNxCommDevice source;
    source.FrameSettings()->SetFrameHead(1);
    source.FrameSettings()->SetFrameTail(2);
    source.FrameSettings()->SetFrameCtrl(3);
    source.FrameSettings()->SetDoubleFrameMark(true);
    TNxCommDevice device;
    device.fSetFrameSettings(*source.FrameSettings());
    EXPECT_EQ(device.Package()->fGetFrameHead(), 1);
    EXPECT_EQ(device.Package()->fGetFrameTail(), 2);
    EXPECT_EQ(device.Package()->fGetFrameCtrl(), 3);
    EXPECT_FALSE(device.FrameSettings()->DoubleFrameMark());
}

class CommDevicePtyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(pty.SlavePath().isEmpty());
        device.SetPortName(pty.SlavePath());
    }

    QByteArray Read() {
        QByteArray got(8192, Qt::Uninitialized);
        got.resize(device.Read(got.data(), got.size()));
        return got;
    }

    PtyPair pty;
    TNxCommDevice device;
};

TEST_F(CommDevicePtyTest, ActiveWithPackagesNeedsBothLayers) {
    device.fSetUsePackage(true);
    EXPECT_FALSE(device.fGetActive());
    device.fSetActive(true);
    EXPECT_TRUE(device.Comm()->fGetActive());
    EXPECT_TRUE(device.Package()->fGetActive());
    EXPECT_TRUE(device.fGetActive());
    // Read returns one package per call.
    ASSERT_TRUE(pty.Send("abc"));
    ASSERT_TRUE(WaitFor([&] { return device.Package()->InPackages().fGetCount() == 1; }));
    ASSERT_TRUE(pty.Send("de"));
    ASSERT_TRUE(WaitFor([&] { return device.Package()->InPackages().fGetCount() == 2; }));
    EXPECT_EQ(Read(), "abc");
    EXPECT_EQ(Read(), "de");
    EXPECT_EQ(device.Write("xyz", 3), 3);
    EXPECT_EQ(pty.Receive(3, 1000), "xyz");

    // Turning packages off keeps the port open and ends packaging.
    device.fSetUsePackage(false);
    EXPECT_TRUE(device.fGetActive());
    EXPECT_FALSE(device.Package()->fGetActive());
    ASSERT_TRUE(pty.Send("raw"));
    QByteArray got;
    EXPECT_TRUE(WaitFor([&] { return (got += Read()) == "raw"; }));
    // A package layer switched off by hand makes the device inactive, and turning packages
    // off then keeps that state: the port closes.
    device.fSetUsePackage(true);
    device.Package()->fSetActive(false);
    EXPECT_FALSE(device.fGetActive());
    device.fSetUsePackage(false);
    EXPECT_FALSE(device.Comm()->fGetActive());
}

TEST_F(CommDevicePtyTest, OnPackageRunsOnTheGuiThread) {
    device.fSetUsePackage(true);
    std::vector<uint32_t> events;
    std::atomic<bool> elsewhere{false};
    device.OnPackage = [&](TNxCustomCommDevice* sender, uint32_t bits) {
        EXPECT_EQ(sender, &device);
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            elsewhere = true;
        events.push_back(bits);
    };
    device.fSetActive(true);
    ASSERT_TRUE(pty.Send("ten bytes!"));
    ASSERT_TRUE(PumpUntil([&] { return !events.empty(); }));
    EXPECT_FALSE(elsewhere);
    EXPECT_EQ(events, std::vector<uint32_t>{EV_RXCHAR});

    // Without SyncEvents the handler runs where the package was completed. Handlers that
    // threads call are changed while the device is closed.
    device.fSetActive(false);
    device.SetSyncEvents(false);
    std::atomic<bool> onTimerThread{false};
    device.OnPackage = [&](TNxCustomCommDevice*, uint32_t) {
        onTimerThread = QThread::currentThread() != QCoreApplication::instance()->thread();
    };
    device.fSetActive(true);
    ASSERT_TRUE(pty.Send("more"));
    EXPECT_TRUE(WaitFor([&] { return onTimerThread.load(); }));
    device.fSetActive(false);
}

TEST_F(CommDevicePtyTest, PortEventsArriveInOrderOnTheGuiThread) {
    std::vector<uint32_t> events;
    std::vector<std::string> calls;
    device.OnCommNotify = [&](TNxCustomCommDevice*, uint32_t bits) { events.push_back(bits); };
    device.AfterOpen = [&](TNxCustomCommDevice* sender) {
        EXPECT_EQ(sender, &device);
        calls.push_back("after open");
    };
    device.BeforeClose = [&](TNxCustomCommDevice*) { calls.push_back("before close"); };
    device.fSetActive(true);
    EXPECT_EQ(calls, std::vector<std::string>{"after open"});
    EXPECT_TRUE(events.empty());  // posted, not yet delivered
    ASSERT_TRUE(pty.Send("x"));
    ASSERT_TRUE(PumpUntil([&] { return events.size() >= 2; }));
    device.fSetActive(false);
    ASSERT_TRUE(PumpUntil([&] { return events.size() >= 3; }));
    EXPECT_EQ(events.front(), kLineEvents);
    EXPECT_EQ(events[1], EV_RXCHAR);
    EXPECT_EQ(events.back(), kLineEvents);
    EXPECT_EQ(calls, (std::vector<std::string>{"after open", "before close"}));
}

// A vanished port told nobody; with packages used, both events reach the owner on its thread.
TEST_F(CommDevicePtyTest, AHungUpPortReachesTheOwnerAsAnErrorEvent) {
    device.fSetUsePackage(true);
    uint32_t port = 0;
    uint32_t package = 0;
    device.OnCommNotify = [&](TNxCustomCommDevice*, uint32_t bits) { port |= bits; };
    device.OnPackage = [&](TNxCustomCommDevice*, uint32_t bits) { package |= bits; };
    device.fSetActive(true);
    pty.CloseMaster();
    ASSERT_TRUE(PumpUntil([&] { return (port & EV_ERR) && (package & EV_ERR); }));
    EXPECT_EQ(device.Comm()->fGetFailure(), EIO);
    EXPECT_TRUE(device.fGetActive()) << "the owner closes it";
    device.fSetActive(false);
}

// A close whose thread overran the wait threw before the package layer was switched off, so
// the next open read the old port's packages.
TEST_F(CommDevicePtyTest, AFailedCloseStillEndsThePackages) {
    device.fSetUsePackage(true);
    device.SetSyncEvents(false);
    std::atomic<bool> block{false};
    std::atomic<bool> blocking{false};
    device.OnCommNotify = [&](TNxCustomCommDevice*, uint32_t bits) {
        if (block && (bits & EV_RXCHAR)) {
            blocking = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(900));
        }
    };
    device.fSetActive(true);
    ASSERT_TRUE(pty.Send("old"));
    ASSERT_TRUE(WaitFor([&] { return device.Package()->InPackages().fGetCount() == 1; }));
    block = true;
    ASSERT_TRUE(pty.Send("x"));
    ASSERT_TRUE(WaitFor([&] { return blocking.load(); }));
    EXPECT_THROW(device.fSetActive(false), EQuillCommError);
    EXPECT_FALSE(device.Package()->fGetActive());
    EXPECT_FALSE(device.fGetActive());

    block = false;
    device.fSetActive(true);
    char package[16];
    for (int n; (n = device.ReadPackage(package, sizeof package)) > 0;)
        EXPECT_NE(QByteArray(package, n), "old");
    device.fSetActive(false);
}

TEST_F(CommDevicePtyTest, AHandlerMayDeleteTheDeviceWhileMoreNotificationsWait) {
    QPointer<TNxCommDevice> doomed = new TNxCommDevice;
    doomed->SetPortName(pty.SlavePath());
    int delivered = 0;
    doomed->OnCommNotify = [&](TNxCustomCommDevice* sender, uint32_t) {
        ++delivered;
        delete sender;
    };
    doomed->fSetActive(true);
    // The opening's line events and those of the bytes queue up before the first is delivered.
    ASSERT_TRUE(pty.Send("x"));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(PumpUntil([&] { return doomed.isNull(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(delivered, 1);
}

TEST_F(CommDevicePtyTest, ByteRoutingAndRefusals) {
    device.fSetActive(true);
    EXPECT_FALSE(device.SetInBufSize(100));
    EXPECT_EQ(device.InBufSize(), 8192);
    EXPECT_EQ(device.Write("ab", 2), 2);
    EXPECT_EQ(device.Command("AT\r"), 3);
    EXPECT_EQ(pty.Receive(5, 1000), "abAT\r");
    // Package calls answer 0 while the package layer is off.
    char buffer[8];
    EXPECT_EQ(device.ReadPackage(buffer, 8), 0);
    EXPECT_FALSE(device.ReadPackage(buffer));
    EXPECT_EQ(device.WritePackage("ab", 2), 0);
    EXPECT_EQ(device.fGetModemStatus(), 0u);
}

TEST_F(CommDevicePtyTest, AMissingPortLetsTheErrorThrough) {
    LocaleScope locale("C");
    device.SetPortName("COM96");
    device.fSetUsePackage(true);
    try {
        device.fSetActive(true);
        ADD_FAILURE() << "opened COM96";
    } catch (const EQuillCommError& error) {
        EXPECT_EQ(error.Code(), 4);
        EXPECT_EQ(error.Message(), "Serial port: \"COM96\" - Cannot open COM port");
    }
    EXPECT_FALSE(device.Package()->fGetActive());
}

TEST_F(CommDevicePtyTest, DestructionWhileOpenLeavesNothingRunning) {
    const int before = ThreadCount();
    int delivered = 0;
    {
        TNxCommDevice open;
        open.SetPortName(pty.SlavePath());
        open.fSetUsePackage(true);
        open.OnCommNotify = [&](TNxCustomCommDevice*, uint32_t) { ++delivered; };
        open.fSetActive(true);
        EXPECT_EQ(ThreadCount(), before + 3);
        pty.Send("pending");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(ThreadCount(), before);
    // What was posted for the destroyed device is dropped with it.
    QCoreApplication::processEvents();
    EXPECT_EQ(delivered, 0);
}

}  // namespace
