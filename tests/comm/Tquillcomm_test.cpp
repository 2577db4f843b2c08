#include "Tquillcomm.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "CommTestSupport.h"
#include "PtyPair.h"

using namespace QuillComm;

namespace {

QByteArray TakeAll(TCommQueue& queue) {
    QByteArray bytes(queue.fGetCount(), Qt::Uninitialized);
    bytes.resize(queue.Out(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size()));
    return bytes;
}

int In(TCommQueue& queue, const QByteArray& bytes) {
    return queue.In(reinterpret_cast<const uint8_t*>(bytes.constData()), bytes.size());
}

TEST(CommQueueTest, HoldsOneByteLessThanItsCapacity) {
    TCommQueue queue(TQuillComm::kQueueSize);
    const QByteArray bytes = Pattern(10000);
    EXPECT_EQ(In(queue, bytes), 8191);
    EXPECT_EQ(queue.fGetCount(), 8191);
    EXPECT_EQ(queue.fGetRemain(), 0);
    EXPECT_EQ(queue.In(uint8_t(1)), 0);
    EXPECT_EQ(TakeAll(queue), bytes.left(8191));
    uint8_t byte = 0;
    EXPECT_EQ(queue.Out(&byte), 0);
}

TEST(CommQueueTest, CopiesAcrossTheEndOfTheBuffer) {
    TCommQueue queue(TQuillComm::kQueueSize);
    ASSERT_EQ(In(queue, Pattern(8142)), 8142);
    ASSERT_EQ(TakeAll(queue).size(), 8142);
    // The write index now sits 50 bytes before the end: 50 go there, 50 to the start.
    const QByteArray bytes = Pattern(100, 7);
    EXPECT_EQ(In(queue, bytes), 100);
    EXPECT_EQ(queue.fGetCount(), 100);
    EXPECT_EQ(queue.fGetRemain(), 8091);
    QByteArray got(100, Qt::Uninitialized);
    EXPECT_EQ(queue.Out(reinterpret_cast<uint8_t*>(got.data()), 30), 30);
    EXPECT_EQ(queue.Out(reinterpret_cast<uint8_t*>(got.data()) + 30, 1000), 70);
    EXPECT_EQ(got, bytes);
}

TEST(CommQueueTest, InvalidQueueAndEmptyArgumentsMoveNothing) {
    TCommQueue queue(0);
    EXPECT_FALSE(queue.fIsValid());
    EXPECT_EQ(In(queue, "abc"), 0);
    EXPECT_EQ(queue.fGetCount(), 0);
    uint8_t byte = 0;
    EXPECT_EQ(queue.Out(&byte, 1), 0);

    queue.fSetBufSize(16);
    EXPECT_TRUE(queue.fIsValid());
    EXPECT_EQ(queue.In(nullptr, 5), 0);
    EXPECT_EQ(queue.In(&byte, 0), 0);
    EXPECT_EQ(queue.In(&byte, -3), 0);
    ASSERT_EQ(In(queue, "abc"), 3);
    queue.fSetBufSize(32);
    EXPECT_EQ(queue.fGetCount(), 0);
    EXPECT_EQ(queue.fGetBufSize(), 32);
}

struct MessageCase {
    int code;
    const char* english;
    const char* simplified;
    const char* traditional;
};

constexpr MessageCase kMessages[] = {
    {1, "Out of memory", "内存不够", "記憶體不夠"},
    {2, "Cannot initialize read buffer", "不能初始化读缓存", "不能初始化讀緩存"},
    {3, "Cannot initialize write buffer", "不能初始化写缓存", "不能初始化寫緩存"},
    {4, "Cannot open COM port", "不能打开串行口", "不能打開序列埠"},
    {5, "Cannot set comm-mask", "不能设置串行口事件MASK", "不能設置序列埠事件MASK"},
    {6, "Cannot set COM port buffer size", "不能设置串行口缓存", "不能設置序列埠緩存"},
    {7, "Cannot read COM port parameters", "不能得到串行口参数", "不能得到序列埠參數"},
    {8, "Cannot set COM port parameters", "不能设置串行口参数", "不能設置序列埠參數"},
    {9, "Cannot create COM port asynchronize read event", "不能创建串行口异步读事件",
     "不能創建序列埠非同步讀事件"},
    {10, "Cannot create COM port asynchronize write event", "不能创建串行口异步写事件",
     "不能創建序列埠非同步寫事件"},
    {11, "Cannot create COM port read thread", "不能创建串行口读线程", "不能創建序列埠讀執行緒"},
    {12, "Cannot create COM port write thread", "不能创建串行口写线程", "不能創建序列埠寫執行緒"},
    {13, "Cannot close COM port read thread", "不能关闭串行口读线程", "不能關閉序列埠讀執行緒"},
    {14, "Cannot close COM port write thread", "不能关闭串行口写线程", "不能關閉序列埠寫執行緒"},
    {0, "Unknown error", "未知错误", "未知錯誤"},
    {15, "Unknown error", "未知错误", "未知錯誤"},
};

TEST(QuillCommErrorTest, EveryMessageInTheThreeLanguages) {
    struct Language {
        const char* locale;
        const char* prefix;
        const char* MessageCase::*text;
    } languages[] = {
        {"en_US.UTF-8", "Serial port: \"COM3\" - ", &MessageCase::english},
        {"zh_CN.UTF-8", "串行口:“COM3”- ", &MessageCase::simplified},
        {"zh_TW.UTF-8", "序列埠:『COM3』- ", &MessageCase::traditional},
        {"zh_HK", "序列埠:『COM3』- ", &MessageCase::traditional},
    };
    for (const Language& language : languages) {
        LocaleScope locale(language.locale);
        for (const MessageCase& c : kMessages) {
            SCOPED_TRACE(std::string(language.locale) + " code " + std::to_string(c.code));
            const QString text = QString::fromUtf8(c.*language.text);
            const EQuillCommError withPort(c.code, "COM3");
            EXPECT_EQ(withPort.Message(), QString::fromUtf8(language.prefix) + text);
            EXPECT_EQ(withPort.Code(), c.code);
            EXPECT_EQ(withPort.PortName(), "COM3");
            EXPECT_EQ(EQuillCommError(c.code).Message(), text);
        }
    }
}

TEST(QuillCommErrorTest, LanguageFollowsItsLocaleIdentifier) {
    LocaleScope locale("zh_CN.UTF-8");
    TQuillCommLanguage language;
    EXPECT_EQ(language.fGetLcId(), 2052u);
    language.fSetLcId(1041);
    EXPECT_EQ(language.ErrorText(4), "Cannot open COM port");
    language.fSetLcId(1028);
    EXPECT_EQ(language.Fallback(), QString::fromUtf8("未知錯誤"));
}

TEST(QuillCommTest, DefaultsAsConstructed) {
    TQuillComm comm;
    EXPECT_FALSE(comm.fGetActive());
    EXPECT_EQ(comm.fGetPort(), 2);
    EXPECT_EQ(comm.fGetPortName(), "COM2");
    EXPECT_EQ(comm.fGetBaud(), 115200);
    EXPECT_EQ(comm.fGetByteSize(), 8);
    EXPECT_EQ(comm.fGetParity(), 0);
    EXPECT_EQ(comm.fGetStopBits(), 0);
    EXPECT_EQ(comm.fGetFCtrl(), 0);
    EXPECT_EQ(comm.fGetInBufSize(), 8192);
    EXPECT_EQ(comm.fGetOutBufSize(), 8192);
    EXPECT_EQ(comm.fGetHwInSize(), 1200);
    EXPECT_EQ(comm.fGetHwOutSize(), 1200);
    EXPECT_FALSE(comm.fGetDTR());
    EXPECT_EQ(comm.fGetHandle(), -1);
    const DeviceControl& dcb = comm.LineSettings();
    EXPECT_EQ(dcb.fDtrControl, DTR_CONTROL_ENABLE);
    EXPECT_EQ(dcb.fRtsControl, RTS_CONTROL_ENABLE);
    EXPECT_EQ(dcb.XonLim, 2048);
    EXPECT_EQ(dcb.XoffLim, 512);
    EXPECT_EQ(dcb.XonChar, 0x11);
    EXPECT_EQ(dcb.XoffChar, 0x13);
}

TEST(QuillCommTest, PortNameSetsNumberAndName) {
    struct {
        const char* name;
        int number;
        const char* stored;
    } cases[] = {
        {"COM12", 12, "COM12"}, {"com3", 3, "COM3"},
        {"COM", 0, "COM"},      {"COM1A", 0, "COM1A"},
        {"LPT1", 0, "LPT1"},    {"COM 7", 7, "COM7"},
        {"COM-2", 0, "COM-2"},  {"/dev/pts/9", 0, "/dev/pts/9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TQuillComm comm;
        comm.fSetPortName(c.name);
        EXPECT_EQ(comm.fGetPort(), c.number);
        EXPECT_EQ(comm.fGetPortName(), c.stored);
    }
    TQuillComm comm;
    comm.fSetPortName("");
    EXPECT_EQ(comm.fGetPortName(), "COM2");
    comm.fSetPort(0);
    EXPECT_EQ(comm.fGetPortName(), "COM2");
    comm.fSetPort(9);
    EXPECT_EQ(comm.fGetPortName(), "COM9");
}

TEST(QuillCommTest, PortNamesLeadToDevices) {
    TQuillComm comm;
    comm.fSetPort(1);
    EXPECT_EQ(comm.DevicePath(), "/dev/ttyS0");
    comm.fSetPortName("ttyUSB3");
    EXPECT_EQ(comm.DevicePath(), "/dev/ttyUSB3");
    comm.fSetPortName("/dev/pts/4");
    EXPECT_EQ(comm.DevicePath(), "/dev/pts/4");
}

TEST(QuillCommTest, FlowControlReadsBackByItsSettings) {
    const int cases[][2] = {{0, 0}, {3, 3}, {4, 4}, {5, 4}, {6, 6}, {1, 0}, {2, 0}, {7, 0}};
    for (const auto& c : cases) {
        TQuillComm comm;
        comm.fSetFCtrl(c[0]);
        EXPECT_EQ(comm.fGetFCtrl(), c[1]) << "code " << c[0];
        EXPECT_EQ(comm.LineSettings().fInX, c[1] == 4 || c[1] == 6);
        EXPECT_EQ(comm.LineSettings().fRtsControl,
                  c[1] == 3 || c[1] == 6 ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE);
    }
}

TEST(QuillCommTest, ModemCommandsAndDisableWrite) {
    TQuillComm comm;
    comm.fSetFCtrl(3);
    comm.fSetAAns(2);
    EXPECT_EQ(comm.InitModem(), 12);
    EXPECT_EQ(TakeAll(*comm.OutQueue()), "ATE0&K3S0=2\r");
    comm.fSetDisableWrite(true);
    EXPECT_EQ(comm.Write("abc", 3), 0);
    EXPECT_EQ(comm.OutQueue()->fGetCount(), 0);
    EXPECT_EQ(comm.ResetModem(), 4);
    EXPECT_EQ(comm.Command("AT\r"), 3);
    EXPECT_EQ(TakeAll(*comm.OutQueue()), "ATZ\rAT\r");
    comm.fSetDisableWrite(false);
    EXPECT_EQ(comm.Write("abc", 3), 3);
}

TEST(QuillCommTest, LineStatesWhileClosed) {
    TQuillComm comm;
    comm.fSetDTR(false);
    EXPECT_FALSE(comm.fGetDTR());
    EXPECT_FALSE(comm.EscapeCommFunction(5));
    EXPECT_FALSE(comm.fGetCTS());
    EXPECT_EQ(comm.fGetModemStatus(), 0u);
}

// A port opened on a pseudo-terminal, with the notifications it sent.
class QuillCommPtyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(pty.SlavePath().isEmpty());
        comm.fSetPortName(pty.SlavePath());
        comm.OnCommNotify = [this](TQuillComm* sender, uint32_t events) {
            EXPECT_EQ(sender, &comm);
            std::lock_guard<std::mutex> hold(lock);
            notified.push_back(events);
        };
    }

