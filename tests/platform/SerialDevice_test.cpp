#include "SerialDevice.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>

#include "PtyPair.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr tcflag_t kFrame = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;

class SerialDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(pty.SlavePath().isEmpty());
        ASSERT_TRUE(device.Open(pty.SlavePath()));
    }

    PtyPair pty;
    SerialDevice device;
};

TEST_F(SerialDeviceTest, OpenIsExclusiveUntilClosed) {
    SerialDevice second;
    EXPECT_FALSE(second.Open(pty.SlavePath()));
    EXPECT_EQ(errno, EBUSY);
    device.Close();
    EXPECT_TRUE(second.Open(pty.SlavePath()));
    EXPECT_FALSE(SerialDevice().Open("/dev/no-such-serial-device"));
}

TEST_F(SerialDeviceTest, OpenMakesTheLineRaw) {
    // No echo and no line editing: bytes go through untouched.
    const QByteArray bytes("a\r\nb\x03\x7f", 6);
    ASSERT_TRUE(pty.Send(bytes));
    uint8_t got[6] = {};
    ASSERT_TRUE(device.SetTimeouts({100, 0, 1000, 0, 1000}));
    EXPECT_EQ(device.Read(got, 6).count, 6);
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(got), 6), bytes);
    EXPECT_TRUE(pty.Receive(1, 100).isEmpty());
}

// The line is left as it was found: raw mode and a new rate hold only while the port is open,
// and the hang-up on last close (which drops DTR and RTS on an adapter) comes back with close.
TEST_F(SerialDeviceTest, CloseRestoresTheSettingsFoundAtOpen) {
    device.Close();
    termios found{};
    ASSERT_EQ(tcgetattr(pty.Master(), &found), 0);
    found.c_iflag |= ICRNL | IXON;
    found.c_oflag |= OPOST | ONLCR;
    found.c_lflag |= ICANON | ECHO | ISIG;
    found.c_cflag |= HUPCL | CSTOPB;
    cfsetspeed(&found, B9600);
    ASSERT_EQ(tcsetattr(pty.Master(), TCSANOW, &found), 0);
    ASSERT_EQ(tcgetattr(pty.Master(), &found), 0);

    ASSERT_TRUE(device.Open(pty.SlavePath()));
    LineSettings settings;
    ASSERT_TRUE(device.GetState(&settings));
    ASSERT_TRUE(BuildLineSettings("baud=921600 parity=N data=8 stop=1", &settings));
    ASSERT_TRUE(device.SetState(settings));
    termios open{};
    ASSERT_EQ(tcgetattr(pty.Master(), &open), 0);
    ASSERT_EQ(open.c_lflag & ICANON, 0u);
    ASSERT_EQ(open.c_cflag & (HUPCL | CSTOPB), 0u);

    device.Close();
    termios after{};
    ASSERT_EQ(tcgetattr(pty.Master(), &after), 0);
    EXPECT_EQ(after.c_iflag, found.c_iflag);
    EXPECT_EQ(after.c_oflag, found.c_oflag);
    EXPECT_EQ(after.c_lflag, found.c_lflag);
    EXPECT_EQ(after.c_cflag, found.c_cflag);
    EXPECT_EQ(cfgetospeed(&after), speed_t(B9600));
}

// Reads complete on the count, on the interval between two bytes, or on the total.
TEST_F(SerialDeviceTest, ReadTimeouts) {
    struct {
        int available;
        CommTimeouts timeouts;
        int expected;
        int minMs;
        int maxMs;
    } cases[] = {
        {18, {1000, 1000, 1000, 0, 0}, 18, 0, 500},
        {5, {200, 1000, 1000, 0, 0}, 5, 150, 900},
        {0, {200, 10, 300, 0, 0}, 0, 430, 1200},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(device.SetTimeouts(c.timeouts));
        ASSERT_TRUE(pty.Send(Pattern(c.available)));
        uint8_t chunk[18];
        const auto start = Clock::now();
        const IoResult result = device.Read(chunk, 18);
        const int spent = MsSince(start);
        EXPECT_EQ(result.failure, IoFailure::None);
        EXPECT_EQ(result.count, c.expected) << c.available;
        EXPECT_GE(spent, c.minMs) << c.available;
        EXPECT_LE(spent, c.maxMs) << c.available;
    }
}

