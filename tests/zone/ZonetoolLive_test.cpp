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
#include "SimLog.h"
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

class ZoneToolLive : public ::testing::Test {
protected:
    // The simulator with its fault options, and the tool on the port to it.
    void Start(const std::vector<std::string>& faults) {
        App();
        std::vector<std::string> args = {"--model", "vyk05", "--baud",
                                         "115200",  "--log", dir.filePath("sim.log").toStdString()};
        args.insert(args.end(), faults.begin(), faults.end());
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
        ASSERT_TRUE(RunUntil(
            [this] { return tool.Transfer().PendingCommands() == 0 && !tool.Checking(); }, 120));
        // The progress window closes once its position reaches the maximum.
        EXPECT_EQ(progressPosition, progressMaximum);
    }

    std::vector<std::string> StoredLines() const {
        QFile file(dir.filePath("sim.log"));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return ::StoredLines(file.readAll());
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

class ZoneToolLiveDropAck : public ZoneToolLive, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        if (GetParam() > 0)
            Start({"--drop-ack", std::to_string(GetParam())});
        else
            Start({});
    }
};

TEST_P(ZoneToolLiveDropAck, SavesSendExactlyTheZoneLinesAndReadBackRestoresTheBoxes) {
    Save(1, 1, {"0", "100", "100", "100", "100", "-50"}, true, "5", true);
    Save(0, 0, {"300", "", "45"}, false, "10", false);
    Save(3, 2, {}, true, "5", false);
    const std::vector<std::string> expected = {"#SF 0",
                                               "#IOL 16",
                                               "#SPR 21507,6553600",
                                               "#SPR 21523,6553700",
                                               "#SPR 21539,4291690596",
                                               "#SU",
                                               "#RS",
                                               "#SF 0",
                                               "#IOL 16",
                                               "#SPR 40962,2949420",
                                               "#SU",
                                               "#RS",
                                               "#SF 0",
                                               "#IOL 16",
                                               "#SPR 2816,0",
                                               "#SU",
                                               "#RS"};
    EXPECT_EQ(StoredLines(), expected);
    EXPECT_TRUE(prompt.messages.empty()) << "all was stored";

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
INSTANTIATE_TEST_SUITE_P(DropAck, ZoneToolLiveDropAck, ::testing::Values(0, 2));

// A scanner that answers the points without storing them, and one that answers late and loses
// a line: the save's read-back names what it lacks, or finds all stored.
TEST_F(ZoneToolLive, TheSavesReadBackTellsAPointTheScannerDidNotStore) {
    Start({"--forget-point", "1"});
    Save(1, 1, {"0", "100", "100", "100", "100", "-50"}, true, "5", true);
    EXPECT_EQ(prompt.MessageTexts().join('|').toStdString(),
              "读回的区域设置与发送的不一致:\n"
              "区域4(第二组 区域保护IO输出2) 点数: 发送 3, 读回 0");
    EXPECT_EQ(tool.Table().zones[4].x[1], 100) << "the model keeps the zone the user saved";
}

TEST_F(ZoneToolLive, ALateAnsweringLossyScannerStoresTheSavedPolygonWhole) {
    // The third zone command ("#SPR" of point B) answered after its repeat, the fourth lost.
    Start({"--slow-ack", "3", "--drop-ack", "4"});
    Save(0, 0, {"0", "100", "100", "100", "100", "-50", "-20", "-90", "-80", "10"}, true, "7",
         false);
    EXPECT_TRUE(prompt.messages.empty()) << prompt.MessageTexts().join('\n').toStdString();
    const std::vector<std::string> expected = {"#SF 0",
                                               "#IOL 0",
                                               "#SPR 28677,6553600",
                                               "#SPR 28693,6553700",
                                               "#SPR 28709,4291690596",
                                               "#SPR 28725,4289134572",
                                               "#SPR 28741,720816",
                                               "#SU",
                                               "#RS"};
    EXPECT_EQ(StoredLines(), expected);
}

}  // namespace
