#include "ZonesCli.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>

#include "IniFile.h"
#include "PtyPair.h"
#include "SimLog.h"
#include "SimProcess.h"
#include "SmallTmpfs.h"
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
        EXPECT_TRUE(StoreZones(ini, table));
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

TEST_F(ZonesCliTest, DryRunPrintsTheLinesInOrder) {
    Write("zones.ini",
          "[Protect]\nIOLevel=16\n"
          "[Poly4]\ncount=3\nIOTCount=5\nx0=0\ny0=100\nx1=100\ny1=100\nx2=100\ny2=-50\n"
          "[Poly0]\ncount=2\nIOTCount=10\nx0=300\ny0=45\n");
    const Result result = RunWith({"push", "--dry-run", "COM1", Path("zones.ini")});
    EXPECT_EQ(result.code, 0);
    const std::vector<std::string> lines = DryRunLines(result.out);
    ASSERT_EQ(lines.size(), 5u + 3 + 10 * 3);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3),
              (std::vector<std::string>{"#IOL 16", "#SPR 40962,2949420", "#SU"}));
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 12, lines.begin() + 17),
              (std::vector<std::string>{"#IOL 16", "#SPR 21507,6553600", "#SPR 21523,6553700",
                                        "#SPR 21539,4291690596", "#SU"}));
    EXPECT_EQ(lines.back(), "#SU");
    EXPECT_EQ(lines[lines.size() - 2], "#SPR 2816,0");
}

// vyk-zones sent wrapped coordinates, a negative radius as 65535 cm, and skipped a count above 5
// with exit 0.
TEST_F(ZonesCliTest, AFileWithARefusedZoneConfiguresNothing) {
    const struct {
        const char* section;
        const char* rule;
    } cases[] = {
        {"[Poly7]\ncount=263\n", "Poly7: count 7 is above 5"},
        {"[Poly3]\ncount=3\nx0=10\ny0=0\nx1=0\ny1=100000\nx2=-5\ny2=0\n",
         "Poly3: corner B (x1=0, y1=100000) lies more than 500 cm from the scanner: "
         "输入坐标太大,超出范围!"},
        {"[Poly5]\ncount=5\nx4=300\ny4=401\n", "Poly5: corner E"},
        {"[Poly0]\ncount=2\nx0=-1\ny0=90\n", "Poly0: sector radius x0=-1 is negative: 输入不合法!"},
        {"[Poly11]\ncount=2\nx0=501\ny0=90\n", "Poly11: sector radius x0=501 is above 500 cm"},
        {"[Poly2]\ncount=2\nx0=300\ny0=0\n", "Poly2: sector angle y0=0 is not 1 to 180"},
        {"[Poly2]\ncount=2\nx0=300\ny0=181\n", "角度只能在(0,180]"},
    };
    for (const auto& c : cases) {
        Write("zones.ini", QByteArray("[Poly1]\ncount=2\nx0=100\ny0=30\n") + c.section);
        PtyPair scanner;
        const std::string port = scanner.SlavePath().toStdString();
        for (const char* command : {"push", "verify"}) {
            const Result result = RunWith({command, port, Path("zones.ini")});
            EXPECT_EQ(result.code, 1) << command << " " << c.section;
            EXPECT_NE(result.err.find(c.rule), std::string::npos) << result.err;
            EXPECT_TRUE(result.out.empty());
        }
        const Result dry = RunWith({"push", "--dry-run", "COM1", Path("zones.ini")});
        EXPECT_EQ(dry.code, 1) << c.section;
        EXPECT_TRUE(dry.out.empty()) << c.section;
        EXPECT_TRUE(scanner.Receive(1, 50).isEmpty()) << "a byte reached the port: " << c.section;
    }
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
    expected.push_back("#RS");  // the read-back, which finds all stored
    EXPECT_EQ(ReceivedLines(Read("sim.log")), expected);
}