TEST_F(SerialDeviceTest, WritesReachTheFarEnd) {
    ASSERT_TRUE(device.SetTimeouts({0, 0, 0, 1000, 1000}));
    const QByteArray command("#SF 10\r\n");
    const IoResult result =
        device.Write(reinterpret_cast<const uint8_t*>(command.constData()), command.size());
    EXPECT_EQ(result.count, command.size());
    EXPECT_EQ(pty.Receive(command.size(), 1000), command);
}

TEST_F(SerialDeviceTest, PurgeDiscardsWaitingInput) {
    ASSERT_TRUE(pty.Send("12345"));
    int waiting = 0;
    for (int i = 0; i < 100 && waiting < 5; ++i) {
        ASSERT_TRUE(device.BytesWaiting(&waiting));
        usleep(1000);
    }
    EXPECT_EQ(waiting, 5);
    EXPECT_TRUE(device.Purge());
    ASSERT_TRUE(device.BytesWaiting(&waiting));
    EXPECT_EQ(waiting, 0);
}

// Every rate the port dialog accepts, the non-standard ones through termios2.
TEST_F(SerialDeviceTest, LineSettingsRoundTrip) {
    const struct {
        const char* definition;
        int baud;
        tcflag_t frame;
    } cases[] = {
        {"baud=1200 parity=N data=8 stop=1", 1200, CS8},
        {"baud=2400 parity=N data=8 stop=2", 2400, CS8 | CSTOPB},
        {"baud=4800 parity=n data=8 stop=1", 4800, CS8},
        {"baud=9600 parity=N data=8 stop=1", 9600, CS8},
        {"baud=14400 parity=N data=8 stop=1", 14400, CS8},
        {"baud=19200 parity=N data=8 stop=1", 19200, CS8},
        {"baud=38400 parity=N data=8 stop=1", 38400, CS8},
        {"baud=43000 parity=N data=8 stop=1", 43000, CS8},
        {"baud=56000 parity=N data=8 stop=1", 56000, CS8},
        {"baud=57600 parity=N data=8 stop=1", 57600, CS8},
        {"baud=76800 parity=N data=8 stop=1", 76800, CS8},
        {"baud=115200 parity=N data=8 stop=1", 115200, CS8},
        {"baud=128000 parity=N data=8 stop=1", 128000, CS8},
        {"baud=230400 parity=N data=8 stop=1", 230400, CS8},
        {"baud=256000 parity=N data=8 stop=1", 256000, CS8},
        {"baud=460800 parity=N data=8 stop=1", 460800, CS8},
        {"baud=921600 parity=N data=8 stop=1", 921600, CS8},
        {"baud=1382400 parity=N data=8 stop=1", 1382400, CS8},
        {"baud=115200 parity=N data=8 stop=1", 115200, CS8},
    };
    for (const auto& c : cases) {
        LineSettings settings;
        ASSERT_TRUE(device.GetState(&settings));
        settings.eventChar = 'q';
        ASSERT_TRUE(BuildLineSettings(c.definition, &settings)) << c.definition;
        // A pseudo-terminal has no RTS; that must not fail the write.
        EXPECT_TRUE(device.SetState(settings)) << c.definition;
        LineSettings kept;
        ASSERT_TRUE(device.GetState(&kept));
        EXPECT_EQ(kept.baud, c.baud) << c.definition;
        EXPECT_EQ(kept.tio.c_cflag & kFrame, c.frame) << c.definition;
        EXPECT_EQ(kept.eventChar, 'q');
    }
}

// A pseudo-terminal always runs 8 data bits without parity; asking for more is refused rather
// than reported as done.
TEST_F(SerialDeviceTest, SettingsTheDeviceDoesNotKeepAreRefused) {
    const char* definitions[] = {
        "baud=9600 parity=E data=8 stop=1", "baud=9600 parity=O data=8 stop=1",
        "baud=9600 parity=M data=8 stop=1", "baud=9600 parity=S data=8 stop=1",
        "baud=9600 parity=N data=7 stop=1", "baud=9600 parity=N data=5 stop=1",
    };
    for (const char* definition : definitions) {
        LineSettings settings;
        ASSERT_TRUE(device.GetState(&settings));
        ASSERT_TRUE(BuildLineSettings(definition, &settings)) << definition;
        const tcflag_t frame = settings.tio.c_cflag & kFrame;
        EXPECT_NE(frame, tcflag_t(CS8)) << definition;
        errno = 0;
        EXPECT_FALSE(device.SetState(settings)) << definition;
        EXPECT_EQ(errno, EINVAL) << definition;
    }
}

