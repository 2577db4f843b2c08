#include "SerialPort.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "IniFile.h"
#include "OpenFailure.h"
#include "PtyPair.h"
#include "ScriptedPrompt.h"
#include "SystemError.h"

namespace {

using namespace std::chrono_literals;

constexpr unsigned kPort = 80;

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "SerialPort_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

class Owner : public QObject {
public:
    std::vector<int> messages;
    std::vector<unsigned> ports;

protected:
    void customEvent(QEvent* event) override {
        if (event->type() != SerialLineEvent::EventType())
            return;
        const auto* line = static_cast<SerialLineEvent*>(event);
        messages.push_back(line->Message());
        ports.push_back(line->PortNumber());
    }
};

// Remembers on which thread each box was shown.
class ThreadPrompt : public ScriptedPrompt {
public:
    std::vector<QThread*> threads;

    Answer Message(const QString& text, const QString& caption, Icon icon,
                   Buttons buttons) override {
        threads.push_back(QThread::currentThread());
        return ScriptedPrompt::Message(text, caption, icon, buttons);
    }
};

bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    const auto start = std::chrono::steady_clock::now();
    while (!done()) {
        if (MsSince(start) > timeoutMs)
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

QByteArray Collect(TSerialPort& port, qsizetype count, int timeoutMs = 5000) {
    QByteArray got;
    static uint8_t buffer[10000];
    const auto start = std::chrono::steady_clock::now();
    while (got.size() < count && MsSince(start) < timeoutMs) {
        const int n = port.ReadReceived(buffer, sizeof buffer);
        got.append(reinterpret_cast<const char*>(buffer), n);
        if (n == 0)
            std::this_thread::sleep_for(2ms);
    }
    return got;
}

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        ASSERT_FALSE(pty.SlavePath().isEmpty());
        EXPECT_TRUE(ini.WriteString("Ports", "COM80", pty.SlavePath()));
        EXPECT_TRUE(ini.WriteString("Ports", "COM81", dir.filePath("missing")));
    }

    bool Open(TSerialPort& port, uint32_t mask = EV_RXCHAR | EV_CTS, int sendBuffer = 65536) {
        return port.OpenPort(&owner, kPort, 921600, 'N', 8, 1, mask, sendBuffer);
    }

    // The monitor thread purges the line as it starts; a byte that comes through shows it is
    // past that point. A lone byte completes its 18-byte read after the 1000 ms interval.
    void Start(TSerialPort& port) {
        ASSERT_TRUE(port.StartMonitor());
        std::this_thread::sleep_for(50ms);
        for (int attempt = 0; attempt < 3; ++attempt) {
            ASSERT_TRUE(pty.Send("S"));
            if (Collect(port, 1, 2500) == "S")
                return;
        }
        FAIL() << "nothing came through the monitor thread";
    }

    // Leaves the monitor thread inside the synchronous notification of the event character:
    // nothing on this thread handles events until the test pumps them.
    void BlockInNotification(TSerialPort& port) {
        const QByteArray chunk = "q" + QByteArray(17, 'x');
        ASSERT_TRUE(pty.Send(chunk));
        ASSERT_EQ(Collect(port, chunk.size()), chunk);
        // After the stored chunk the drain finds the queue empty and notifies at once.
        std::this_thread::sleep_for(300ms);
        ASSERT_TRUE(owner.messages.empty());
    }

    bool PumpUntilNotified() {
        return PumpUntil([this] { return !owner.messages.empty(); });
    }

    QTemporaryDir dir;
    IniFile ini{dir.filePath("VYK-10.ini")};
    PtyPair pty;
    ThreadPrompt prompt;
    Owner owner;
};

TEST(ReceiveRingTest, HoldsTwoMillionBytesInOrderAndDropsTheSurplus) {
    ReceiveRing ring;
    ring.Allocate();
    const QByteArray data = Pattern(ReceiveRing::kCapacity + 18);
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    int stored = 0;
    while (stored < ReceiveRing::kCapacity) {
        stored += ring.Store(bytes + stored, TSerialPort::kChunkSize);
    }
    EXPECT_EQ(stored, ReceiveRing::kCapacity);
    EXPECT_EQ(ring.Store(bytes + stored, TSerialPort::kChunkSize), 0);

    QByteArray got(ReceiveRing::kCapacity + 1, 0);
    auto* out = reinterpret_cast<uint8_t*>(got.data());
    int read = 0;
    for (int n; (n = ring.Read(out + read, 10000)) > 0;) read += n;
    EXPECT_EQ(read, ReceiveRing::kCapacity);
    EXPECT_TRUE(got.left(read) == data.left(ReceiveRing::kCapacity));
}