    bool Notified(uint32_t bits) {
        std::lock_guard<std::mutex> hold(lock);
        for (uint32_t events : notified) {
            if (events & bits)
                return true;
        }
        return false;
    }

    QByteArray ReadFor(int count) {
        QByteArray got;
        WaitFor([&] {
            char buffer[4096];
            got.append(buffer, comm.Read(buffer, sizeof buffer));
            return got.size() >= count;
        });
        return got;
    }

    PtyPair pty;
    std::mutex lock;
    std::vector<uint32_t> notified;
    TQuillComm comm;
};

TEST_F(QuillCommPtyTest, OpenRunsTwoThreadsAndCloseEndsThem) {
    const int before = ThreadCount();
    std::vector<std::string> calls;
    comm.AfterOpen = [&](TQuillComm*) { calls.push_back("after open"); };
    comm.BeforeClose = [&](TQuillComm*) { calls.push_back("before close"); };
    comm.fSetActive(true);
    EXPECT_TRUE(comm.fGetActive());
    EXPECT_EQ(ThreadCount(), before + 2);
    EXPECT_GE(comm.fGetHandle(), 0);
    {
        std::lock_guard<std::mutex> hold(lock);
        ASSERT_FALSE(notified.empty());
        EXPECT_EQ(notified.front(), kLineEvents);
    }
    comm.Open();  // already open: nothing happens
    EXPECT_EQ(ThreadCount(), before + 2);
    comm.fSetActive(false);
    EXPECT_FALSE(comm.fGetActive());
    EXPECT_EQ(ThreadCount(), before);
    EXPECT_EQ(comm.fGetHandle(), -1);
    EXPECT_EQ(notified.back(), kLineEvents);
    EXPECT_EQ(calls, (std::vector<std::string>{"after open", "before close"}));
    comm.Close();
    EXPECT_EQ(calls.size(), 2u);
}

