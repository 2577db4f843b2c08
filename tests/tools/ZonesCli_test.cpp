#include "ZonesCli.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <sstream>
#include <thread>

#include "IniFile.h"
#include "PtyPair.h"
#include "SimProcess.h"
#include "Zonecommands.h"
#include "Zonetable.h"

namespace {

struct Result {
    int code;
    std::string out;
    std::string err;
};

class ZonesCliTest : public ::testing::Test {
protected:
    Result RunWith(const std::vector<std::string>& args) {
        std::ostringstream out, err;
        const int code = zonescli::Run(args, out, err, portsIni.toStdString());
        return {code, out.str(), err.str()};
    }

    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }

    void Write(const char* name, const QByteArray& text) const {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QByteArray Read(const char* name) const {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Twelve zones of every shape, negative coordinates among them, stored as the zone tool does.
    ZoneTable FullTable(bool fivePointsEach) const {
        ZoneTable table;
        table.IOLevel = 0xA5A;
        for (int z = 0; z < kZoneCount; ++z) {
            ProtectZone& zone = table.zones[z];
            zone.count = static_cast<uint8_t>(fivePointsEach ? 5 : 2 + z % 4);
            zone.IOTCount = static_cast<uint8_t>(1 + z * 21);
            for (int k = 0; k < zone.count; ++k) {
                zone.x[k] = (k % 2 ? -1 : 1) * (50 + 30 * z + k);
                zone.y[k] = (z % 3 ? -1 : 1) * (20 * k + z);
            }
            if (zone.count == 2) {
                zone.x[0] = 500 - z;
                zone.y[0] = 10 + 15 * z;
                zone.x[1] = zone.y[1] = 0;
            }
        }
        return table;
    }

    void WriteTable(const char* name, const ZoneTable& table) const {
        IniFile ini(dir.filePath(name));
        StoreZones(ini, table);
    }

    QTemporaryDir dir;
    QString portsIni = dir.filePath("vyk-zones.ini");
};

void ExpectSameZones(const ZoneTable& a, const ZoneTable& b) {
    EXPECT_EQ(a.IOLevel, b.IOLevel);
    for (int z = 0; z < kZoneCount; ++z) {
        EXPECT_EQ(a.zones[z].count, b.zones[z].count) << "zone " << z;
        EXPECT_EQ(a.zones[z].IOTCount, b.zones[z].IOTCount) << "zone " << z;
        for (int k = 0; k < ProtectZone::kPairs; ++k) {
            EXPECT_EQ(a.zones[z].x[k], b.zones[z].x[k]) << "zone " << z << " x" << k;
            EXPECT_EQ(a.zones[z].y[k], b.zones[z].y[k]) << "zone " << z << " y" << k;
        }
    }
}

// The command lines the simulator's log shows it received, in order.
std::vector<std::string> ReceivedLines(const QByteArray& log) {
    std::vector<std::string> lines;
    for (const QByteArray& entry : log.split('\n')) {
        const int mark = entry.indexOf(" < ");
        if (mark >= 0)
            lines.push_back(entry.mid(mark + 3).toStdString());
    }
    return lines;
}

std::vector<std::string> DryRunLines(const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST_F(ZonesCliTest, OptionsAndTheirExitCodes) {
    Write("zones.ini", "[Poly0]\ncount=3\n");
    const std::string ini = Path("zones.ini");
    const struct {
        std::vector<std::string> args;
        int code;
    } cases[] = {
        {{}, 2},
        {{"push", "COM1"}, 2},
        {{"push", "COM1", ini, "extra"}, 2},
        {{"send", "COM1", ini}, 2},
        {{"push", "--baud", "fast", "COM1", ini}, 2},
        {{"push", "--baud", "0", "COM1", ini}, 2},
        {{"push", "COM1", ini, "--baud"}, 2},
        {{"pull", "--dry-run", "COM1", ini}, 2},
        {{"push", "--verbose", "COM1", ini}, 2},
        {{"push", "--dry-run", "COM1", Path("missing.ini")}, 1},
        {{"push", "--dry-run", "COM1", Path("")}, 1},
        {{"pull", "COM1", Path("no/such/folder/zones.ini")}, 1},
        {{"push", "COM99", ini}, 4},
        {{"push", "/dev/no-such-port", ini}, 4},
        {{"pull", "/dev/no-such-port", ini}, 4},
    };
    for (const auto& c : cases) {
        std::string args;
        for (const std::string& a : c.args) args += a + " ";
        const Result result = RunWith(c.args);
        EXPECT_EQ(result.code, c.code) << args;
        EXPECT_TRUE(result.out.empty()) << args;
        EXPECT_FALSE(result.err.empty()) << args;
        if (c.code == 2) {
            EXPECT_EQ(result.err.rfind("usage: vyk-zones", 0), 0u) << args;
        }
    }
    const Result help = RunWith({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("Exit status"), std::string::npos);
    EXPECT_TRUE(help.err.empty());
}

TEST_F(ZonesCliTest, DryRunPrintsTheLinesInOrderAndSkipsACountAboveFive) {
    Write("zones.ini",
          "[Protect]\nIOLevel=16\n"
          "[Poly4]\ncount=3\nIOTCount=5\nx0=0\ny0=100\nx1=100\ny1=100\nx2=100\ny2=-50\n"
          "[Poly0]\ncount=2\nIOTCount=10\nx0=300\ny0=45\n"
          "[Poly7]\ncount=263\n");
    const Result result = RunWith({"push", "--dry-run", "COM1", Path("zones.ini")});
    EXPECT_EQ(result.code, 0);
    const std::vector<std::string> lines = DryRunLines(result.out);
    ASSERT_EQ(lines.size(), 5u + 3 + 9 * 3);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3),
              (std::vector<std::string>{"#IOL 16", "#SPR 40962,2949420", "#SU"}));
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 12, lines.begin() + 17),
              (std::vector<std::string>{"#IOL 16", "#SPR 21507,6553600", "#SPR 21523,6553700",
                                        "#SPR 21539,4291690596", "#SU"}));
    EXPECT_EQ(lines.back(), "#SU");
    EXPECT_EQ(lines[lines.size() - 2], "#SPR 2816,0");
    EXPECT_NE(result.err.find("zone 7 skipped"), std::string::npos);
}