TEST(ReceiveRingTest, TheSlotAtTheTopIndexIsUsedBeforeTheWrap) {
    ReceiveRing ring;
    ring.Allocate();
    std::vector<uint8_t> filler(ReceiveRing::kCapacity - 2, 7);
    ASSERT_EQ(ring.Store(filler.data(), int(filler.size())), ReceiveRing::kCapacity - 2);
    std::vector<uint8_t> sink(filler.size());
    ASSERT_EQ(ring.Read(sink.data(), int(sink.size())), int(sink.size()));

    // Write index 1,999,998: the next five bytes take 1,999,998, 1,999,999, 2,000,000, 0, 1.
    const uint8_t bytes[] = {1, 2, 3, 4, 5};
    EXPECT_EQ(ring.Store(bytes, 3), 3);
    EXPECT_EQ(ring.WriteIndex(), 0);
    EXPECT_EQ(ring.Store(bytes + 3, 2), 2);
    EXPECT_EQ(ring.WriteIndex(), 2);
    uint8_t got[8] = {};
    EXPECT_EQ(ring.Read(got, 2), 2);
    EXPECT_EQ(ring.ReadIndex(), ReceiveRing::kCapacity);
    EXPECT_EQ(ring.Read(got + 2, 8), 3);
    EXPECT_EQ(ring.ReadIndex(), 2);
    EXPECT_EQ(std::vector<uint8_t>(got, got + 5), std::vector<uint8_t>(bytes, bytes + 5));
}

TEST(ReceiveRingTest, EmptyOrMissingRingGivesNothingAtOnce) {
    ReceiveRing ring;
    uint8_t byte = 1, out[4];
    EXPECT_EQ(ring.Store(&byte, 1), 0);
    EXPECT_EQ(ring.Read(out, 4), 0);
    ring.Allocate();
    EXPECT_EQ(ring.Read(out, 4), 0);
    ScriptedPrompt prompt;
    TSerialPort port(prompt);
    EXPECT_EQ(port.ReadReceived(out, 4), 0);
    EXPECT_EQ(port.ReceivedTotal(), 0);
}