TEST_F(QuillCommPtyTest, BytesTravelBothWaysThroughTheQueues) {
    comm.Open();
    // More than a queue holds, taken out while it arrives.
    for (int part = 0; part < 5; ++part) {
        const QByteArray bytes = Pattern(4000, part);
        ASSERT_TRUE(pty.Send(bytes));
        EXPECT_EQ(ReadFor(bytes.size()), bytes);
    }
    EXPECT_TRUE(Notified(EV_RXCHAR));

    const QByteArray out = Pattern(20000, 3);
    QByteArray received;
    for (qsizetype sent = 0; sent < out.size();) {
        sent += comm.Write(out.constData() + sent, int(out.size() - sent));
        received += pty.Receive(1, 50);
    }
    received += pty.Receive(out.size() - received.size(), 1000);
    EXPECT_EQ(received, out);
    EXPECT_TRUE(WaitFor([&] { return Notified(EV_TXEMPTY); }));
}

// The count tells what the device took, not what was queued: a far end that stops reading
// stops it while the rest waits in the output queue.
TEST_F(QuillCommPtyTest, CountsTheBytesTheDeviceTook) {
    comm.Open();
    const uint64_t before = comm.fGetBytesWritten();
    ASSERT_EQ(comm.Write(Pattern(6000).constData(), 6000), 6000);
    EXPECT_TRUE(WaitFor([&] { return comm.fGetBytesWritten() == before + 6000; }));
    EXPECT_EQ(pty.Receive(6000, 1000).size(), 6000);

    const QByteArray more = Pattern(4000, 1);
    // Topped up until the count has stood still for a while with bytes waiting.
    uint64_t queued = 0;
    uint64_t last = 0;
    auto since = std::chrono::steady_clock::now();
    for (int i = 0; i < 2000; ++i) {
        queued += uint64_t(comm.Write(more.constData(), int(more.size())));
        const auto now = std::chrono::steady_clock::now();
        if (comm.fGetBytesWritten() != last) {
            last = comm.fGetBytesWritten();
            since = now;
        } else if (now - since > std::chrono::milliseconds(300) &&
                   comm.OutQueue()->fGetCount() > 0) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const uint64_t stalled = comm.fGetBytesWritten();
    EXPECT_LT(stalled, before + 6000 + queued);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(comm.fGetBytesWritten(), stalled);
    EXPECT_EQ(pty.Receive(qsizetype(queued), 1000).size(), qsizetype(queued));
    EXPECT_TRUE(WaitFor([&] { return comm.fGetBytesWritten() == before + 6000 + queued; }));
}

TEST_F(QuillCommPtyTest, OpenClearsDisableWriteAndTakesTheWantedLines) {
    comm.fSetDisableWrite(true);
    comm.fSetDTR(false);
    comm.Open();
    EXPECT_FALSE(comm.fGetDisableWrite());
    EXPECT_FALSE(comm.fGetDTR());
    EXPECT_TRUE(comm.fGetRTS());
    EXPECT_EQ(comm.LineSettings().fDtrControl, DTR_CONTROL_DISABLE);
}

TEST_F(QuillCommPtyTest, LineSettersCloseAnOpenPort) {
    const std::vector<std::pair<const char*, std::function<void(TQuillComm&)>>> setters = {
        {"baud", [](TQuillComm& c) { c.fSetBaud(9600); }},
        {"parity", [](TQuillComm& c) { c.fSetParity(0); }},
        {"byte size", [](TQuillComm& c) { c.fSetByteSize(8); }},
        {"stop bits", [](TQuillComm& c) { c.fSetStopBits(2); }},
        {"flow control", [](TQuillComm& c) { c.fSetFCtrl(4); }},
        {"data only", [](TQuillComm& c) { c.fSetDataOnly(true); }},
        {"driver buffers", [](TQuillComm& c) { c.fSetHwBufSize(4096, 4096); }},
        {"port", [this](TQuillComm& c) { c.fSetPortName(pty.SlavePath()); }},
    };
    const int before = ThreadCount();
    for (const auto& [name, set] : setters) {
        SCOPED_TRACE(name);
        comm.Open();
        set(comm);
        EXPECT_FALSE(comm.fGetActive());
        EXPECT_EQ(ThreadCount(), before);
    }
    EXPECT_EQ(comm.fGetBaud(), 9600);
    // Each setting took, and the port opens with all of them.
    comm.Open();
    termios tio{};
    ASSERT_EQ(tcgetattr(comm.fGetHandle(), &tio), 0);
    // A pseudo-terminal keeps 8 data bits without parity only.
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8 | CSTOPB));
    EXPECT_EQ(cfgetospeed(&tio), speed_t(B9600));
    EXPECT_TRUE(tio.c_iflag & IXON);
}

