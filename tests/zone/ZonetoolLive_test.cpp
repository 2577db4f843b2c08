// The zone tool's logic against the simulated VYK-05 over a pseudo-terminal, through the real
// serial port.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "IniFile.h"
#include "Portlink.h"
#include "ScriptedPrompt.h"
#include "SerialPort.h"
#include "SimProcess.h"
#include "Zonetool.h"

namespace {

constexpr unsigned kPort = 80;

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "ZonetoolLive_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

class ZoneToolLive : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        App();
        std::vector<std::string> args = {"--model", "vyk05", "--baud",
                                         "115200",  "--log", dir.filePath("sim.log").toStdString()};
        if (GetParam() > 0) {
            args.push_back("--drop-ack");
            args.push_back(std::to_string(GetParam()));
        }
        sim = std::make_unique<SimProcess>(args);
        ASSERT_FALSE(sim->Path().empty());
        EXPECT_TRUE(ini.WriteString("Ports", QStringLiteral("COM%1").arg(kPort),
                                    QString::fromStdString(sim->Path())));
        ASSERT_TRUE(port.OpenPort(&owner, kPort, 115200, 'N', 8, 1, 9, 65536));
        port.StartMonitor();
        link.SetPort(&port);
        for (ProtectZone& zone : tool.Table().zones) zone.IOTCount = 5;
        tool.showProgress = [this](int maximum) { progressMaximum = maximum; };
        tool.progressPosition = [this](int position) { progressPosition = position; };
    }

    void TearDown() override { port.ClosePort(); }

    // The window's timer: received bytes to the tool, then its tick; faster than 30 ms.
    template <typename Done>
    bool RunUntil(Done done, double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        std::vector<uint8_t> chunk(10000);
        while (std::chrono::steady_clock::now() < end) {
            const int n = port.ReadReceived(chunk.data(), static_cast<int>(chunk.size()));
            tool.Received(chunk.data(), n);
            tool.Tick();
            if (done())
                return true;
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    void Save(int group, int output, const QStringList& coordinates, bool polygon,
              const QString& sensitivity, bool high) {
        tool.cbbRectIndexChange(group);
        ZoneBoxes& boxes = tool.Editor().Boxes(output);
        for (int i = 0; i < ZoneBoxes::kCoordinates; ++i)
            boxes.coordinate[i] = i < coordinates.size() ? coordinates[i] : QString();
        boxes.polygon = polygon;
        boxes.sensitivity = sensitivity;
        boxes.high = high;
        progressPosition = 0;
        tool.SaveClicked(output);
        ASSERT_TRUE(RunUntil([this] { return tool.Transfer().PendingCommands() == 0; }, 30));
        // The progress window closes once its position reaches the maximum.
        EXPECT_EQ(progressPosition, progressMaximum);
    }

    // The command lines the simulator received, a line repeated right after itself once.
    std::vector<std::string> ReceivedOnce() const {
        QFile file(dir.filePath("sim.log"));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        std::vector<std::string> lines;
        for (const QByteArray& entry : file.readAll().split('\n')) {
            const int mark = entry.indexOf(" < ");
            const std::string line = entry.mid(mark + 3).toStdString();
            if (mark >= 0 && (lines.empty() || lines.back() != line))
                lines.push_back(line);
        }
        return lines;
    }

    QTemporaryDir dir;
    IniFile ini{dir.filePath("VYK-05.ini")};
    std::unique_ptr<SimProcess> sim;
    ScriptedPrompt prompt;
    QObject owner;
    TSerialPort port{prompt, &ini};
    PortLink link;
    TZoneTool tool{link, prompt};
    int progressMaximum = -1;
    int progressPosition = -1;
};

TEST_P(ZoneToolLive, SavesSendExactlyTheZoneLinesAndReadBackRestoresTheBoxes) {
    Save(1, 1, {"0", "100", "100", "100", "100", "-50"}, true, "5", true);
    Save(0, 0, {"300", "", "45"}, false, "10", false);
    Save(3, 2, {}, true, "5", false);
    const std::vector<std::string> expected = {"#SF 0",
                                               "#IOL 16",
                                               "#SPR 21507,6553600",
                                               "#SPR 21523,6553700",
                                               "#SPR 21539,4291690596",
                                               "#SU",
                                               "#SF 0",
                                               "#IOL 16",
                                               "#SPR 40962,2949420",
                                               "#SU",
                                               "#SF 0",
                                               "#IOL 16",
                                               "#SPR 2816,0",
                                               "#SU"};
    EXPECT_EQ(ReceivedOnce(), expected);

    const ZoneTable saved = tool.Table();
    tool.cbbRectIndexChange(1);
    for (int o = 0; o < kZoneOutputs; ++o) tool.Editor().ClearZoneInputs(o);
    tool.Table().zones[4] = ProtectZone{};
    tool.Table().zones[0] = ProtectZone{};
    tool.Table().IOLevel = 0;
    tool.ReadClicked();
    RunUntil([] { return false; }, 1.5);

    const QString triangle[] = {"0", "100", "100", "100", "100", "-50", "", "", "", ""};
    for (int i = 0; i < ZoneBoxes::kCoordinates; ++i)
        EXPECT_EQ(tool.Editor().Boxes(1).coordinate[i], triangle[i]) << i;
    EXPECT_EQ(tool.Table().IOLevel, 16);
    for (int z : {0, 4, 11}) {
        const ProtectZone& a = tool.Table().zones[z];
        const ProtectZone& b = saved.zones[z];
        EXPECT_EQ(a.count, b.count) << z;
        if (a.count == 0)
            continue;
        EXPECT_EQ(a.IOTCount, b.IOTCount) << z;
        for (int k = 0; k < ProtectZone::kPairs; ++k) {
            EXPECT_EQ(a.x[k], b.x[k]) << z;
            EXPECT_EQ(a.y[k], b.y[k]) << z;
        }
    }
}

// Every scanner answer, and every second zone command left unanswered.
INSTANTIATE_TEST_SUITE_P(DropAck, ZoneToolLive, ::testing::Values(0, 2));

}  // namespace