TEST_F(ZonesCliTest, UnansweredLinesAreRepeatedUntilAcknowledged) {
    const std::string log = Path("sim.log");
    SimProcess sim({"--model", "vyk05", "--baud", "115200", "--drop-ack", "8", "--log", log});
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
    expected.push_back("#RS");
    EXPECT_EQ(distinct, expected);
    EXPECT_GE(repeats, 4);
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

TEST_F(ZonesCliTest, PushOfALateAnsweringLossyScannerStoresEveryLineInOrder) {
    Write("zones.ini",
          "[Poly4]\ncount=3\nIOTCount=5\nx0=0\ny0=100\nx1=100\ny1=100\nx2=100\ny2=-50\n");
    std::vector<std::string> expected = {"#SF 0"};
    for (const std::string& line :
         DryRunLines(RunWith({"push", "--dry-run", "COM1", Path("zones.ini")}).out))
        expected.push_back(line);
    for (const bool verify : {false, true}) {
        const std::string log = Path(verify ? "verified.log" : "unverified.log");
        // The 22nd zone command ("#SPR" of zone 6) answered after its repeat, the 24th ("#SU"
        // of zone 6) lost: the late answer must not pass for the "#SU"'s.
        SimProcess sim({"--model", "vyk05", "--baud", "115200", "--slow-ack", "22", "--drop-ack",
                        "24", "--log", log});
        std::vector<std::string> args = {"push", sim.Path(), Path("zones.ini")};
        if (!verify)
            args.insert(args.begin() + 1, "--no-verify");
        const Result push = RunWith(args);
        ASSERT_EQ(push.code, 0) << push.err;
        std::vector<std::string> stored =
            StoredLines(Read(verify ? "verified.log" : "unverified.log"));
        if (verify) {
            EXPECT_EQ(stored.back(), "#RS");
            stored.pop_back();
        }
        EXPECT_EQ(stored, expected) << "verify " << verify;
    }
}

// A scanner that acknowledged a line it never stored left push reporting success.
TEST_F(ZonesCliTest, TheReadBackCatchesPointsAcknowledgedButNotStoredAndSendsThemAgain) {
    const ZoneTable sent = FullTable(true);
    WriteTable("fleet.ini", sent);
    {
        // Every twentieth "#SPR" forgotten: three zones, mended in one more round.
        SimProcess sim({"--model", "vyk05", "--forget-point", "20", "--log", Path("sim.log")});
        const Result push = RunWith({"push", sim.Path(), Path("fleet.ini")});
        EXPECT_EQ(push.code, 0) << push.err;
        EXPECT_EQ(Read("sim.log").count("* not stored"), 3);
        const Result verify = RunWith({"verify", sim.Path(), Path("fleet.ini")});
        EXPECT_EQ(verify.code, 0) << verify.out << verify.err;
        EXPECT_TRUE(verify.out.empty());
    }
    {
        // Nothing stored: three rounds, then each difference named.
        SimProcess sim({"--model", "vyk05", "--forget-point", "1"});
        const Result push = RunWith({"push", sim.Path(), Path("fleet.ini")});
        EXPECT_EQ(push.code, 6);
        EXPECT_NE(push.err.find("vyk-zones: zone 0 (Poly0) count: sent 5, stored 0\n"),
                  std::string::npos)
            << push.err;
        EXPECT_NE(push.err.find("zone 11 (Poly11) count"), std::string::npos);
    }
}

TEST_F(ZonesCliTest, VerifyTellsAnEqualScannerFromOneWithAChangedPoint) {
    SimProcess sim({"--model", "vyk05"});
    ZoneTable table = FullTable(false);
    WriteTable("fleet.ini", table);
    ASSERT_EQ(RunWith({"push", "--no-verify", sim.Path(), Path("fleet.ini")}).code, 0);
    const Result equal = RunWith({"verify", sim.Path(), Path("fleet.ini")});
    EXPECT_EQ(equal.code, 0) << equal.err;
    EXPECT_TRUE(equal.out.empty()) << equal.out;

    ++table.zones[5].x[2];
    table.IOLevel ^= 1;
    WriteTable("changed.ini", table);
    const Result changed = RunWith({"verify", sim.Path(), Path("changed.ini")});
    EXPECT_EQ(changed.code, 6);
    EXPECT_EQ(changed.out, "zone 5 (Poly5) x2: file " + std::to_string(table.zones[5].x[2]) +
                               ", scanner " + std::to_string(table.zones[5].x[2] - 1) +
                               "\noutput levels IOLevel: file 2651, scanner 2650\n");

    PtyPair silent;
    EXPECT_EQ(RunWith({"verify", silent.SlavePath().toStdString(), Path("fleet.ini")}).code, 5);
}

// A pull took a report that stopped short for the scanner's zones, and wrote the file's own
// zones for those that did not come.
TEST_F(ZonesCliTest, APartialReportLeavesTheFileAsItWas) {
    QByteArray whole;
    for (int z = 0; z < kZoneCount; ++z) {
        if (z == 4)
            whole += "#RSPR,4,3,5,6553600\r\n#RSPR,4,3,261,6553700\r\n#RSPR,4,3,517,4291690596\r\n";
        else
            whole += "#RSPR," + QByteArray::number(z) + ",0,0,0\r\n";
    }
    whole += "#RSOL,12,16\r\n";
    const struct {
        QByteArray report;
        bool closeLine;
        const char* missing;
    } cases[] = {
        {QByteArray(whole).replace("#RSPR,4,3,261,6553700\r\n", ""), false,
         "point B of zone 4 (Poly4) not reported"},
        {QByteArray(whole).replace("#RSOL,12,16\r\n", ""), false, "output levels"},
        {whole.left(whole.indexOf("#RSPR,9")), true, "zone 9 (Poly9) not reported"},
    };
    const QByteArray before = "[Poly4]\ncount=5\nx0=1\n[Main]\nBandRate=115200\n";
    for (const auto& c : cases) {
        Write("zones.ini", before);
        PtyPair scanner;
        std::thread answer([&] {
            if (scanner.Receive(5, 2000) == "#RS\r\n")
                scanner.Send(c.report);
            if (c.closeLine) {
                // Once the report is read: a hang-up drops what the line still holds.
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                scanner.CloseMaster();
            }
        });
        const Result pull = RunWith({"pull", scanner.SlavePath().toStdString(), Path("zones.ini")});
        answer.join();
        EXPECT_EQ(pull.code, 5) << c.missing;
        EXPECT_NE(pull.err.find(c.missing), std::string::npos) << pull.err;
        EXPECT_EQ(Read("zones.ini"), before) << c.missing;
    }
}

// A pull onto a full disk exited 0 as if the scanner's zones had been written.
TEST_F(ZonesCliTest, APullThatCannotWriteTheFileSaysWhyAndKeepsIt) {
    SmallTmpfs disk;
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Refusal();
    SimProcess sim({"--model", "vyk05"});
    ASSERT_FALSE(sim.Path().empty());
    const QString path = disk.FilePath("zones.ini");
    const QByteArray before = "[Poly4]\ncount=5\nx0=1\n[Main]\nBandRate=115200\n";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(before), before.size());
    }
    const auto contents = [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    disk.Fill();
    const Result full = RunWith({"pull", sim.Path(), path.toStdString()});
    EXPECT_EQ(full.code, 1);
    EXPECT_NE(full.err.find(std::strerror(ENOSPC)), std::string::npos) << full.err;
    EXPECT_EQ(contents(), before);
    EXPECT_EQ(QDir(disk.Path()).entryList(QDir::Files), QStringList{"zones.ini"})
        << "nothing is left beside the file";

    disk.Free();
    const Result roomy = RunWith({"pull", sim.Path(), path.toStdString()});
    EXPECT_EQ(roomy.code, 0) << roomy.err;
    EXPECT_EQ(IniFile(path).ReadInteger("Poly4", "count", -1), 0) << "the scanner's zone 4";
    EXPECT_EQ(IniFile(path).ReadInteger("Main", "BandRate", 0), 115200);
}

}  // namespace