TEST_F(QuillCommPtyTest, QueuesOfAnOpenPortKeepTheirSize) {
    comm.Open();
    EXPECT_FALSE(comm.fSetInBufSize(100));
    EXPECT_FALSE(comm.fSetOutBufSize(100));
    EXPECT_EQ(comm.fGetInBufSize(), 8192);
    comm.Close();
    EXPECT_TRUE(comm.fSetInBufSize(100));
    EXPECT_EQ(comm.fGetInBufSize(), 100);
}

TEST_F(QuillCommPtyTest, PurgesDropWhatWaits) {
    comm.Open();
    ASSERT_TRUE(pty.Send("stale"));
    ASSERT_TRUE(WaitFor([&] { return comm.InQueue()->fGetCount() == 5; }));
    comm.PurgeRead(true);
    EXPECT_EQ(comm.InQueue()->fGetCount(), 0);
    ASSERT_TRUE(pty.Send("fresh"));
    EXPECT_EQ(ReadFor(5), "fresh");
    comm.PurgeWrite(true);
    EXPECT_EQ(comm.OutQueue()->fGetCount(), 0);
    EXPECT_EQ(comm.Write("after", 5), 5);
    EXPECT_EQ(pty.Receive(5, 1000), "after");
}

TEST_F(QuillCommPtyTest, AMissingDeviceRaisesCode4WithThePortName) {
    LocaleScope locale("C");
    const int before = ThreadCount();
    struct {
        QString name;
        const char* locale;
        QString message;
    } cases[] = {
        {"/dev/no-such-tty", "C", "Serial port: \"/dev/no-such-tty\" - Cannot open COM port"},
        {"COM97", "zh_CN.UTF-8", QString::fromUtf8("串行口:“COM97”- 不能打开串行口")},
    };
    for (const auto& c : cases) {
        LocaleScope language(c.locale);
        comm.fSetPortName(c.name);
        try {
            comm.Open();
            ADD_FAILURE() << "opened " << c.name.toStdString();
        } catch (const EQuillCommError& error) {
            EXPECT_EQ(error.Code(), 4);
            EXPECT_EQ(error.Message(), c.message);
        }
        EXPECT_FALSE(comm.fGetActive());
        EXPECT_EQ(ThreadCount(), before);
    }
    EXPECT_TRUE(notified.empty());
}

