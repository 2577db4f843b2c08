#include "PortReconnect.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "IniFile.h"
#include "PtyPair.h"
#include "ScriptedPrompt.h"
#include "SerialPort.h"

namespace {

using namespace std::chrono_literals;
using Change = PortReconnect::Change;

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "PortReconnect_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

class PortReconnectTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        EXPECT_TRUE(ini.WriteString("Ports", "COM80", link));
    }

    // The device at the link is a new pseudo-terminal, as an adapter plugged in again.
    void Plug(PtyPair& pty) {
        QFile::remove(link);
        ASSERT_TRUE(QFile::link(pty.SlavePath(), link));
    }

    std::unique_ptr<TSerialPort> Open() {
        ++opens;
        auto port = std::make_unique<TSerialPort>(prompt, &ini);
        if (!port->OpenPort(&owner, 80, 230400, 'N', 8, 1, EV_RXCHAR, 65536))
            return nullptr;
        port->StartMonitor();
        return port;
    }

    // The monitor purges the line as it starts: send until bytes come through.
    static bool Flows(TSerialPort& port, PtyPair& pty) {
        uint8_t buffer[64];
        for (int attempt = 0; attempt < 200; ++attempt) {
            pty.Send("0123456789abcdefgh");
            std::this_thread::sleep_for(10ms);
            QCoreApplication::processEvents();
            if (port.ReadReceived(buffer, sizeof buffer) > 0)
                return true;
        }
        return false;
    }

    QTemporaryDir dir;
    QString link = dir.filePath("scanner.tty");
    IniFile ini{dir.filePath("VYK-10.ini")};
    ScriptedPrompt prompt;
    QObject owner;
    int opens = 0;
    PortReconnect reconnect{[this] { return Open(); }};
};

TEST_F(PortReconnectTest, AnUnpluggedDeviceIsReleasedAndOpenedAgainWhenItComesBack) {
    auto first = std::make_unique<PtyPair>();
    Plug(*first);
    std::unique_ptr<TSerialPort> port = Open();
    ASSERT_TRUE(port);
    ASSERT_TRUE(Flows(*port, *first));
    uint32_t now = 0xFFFFFF00u;  // the tick count wraps on the way
    EXPECT_EQ(reconnect.Tick(port, now), Change::None);

    first->CloseMaster();
    for (int i = 0; i < 500 && !port->DeviceLost(); ++i) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(reconnect.Tick(port, now += 20), Change::Lost);
    EXPECT_FALSE(port);
    EXPECT_TRUE(reconnect.Waiting());
    EXPECT_EQ(prompt.messages.size(), 1u);

    // Gone for now: tried once a second.
    opens = 0;
    EXPECT_EQ(reconnect.Tick(port, now + 999), Change::None);
    EXPECT_EQ(opens, 0);
    EXPECT_EQ(reconnect.Tick(port, now += 1000), Change::None);
    EXPECT_EQ(opens, 1);
    EXPECT_FALSE(port);

    first.reset();
    PtyPair second;
    Plug(second);
    EXPECT_EQ(reconnect.Tick(port, now + 500), Change::None);
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(reconnect.Tick(port, now += 1000), Change::Back);
    ASSERT_TRUE(port);
    EXPECT_FALSE(reconnect.Waiting());
    EXPECT_TRUE(Flows(*port, second));
    EXPECT_EQ(reconnect.Tick(port, now += 1000), Change::None);
    EXPECT_EQ(prompt.messages.size(), 1u) << "nothing but the one warning";
    port->ClosePort();
}

TEST_F(PortReconnectTest, ADeliberateReleaseOrAnotherConnectionEndsTheWaiting) {
    for (const bool cancel : {true, false}) {
        PtyPair pty;
        Plug(pty);
        std::unique_ptr<TSerialPort> port = Open();
        ASSERT_TRUE(port);
        pty.CloseMaster();
        for (int i = 0; i < 500 && !port->DeviceLost(); ++i) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(10ms);
        }
        ASSERT_EQ(reconnect.Tick(port, 0), Change::Lost);
        PtyPair back;
        Plug(back);
        if (cancel) {
            reconnect.Cancel();
        } else {
            port = Open();  // the user connected through the port dialog meanwhile
            ASSERT_TRUE(port);
            EXPECT_EQ(reconnect.Tick(port, 500), Change::None);
        }
        EXPECT_FALSE(reconnect.Waiting());
        opens = 0;
        std::unique_ptr<TSerialPort> none;
        EXPECT_EQ(reconnect.Tick(none, 5000), Change::None);
        EXPECT_EQ(opens, 0) << cancel;
        if (port)
            port->ClosePort();
    }
}

}  // namespace