TEST_F(ZonesCliTest, PushThenPullRoundTripsTwelveZonesThroughTheSimulator) {
    SimProcess sim({"--model", "vyk05", "--baud", "115200"});
    ASSERT_FALSE(sim.Path().empty());
    const ZoneTable sent = FullTable(false);
    WriteTable("fleet.ini", sent);
    // The COM name maps through vyk-zones.ini as the programs' INI files map theirs.
    Write("vyk-zones.ini", QByteArray("[Ports]\nCOM77=") + sim.Path().c_str() + "\n");
    ASSERT_EQ(RunWith({"push", "COM77", Path("fleet.ini")}).code, 0);

    Write("back.ini", "[Main]\nBandRate=115200\n[Poly3]\nnote=kept\n");
    const Result pull = RunWith({"pull", "--baud", "115200", "COM77", Path("back.ini")});
    ASSERT_EQ(pull.code, 0) << pull.err;
    ZoneTable back;
    const IniFile ini(dir.filePath("back.ini"));
    LoadZones(ini, back);
    ExpectSameZones(back, sent);
    EXPECT_EQ(ini.ReadInteger("Main", "BandRate", 0), 115200);
    EXPECT_EQ(ini.ReadString("Poly3", "note", ""), "kept");
}

TEST_F(ZonesCliTest, PushOfTwelveFivePointZonesSendsEachLineOnce) {
    const std::string log = Path("sim.log");
    SimProcess sim({"--model", "vyk05", "--baud", "115200", "--log", log});
    WriteTable("fleet.ini", FullTable(true));
    const Result push = RunWith({"push", sim.Path(), Path("fleet.ini")});
    ASSERT_EQ(push.code, 0) << push.err;
    std::vector<std::string> expected = {"#SF 0"};
    for (const std::string& line :
         DryRunLines(RunWith({"push", "--dry-run", "COM1", Path("fleet.ini")}).out))
        expected.push_back(line);
    EXPECT_EQ(expected.size(), 1u + 12 * 7);
    EXPECT_EQ(ReceivedLines(Read("sim.log")), expected);
}

TEST_F(ZonesCliTest, UnansweredLinesAreRepeatedUntilAcknowledged) {
    const std::string log = Path("sim.log");
    SimProcess sim({"--model", "vyk05", "--baud", "115200", "--drop-ack", "5", "--log", log});
    Write("zones.ini",
          "[Poly4]\ncount=3\nIOTCount=5\nx0=0\ny0=100\nx1=100\ny1=100\nx2=100\ny2=-50\n");
    ASSERT_EQ(RunWith({"push", sim.Path(), Path("zones.ini")}).code, 0);

    const std::vector<std::string> received = ReceivedLines(Read("sim.log"));
    std::vector<std::string> distinct;
    int repeats = 0;
    for (const std::string& line : received) {
        // A line repeated right after itself is a repeat; "#SU" and "#IOL" recur per zone.
        if (!distinct.empty() && line == distinct.back()) {
            ++repeats;
        } else {
            distinct.push_back(line);
        }
    }
    std::vector<std::string> expected = {"#SF 0"};
    for (const std::string& line :
         DryRunLines(RunWith({"push", "--dry-run", "COM1", Path("zones.ini")}).out))
        expected.push_back(line);
    EXPECT_EQ(distinct, expected);
    EXPECT_GE(repeats, 5);
}

TEST_F(ZonesCliTest, ALineNeverAcknowledgedEndsThePushAfterTenSends) {
    PtyPair silent;
    Write("zones.ini", "[Protect]\nIOLevel=3\n");
    const Result push = RunWith({"push", silent.SlavePath().toStdString(), Path("zones.ini")});
    EXPECT_EQ(push.code, 3);
    EXPECT_NE(push.err.find("\"#IOL 3\" was never acknowledged"), std::string::npos) << push.err;
    const QByteArray sent = silent.Receive(1 << 16, 100);
    EXPECT_EQ(sent, "#SF 0\r\n" + QByteArray("#IOL 3\r\n").repeated(10));
}

TEST_F(ZonesCliTest, PullWithoutAZoneReportLeavesTheFileAlone) {
    PtyPair silent;
    Write("zones.ini", "[Poly0]\ncount=3\n");
    std::thread answer([&silent] {
        // Settings replies, but no zone among them.
        if (silent.Receive(5, 2000) == "#RS\r\n")
            silent.Send("#RSDIS,10,4000\r\n#RSPR,12,3,5,0\r\n#RSOL,12,7\r\n");
    });
    const Result pull = RunWith({"pull", silent.SlavePath().toStdString(), Path("zones.ini")});
    answer.join();
    EXPECT_EQ(pull.code, 5);
    EXPECT_NE(pull.err.find("no zone report"), std::string::npos);
    EXPECT_EQ(Read("zones.ini"), "[Poly0]\ncount=3\n");
}

}  // namespace