TEST_F(QuillCommPtyTest, UnusableLineSettingsRaiseCode8) {
    comm.fSetByteSize(9);
    try {
        comm.Open();
        ADD_FAILURE() << "opened with 9 data bits";
    } catch (const EQuillCommError& error) {
        EXPECT_EQ(error.Code(), 8);
    }
    EXPECT_FALSE(comm.fGetActive());
    comm.fSetByteSize(8);
    comm.Open();
    EXPECT_TRUE(comm.fGetActive());
}

TEST_F(QuillCommPtyTest, ExternalHandleIsUsedButNeverClosed) {
    const int fd = open(pty.SlavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios raw{};
    ASSERT_EQ(tcgetattr(fd, &raw), 0);
    cfmakeraw(&raw);
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &raw), 0);
    comm.fSetHandle(fd);
    EXPECT_EQ(comm.fGetPort(), 0);
    EXPECT_TRUE(comm.fGetPortName().isEmpty());
    comm.Open();
    ASSERT_TRUE(pty.Send("in"));
    EXPECT_EQ(ReadFor(2), "in");
    comm.Close();
    EXPECT_NE(fcntl(fd, F_GETFD), -1);
    close(fd);

    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    comm.fSetHandle(pipeEnds[0]);
    try {
        comm.Open();
        ADD_FAILURE() << "a pipe opened as a port";
    } catch (const EQuillCommError& error) {
        EXPECT_EQ(error.Code(), 7);
    }
    EXPECT_NE(fcntl(pipeEnds[0], F_GETFD), -1);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