TEST_F(SerialPortTest, BytesArriveInOrderThroughReadReceived) {
    TSerialPort port(prompt, &ini);
    ASSERT_TRUE(Open(port));
    Start(port);
    const QByteArray data = Pattern(100000);
    std::thread writer([&] { pty.Send(data); });
    const QByteArray got = Collect(port, data.size());
    writer.join();
    EXPECT_TRUE(got == data) << got.size();
    EXPECT_EQ(port.ReceivedTotal(), 1 + data.size());
    port.ClosePort();
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(SerialPortTest, MissingDeviceOrBadArgumentsFailWithoutAMessage) {
    const struct {
        unsigned portnr;
        QObject* owner;
    } cases[] = {{81, &owner}, {0, &owner}, {100, &owner}, {kPort, nullptr}};
    for (const auto& c : cases) {
        TSerialPort port(prompt, &ini);
        EXPECT_FALSE(port.OpenPort(c.owner, c.portnr, 115200, 'N', 8, 1, 9, 65536)) << c.portnr;
        port.SendBytes(QByteArray("#X\r\n"));
    }
    // Nor through a port that was opened and closed again: the command is not kept for the
    // next open either.
    TSerialPort port(prompt, &ini);
    ASSERT_TRUE(Open(port));
    Start(port);
    port.ClosePort();
    port.SendBytes(QByteArray("#X\r\n"));
    ASSERT_TRUE(Open(port));
    Start(port);
    port.ClosePort();
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_TRUE(pty.Receive(1, 100).isEmpty());
}

TEST_F(SerialPortTest, AFailedOpenKeepsTheDeviceAndTheSystemsReason) {
    TSerialPort holder(prompt, &ini);
    ASSERT_TRUE(Open(holder));
    const struct {
        unsigned portnr;
        QString device;
        int error;
    } cases[] = {
        {81, dir.filePath("missing"), ENOENT},
        {82, "", ENODEV},  // no device mapped
        {kPort, pty.SlavePath(), EBUSY},
    };
    for (const auto& c : cases) {
        TSerialPort port(prompt, &ini);
        EXPECT_FALSE(port.OpenPort(&owner, c.portnr, 115200, 'N', 8, 1, 9, 65536)) << c.portnr;
        EXPECT_EQ(port.DevicePath(), c.device) << c.portnr;
        EXPECT_EQ(port.OpenError(), c.error) << c.portnr;
    }
    holder.ClosePort();
}

TEST(OpenFailedTextTest, TheSystemsReasonFollowsTheFixedText) {
    const struct {
        int error;
        const char* hint;  // nullptr: none
    } cases[] = {
        {ENOENT, nullptr},  {ENODEV, nullptr},           {EACCES, "dialout"},
        {EPERM, "dialout"}, {EBUSY, "已被其他程序占用"},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromStdString(
            OpenFailedText("/dev/ttyUSB0", c.error, OpenFailureStyle::Dialog));
        EXPECT_TRUE(
            text.startsWith("Open Serial Port Failed!\n/dev/ttyUSB0: " + SystemErrorText(c.error)))
            << text.toStdString();
        EXPECT_EQ(text.count('\n'), c.hint ? 2 : 1) << c.error;
        if (c.hint) {
            EXPECT_TRUE(text.contains(QString::fromUtf8(c.hint))) << text.toStdString();
        }
    }
}

TEST_F(SerialPortTest, RefusedSettingsWarnButTheOpenSucceeds) {
    const struct {
        int baud;
        char parity;
        int data;
        const char* operation;
    } cases[] = {
        {0, 'N', 8, "BuildCommDCB()"},
        {921600, 'X', 8, "BuildCommDCB()"},
        {115200, 'E', 8, "SetCommState()"},
        {115200, 'N', 7, "SetCommState()"},
    };
    for (const auto& c : cases) {
        ThreadPrompt shown;
        TSerialPort port(shown, &ini);
        ASSERT_TRUE(port.OpenPort(&owner, kPort, c.baud, c.parity, c.data, 1, 9, 65536));
        ASSERT_EQ(shown.messages.size(), 1u) << c.operation;
        EXPECT_EQ(shown.messages[0].text, QString("WARNING:  %1 Failed with the following error: "
                                                  "\n%2\nPort: 80\n")
                                              .arg(c.operation, SystemErrorText(EINVAL)));
        // The port stays usable with what was applied.
        Start(port);
        port.ClosePort();
    }
}

TEST_F(SerialPortTest, AHeldDeviceRefusesASecondOpener) {
    TSerialPort first(prompt, &ini), second(prompt, &ini), third(prompt, &ini);
    ASSERT_TRUE(Open(first));
    EXPECT_FALSE(Open(second));
    first.ClosePort();
    EXPECT_TRUE(Open(third));
    third.ClosePort();
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(SerialPortTest, ALaterSendBeforeTheWriteReplacesTheFirst) {
    TSerialPort port(prompt, &ini);
    ASSERT_TRUE(Open(port, EV_RXCHAR | EV_RXFLAG));
    Start(port);
    BlockInNotification(port);
    port.SendBytes(QByteArray("#A\r\n"));
    port.SendBytes(QByteArray("#BB\r\n"));
    ASSERT_TRUE(PumpUntilNotified());
    EXPECT_EQ(pty.Receive(5, 2000), "#BB\r\n");
    EXPECT_TRUE(pty.Receive(1, 200).isEmpty());
    EXPECT_EQ(owner.messages, std::vector<int>{SerialLineEvent::kRxFlagMessage});
    EXPECT_EQ(owner.ports, std::vector<unsigned>{kPort});
    port.ClosePort();
}

TEST_F(SerialPortTest, ASendDiscardsInputNotYetDrained) {
    TSerialPort port(prompt, &ini);
    ASSERT_TRUE(Open(port, EV_RXCHAR | EV_RXFLAG));
    Start(port);
    BlockInNotification(port);
    ASSERT_TRUE(pty.Send("LOST"));
    std::this_thread::sleep_for(100ms);
    port.SendBytes(QByteArray("#C\r\n"));
    ASSERT_TRUE(PumpUntilNotified());
    EXPECT_EQ(pty.Receive(4, 2000), "#C\r\n");
    ASSERT_TRUE(pty.Send("KEPT"));
    EXPECT_EQ(Collect(port, 4), "KEPT");
    EXPECT_TRUE(Collect(port, 1, 200).isEmpty());
    EXPECT_EQ(port.ReceivedTotal(), 1 + 18 + 4);
    port.ClosePort();
}

TEST_F(SerialPortTest, CloseAndDestructionReturnWhileTheMonitorSitsInANotification) {
    for (const bool close : {true, false}) {
        owner.messages.clear();
        auto port = std::make_unique<TSerialPort>(prompt, &ini);
        ASSERT_TRUE(Open(*port, EV_RXCHAR | EV_RXFLAG));
        Start(*port);
        BlockInNotification(*port);
        if (close)
            port->ClosePort();
        port.reset();
        EXPECT_EQ(owner.messages, std::vector<int>{SerialLineEvent::kRxFlagMessage}) << close;
    }
}

TEST_F(SerialPortTest, DrainUnderContinuousDataLetsASendThroughAndResumes) {
    TSerialPort port(prompt, &ini);
    ASSERT_TRUE(Open(port));
    Start(port);
    ASSERT_EQ(fcntl(pty.Master(), F_SETFL, fcntl(pty.Master(), F_GETFL) | O_NONBLOCK), 0);
    std::atomic<bool> streaming{true};
    std::thread writer([&] {
        const QByteArray block = Pattern(4096);
        while (streaming.load()) {
            pollfd entry{pty.Master(), POLLOUT, 0};
            if (poll(&entry, 1, 50) == 1) {
                [[maybe_unused]] const ssize_t put =
                    write(pty.Master(), block.data(), block.size());
            }
        }
    });
    std::this_thread::sleep_for(300ms);
    const auto sent = std::chrono::steady_clock::now();
    port.SendBytes(QByteArray("#S\r\n"));
    EXPECT_EQ(pty.Receive(4, 3000), "#S\r\n");
    EXPECT_LT(MsSince(sent), 2000);
    const int64_t before = port.ReceivedTotal();
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(port.ReceivedTotal(), before);
    streaming = false;
    writer.join();
    port.ClosePort();
    EXPECT_TRUE(prompt.messages.empty());
}

// One byte ahead of 18-byte bursts: every 18-byte read leaves a byte waiting, so only the time
// limit ends the drain. Its event character notification goes out once the drain has ended.
TEST_F(SerialPortTest, ADrainThatNeverEmptiesTheQueueEndsAfterHalfASecondAndResumes) {
    TSerialPort port(prompt, &ini);
    ASSERT_TRUE(Open(port, EV_RXCHAR | EV_RXFLAG));
    Start(port);
    QByteArray data = Pattern(1 + 18 * 150);
    data.replace('q', 'p');
    data[0] = 'q';
    std::atomic<bool> streaming{true};
    const auto start = std::chrono::steady_clock::now();
    std::thread writer([&] {
        pty.Send(data.left(19));
        for (qsizetype at = 19; at < data.size() && streaming.load(); at += 18) {
            std::this_thread::sleep_for(10ms);
            pty.Send(data.mid(at, 18));
        }
    });
    const bool notified = PumpUntilNotified();
    const int drainMs = MsSince(start);
    const QByteArray got = notified ? Collect(port, data.size(), 6000) : QByteArray();
    streaming = false;
    writer.join();
    ASSERT_TRUE(notified);
    EXPECT_GE(drainMs, 450);
    EXPECT_LE(drainMs, 1500);
    EXPECT_TRUE(got == data) << got.size();
    port.ClosePort();
}

// The 1000 ms read interval completes an 18-byte read of a lone byte; a mask without EV_RXCHAR
// leaves received bytes in the driver.
TEST_F(SerialPortTest, TheReadIntervalAndTheEventMaskShapeWhatReachesTheRing) {
    {
        TSerialPort port(prompt, &ini);
        ASSERT_TRUE(Open(port));
        Start(port);
        const auto sent = std::chrono::steady_clock::now();
        ASSERT_TRUE(pty.Send("A"));
        EXPECT_EQ(Collect(port, 1, 5000), "A");
        EXPECT_GE(MsSince(sent), 900);
        EXPECT_LE(MsSince(sent), 3000);
        port.ClosePort();
    }
    TSerialPort port(prompt, &ini);
    ASSERT_TRUE(Open(port, EV_CTS));
    ASSERT_TRUE(port.StartMonitor());
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(pty.Send(Pattern(40)));
    EXPECT_TRUE(Collect(port, 1, 1500).isEmpty());
    EXPECT_EQ(port.ReceivedTotal(), 0);
    port.ClosePort();
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(SerialPortTest, AFullRingDropsTheSurplusWhileReceivedTotalCountsIt) {
    TSerialPort port(prompt, &ini);
    ASSERT_TRUE(Open(port));
    Start(port);
    const QByteArray data = Pattern(ReceiveRing::kCapacity + 1000);
    std::thread writer([&] { pty.Send(data); });
    const int32_t expected = 1 + data.size();
    EXPECT_TRUE(PumpUntil([&] { return port.ReceivedTotal() == expected; }, 120000))
        << port.ReceivedTotal();
    writer.join();
    const QByteArray got = Collect(port, ReceiveRing::kCapacity + 1000, 1000);
    EXPECT_EQ(got.size(), ReceiveRing::kCapacity);
    EXPECT_TRUE(got == data.left(ReceiveRing::kCapacity));
    ASSERT_TRUE(pty.Send("Z"));
    EXPECT_EQ(Collect(port, 1), "Z");
    port.ClosePort();
}

TEST_F(SerialPortTest, SendIsCutToTheSendBuffer) {
    TSerialPort port(prompt, &ini);
    ASSERT_TRUE(Open(port, EV_RXCHAR, 16));
    Start(port);
    port.SendBytes(Pattern(40));
    EXPECT_EQ(pty.Receive(40, 1000), Pattern(16));
    port.ClosePort();
}

TEST_F(SerialPortTest, MonitorWarningsAreShownOnTheOwnersThread) {
    TSerialPort port(prompt, &ini);
    ASSERT_TRUE(Open(port));
    Start(port);
    pty.CloseMaster();
    ASSERT_TRUE(PumpUntil([this] { return !prompt.messages.empty(); }));
    EXPECT_TRUE(prompt.messages[0].text.startsWith("WARNING:  WaitCommEvent() Failed"));
    EXPECT_TRUE(prompt.messages[0].text.endsWith("\nPort: 80\n"));
    for (QThread* thread : prompt.threads) EXPECT_EQ(thread, QThread::currentThread());
    port.ClosePort();
    EXPECT_EQ(prompt.messages.size(), 1u);
}

// An unplugged adapter: data was streaming, reads and the line wait fail, a command is sent
// to the dead line; one warning in all, and the port says the device is lost.
TEST_F(SerialPortTest, AnUnpluggedDeviceWarnsOnceAndIsReportedLost) {
    TSerialPort port(prompt, &ini);
    ASSERT_TRUE(Open(port));
    Start(port);
    EXPECT_FALSE(port.DeviceLost());
    ASSERT_TRUE(pty.Send(Pattern(5000)));
    pty.CloseMaster();
    ASSERT_TRUE(PumpUntil([&] { return port.DeviceLost(); }));
    port.SendBytes(QByteArray("#SF 7\r\n"));
    PumpUntil([] { return false; }, 300);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_TRUE(prompt.messages[0].text.startsWith("WARNING:  ")) << "the warning text stays";
    port.ClosePort();
    EXPECT_EQ(prompt.messages.size(), 1u);
}

// Closing waited on a warning box that came up after the window was gone.
TEST_F(SerialPortTest, AWarningStillWaitingWhenClosingBeginsIsNeverShown) {
    for (const bool closedByOwner : {false, true}) {
        PtyPair line;
        EXPECT_TRUE(ini.WriteString("Ports", "COM80", line.SlavePath()));
        TSerialPort port(prompt, &ini);
        ASSERT_TRUE(Open(port));
        ASSERT_TRUE(port.StartMonitor());
        std::this_thread::sleep_for(50ms);
        // The hang-up's warning is handed to this thread, which does not look until it closes.
        line.CloseMaster();
        std::this_thread::sleep_for(300ms);
        if (closedByOwner) {
            port.SilenceWarnings();
            PumpUntil([] { return false; }, 100);
        }
        port.ClosePort();
        EXPECT_TRUE(prompt.messages.empty()) << closedByOwner;
    }
}

}  // namespace