TEST(LineSettingsTest, BuildRefusesInvalidDefinitionsAndKeepsTheSettings) {
    const char* refused[] = {
        "baud=0 parity=N data=8 stop=1",     "baud=-9600 parity=N data=8 stop=1",
        "baud=9600 parity=X data=8 stop=1",  "baud=9600 parity=N data=4 stop=1",
        "baud=9600 parity=N data=9 stop=1",  "baud=9600 parity=N data=8 stop=3",
        "baud=9600 parity=N data=8 stop=0",  "baud=9600 parity=N data=8",
        "baud=9600 parity=N data=8 stop=1x", "",
    };
    for (const char* definition : refused) {
        LineSettings settings;
        settings.baud = 4711;
        settings.tio.c_cflag = CS7 | PARENB;
        errno = 0;
        EXPECT_FALSE(BuildLineSettings(definition, &settings)) << definition;
        EXPECT_EQ(errno, EINVAL) << definition;
        EXPECT_EQ(settings.baud, 4711) << definition;
        EXPECT_EQ(settings.tio.c_cflag, tcflag_t(CS7 | PARENB)) << definition;
    }
}

TEST(LineSettingsTest, MakeRawClearsTranslationAndFlowControl) {
    termios tio{};
    tio.c_iflag = ICRNL | IXON | IXOFF | ISTRIP | BRKINT;
    tio.c_oflag = OPOST | ONLCR;
    tio.c_lflag = ECHO | ICANON | ISIG | IEXTEN;
    tio.c_cflag = CRTSCTS | HUPCL | CS8;
    MakeRaw(&tio);
    EXPECT_EQ(tio.c_iflag & (ICRNL | IXON | IXOFF | ISTRIP | BRKINT), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_cflag & (CRTSCTS | HUPCL), 0u);
    EXPECT_EQ(tio.c_cflag & (CREAD | CLOCAL | CS8), tcflag_t(CREAD | CLOCAL | CS8));
}

TEST_F(SerialDeviceTest, LineWaitReportsDataAfterSetEventsWhichWinByLowestIndex) {
    ManualResetEvent stop, send;
    ASSERT_TRUE(device.SetEventMask(EV_RXCHAR | EV_CTS));
    ASSERT_TRUE(pty.Send("x"));
    uint32_t events = 0;
    send.Set();
    stop.Set();
    EXPECT_EQ(device.WaitEventOrLine({&stop, &send}, &events), 0);
    stop.Reset();
    EXPECT_EQ(device.WaitEventOrLine({&stop, &send}, &events), 1);
    send.Reset();
    EXPECT_EQ(device.WaitEventOrLine({&stop, &send}, &events), 2);
    EXPECT_EQ(events, EV_RXCHAR);
}

TEST_F(SerialDeviceTest, LineWaitFailsWhenTheFarEndHangsUp) {
    ManualResetEvent stop;
    ASSERT_TRUE(device.SetEventMask(EV_RXCHAR));
    pty.CloseMaster();
    uint32_t events = 0;
    EXPECT_EQ(device.WaitEventOrLine({&stop}, &events), -1);
}

TEST_F(SerialDeviceTest, ReadNotesTheEventCharacter) {
    LineSettings settings;
    ASSERT_TRUE(device.GetState(&settings));
    settings.eventChar = 'q';
    ASSERT_TRUE(device.SetState(settings));
    ASSERT_TRUE(device.SetTimeouts({50, 0, 500, 0, 0}));
    uint8_t chunk[18];
    ASSERT_TRUE(pty.Send("abc"));
    device.Read(chunk, 18);
    EXPECT_FALSE(device.TakeEventCharSeen());
    ASSERT_TRUE(pty.Send("aqc"));
    device.Read(chunk, 18);
    EXPECT_TRUE(device.TakeEventCharSeen());
    EXPECT_FALSE(device.TakeEventCharSeen());
}

TEST_F(SerialDeviceTest, PseudoTerminalHasNoModemLines) {
    uint32_t status = 0;
    EXPECT_FALSE(device.GetModemStatus(&status));
    EXPECT_FALSE(device.SetDtr(true));
}

}  // namespace