TEST_F(QuillCommPtyTest, DestructionLeavesNoThreadBehind) {
    const int before = ThreadCount();
    {
        TQuillComm other;
        other.fSetPortName(pty.SlavePath());
        other.Open();
        EXPECT_EQ(ThreadCount(), before + 2);
        other.Write("x", 1);
    }
    EXPECT_EQ(ThreadCount(), before);
}

// Close waits 500 ms for the threads; a handler that keeps the read thread longer is reported,
// and the thread is still waited for before the events and the device it uses go away.
TEST_F(QuillCommPtyTest, AReadThreadThatOverrunsCloseRaisesCode13) {
    const int before = ThreadCount();
    std::atomic<bool> inHandler{false};
    comm.OnCommNotify = [&](TQuillComm*, uint32_t events) {
        if (events & EV_RXCHAR) {
            inHandler = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        }
    };
    comm.Open();
    ASSERT_TRUE(pty.Send("x"));
    ASSERT_TRUE(WaitFor([&] { return inHandler.load(); }));
    try {
        comm.Close();
        ADD_FAILURE() << "Close did not report the thread";
    } catch (const EQuillCommError& error) {
        EXPECT_EQ(error.Code(), 13);
    }
    EXPECT_FALSE(comm.fGetActive());
    EXPECT_EQ(ThreadCount(), before);
}

TEST_F(QuillCommPtyTest, ThrowingHandlersDoNotStopThePort) {
    comm.OnCommNotify = [](TQuillComm*, uint32_t) { throw std::runtime_error("handler"); };
    comm.AfterOpen = [](TQuillComm*) { throw std::runtime_error("handler"); };
    comm.Open();
    ASSERT_TRUE(pty.Send("ok"));
    EXPECT_EQ(ReadFor(2), "ok");
    comm.Close();
}

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

TEST_F(QuillCommPtyTest, AHungUpLineDoesNotKeepTheThreadsBusy) {
    comm.Open();
    ASSERT_TRUE(pty.Send("last"));
    EXPECT_EQ(ReadFor(4), "last");
    pty.CloseMaster();
    comm.Write("lost", 4);
    const double start = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_LT(CpuSeconds() - start, 0.15);
    comm.Close();
}

// A vanished device went unnoticed: the threads rested and tried again for ever.
TEST_F(QuillCommPtyTest, AHungUpLineIsReportedOnceWithItsError) {
    comm.Open();
    EXPECT_EQ(comm.fGetFailure(), 0);
    pty.CloseMaster();
    comm.Write("lost", 4);
    ASSERT_TRUE(WaitFor([&] { return Notified(EV_ERR); }));
    EXPECT_EQ(comm.fGetFailure(), EIO);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    {
        std::lock_guard<std::mutex> hold(lock);
        EXPECT_EQ(std::count_if(notified.begin(), notified.end(),
                                [](uint32_t events) { return events & EV_ERR; }),
                  1);
    }
    EXPECT_TRUE(comm.fGetActive()) << "closing is the owner's decision";
    comm.Close();
    EXPECT_EQ(comm.fGetFailure(), EIO) << "the reason outlives the port";

    PtyPair fresh;
    comm.fSetPortName(fresh.SlavePath());
    comm.Open();
    EXPECT_EQ(comm.fGetFailure(), 0);
    comm.Close();
}

}  // namespace
