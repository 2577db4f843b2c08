// vyk-zones check: the zones of an INI file tried on recordings, a small stream made here and
// recordings of the simulator made with vyk-record, whose counts must be the zone tool's own.

#include "ZonesCheck.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <fstream>
#include <sstream>

#include "DecodeCli.h"
#include "GraphTestSupport.h"
#include "IniFile.h"
#include "Laserencode.h"
#include "ScannerInterface.h"
#include "SimRecording.h"
#include "SpawnedProgram.h"
#include "StreamDecoder.h"
#include "Vykgraph.h"
#include "ZoneShapes.h"
#include "ZonesCli.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result RunCli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = zonescli::Run(args, out, err);
    return {code, out.str(), err.str()};
}

bool WriteZones(const QString& path, const ZoneTable& table) {
    IniFile ini(path);
    return static_cast<bool>(StoreZones(ini, table));
}

QJsonObject ParseJson(const std::string& text) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
    return doc.object();
}

// A stream built packet by packet, with the byte position of every 0-degree marker.
class Stream {
public:
    void Samples(int count, int distance, int angle) {
        for (int i = 0; i < count; ++i) Add(laserencode::EncodePacket4(distance, angle));
    }
    void Marker() {
        markers.push_back(bytes.size());
        Add(laserencode::EncodePacket4(static_cast<int>(markers.size()), scanner::kInfoZeroDegree));
    }
    // A status line as the scanner sends it: its record's code reads like a bearing of 15.25
    // degrees and its first number like a distance of 10 cm.
    void StatusLine() {
        const std::string line = "#CARTF4,10,0x1,5,285\r\n\x80";
        bytes.insert(bytes.end(), line.begin(), line.end());
    }
    bool WriteTo(const QString& path) const {
        std::ofstream out(path.toStdString(), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(out);
    }

    Bytes bytes;
    std::vector<size_t> markers;

private:
    void Add(const laserencode::Packet4& p) { bytes.insert(bytes.end(), p.begin(), p.end()); }
};

class ZonesCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Group 1 output 1: a square ahead of the scanner, sensitivity 3. Group 2 output 3: a
        // full circle of 3 m around the scanner, sensitivity 1.
        table.zones[ZoneIndex(0, 0)] = Polygon({-100, -100, 100, -100, 100, 100, -100, 100}, 3);
        table.zones[ZoneIndex(1, 2)] = Sector(300, 180, 1);
        ASSERT_TRUE(WriteZones(ini, table));

        stream.Samples(10, 50, 0);  // before the first marker: no revolution of its own
        stream.Marker();
        stream.Samples(3, 50, 0);  // revolution 0: 3 in both
        stream.Marker();
        stream.Samples(2, 1000, 2880);  // revolution 1: none, and a status line
        stream.StatusLine();
        stream.Marker();
        stream.Samples(5, 50, 0);  // revolution 2: 5 in both
        stream.Marker();
        stream.Samples(5, 50, 0);  // revolution 3: 5 in both, 2 behind in the circle only
        stream.Samples(2, 150, 2880);
        stream.Marker();
        stream.Samples(10, 50, 0);  // after the last marker: no complete revolution
        ASSERT_TRUE(stream.WriteTo(recording));
    }

    std::string Std(const QString& path) const { return path.toStdString(); }
    double Seconds(size_t marker, double baud) const {
        return static_cast<double>(stream.markers[marker]) * 10 / baud;
    }

    QTemporaryDir dir;
    QString ini = dir.filePath("zones.ini");
    QString recording = dir.filePath("run.bin");
    ZoneTable table;
    Stream stream;
};

TEST_F(ZonesCheckTest, EachZoneIsSummedOverTheCompleteRevolutions) {
    const Result result = RunCli({"check", "--json", Std(ini), Std(recording)});
    EXPECT_EQ(result.code, zonescli::kTripped) << result.err;
    const QJsonArray zones = ParseJson(result.out)["zones"].toArray();
    ASSERT_EQ(zones.size(), 2);
    struct Expected {
        int group, output;
        const char* shape;
        int maxHits;
    } expected[] = {{1, 1, "polygon", 5}, {2, 3, "sector", 7}};
    for (int i = 0; i < 2; ++i) {
        const QJsonObject zone = zones[i].toObject();
        const Expected& e = expected[i];
        EXPECT_EQ(zone["group"].toInt(), e.group);
        EXPECT_EQ(zone["output"].toInt(), e.output);
        EXPECT_EQ(zone["shape"].toString(), e.shape);
        EXPECT_EQ(zone["revolutions"].toInt(), 4);
        // Revolution 1 holds no sample in either; the status line is none.
        EXPECT_EQ(zone["tripped"].toInt(), 3) << e.shape;
        EXPECT_EQ(zone["max_hits"].toInt(), e.maxHits);
        EXPECT_EQ(zone["first"]["revolution"].toInt(), 0);
        EXPECT_NEAR(zone["first"]["time_s"].toDouble(), Seconds(0, 230400), 1e-6);
        EXPECT_EQ(zone["last"]["revolution"].toInt(), 3);
        EXPECT_NEAR(zone["last"]["time_s"].toDouble(), Seconds(3, 230400), 1e-6);
        EXPECT_EQ(zone["longest_run"].toInt(), 2);
    }
}

TEST_F(ZonesCheckTest, TextLinesGroupsAndTheLineRate) {
    const Result text = RunCli({"check", "--baud", "115200", Std(ini), Std(recording)});
    EXPECT_EQ(text.code, zonescli::kTripped);
    char seconds[2][32];
    for (int i = 0; i < 2; ++i)
        std::snprintf(seconds[i], sizeof seconds[i], "%.3f", Seconds(i == 0 ? 0 : 3, 115200));
    const auto line = [&seconds](int maxHits) {
        return "revolutions 4, tripped 3, max hits " + std::to_string(maxHits) + ", first 0 at " +
               seconds[0] + " s, last 3 at " + seconds[1] + " s, longest run 2\n";
    };
    EXPECT_EQ(text.out,
              "group 1 output 1 polygon: " + line(5) + "group 2 output 3 sector: " + line(7));

    // A zone nothing enters passes; so does a group without zones, with a word on stderr.
    ProtectZone& square = table.zones[ZoneIndex(0, 0)];
    square = Polygon({-100, 200, 100, 200, 100, 300, -100, 300}, 1);
    ASSERT_TRUE(WriteZones(ini, table));
    const Result clear = RunCli({"check", "--group", "1", "--json", Std(ini), Std(recording)});
    EXPECT_EQ(clear.code, zonescli::kOk) << clear.err;
    const QJsonObject zone = ParseJson(clear.out)["zones"].toArray()[0].toObject();
    EXPECT_EQ(zone["tripped"].toInt(), 0);
    EXPECT_EQ(zone["max_hits"].toInt(), 0);
    EXPECT_TRUE(zone["first"].isNull());
    EXPECT_TRUE(zone["last"].isNull());
    EXPECT_EQ(zone["longest_run"].toInt(), 0);
    const Result empty = RunCli({"check", "--group", "3", "--json", Std(ini), Std(recording)});
    EXPECT_EQ(empty.code, zonescli::kOk);
    EXPECT_EQ(ParseJson(empty.out)["zones"].toArray().size(), 0);
    EXPECT_NE(empty.err.find("holds no zone to check"), std::string::npos) << empty.err;
}

TEST_F(ZonesCheckTest, FilesThatCannotBeUsedAndBadOptions) {
    ZoneTable refused = table;
    refused.zones[ZoneIndex(3, 1)] = Polygon({300, 401, 0, 0, 10, 0}, 5);
    ASSERT_TRUE(WriteZones(dir.filePath("refused.ini"), refused));
    Stream noTurn;
    noTurn.Samples(10, 50, 0);
    noTurn.Marker();
    noTurn.Samples(10, 50, 0);
    ASSERT_TRUE(noTurn.WriteTo(dir.filePath("one-marker.bin")));
    const std::string good = Std(ini);
    const std::string rec = Std(recording);
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* said;
    } cases[] = {
        {{"check", good, Std(dir.filePath("missing.bin"))}, 1, "cannot read"},
        {{"check", Std(dir.filePath("missing.ini")), rec}, 1, "cannot read"},
        {{"check", Std(dir.filePath("refused.ini")), rec}, 1, "Poly10"},
        {{"check", good, Std(dir.filePath("one-marker.bin"))}, 1, "no complete revolution"},
        {{"check", good}, 2, "usage:"},
        {{"check", "--group", "0", good, rec}, 2, "usage:"},
        {{"check", "--group", "5", good, rec}, 2, "usage:"},
        {{"check", "--baud", "0", good, rec}, 2, "usage:"},
        {{"check", "--dry-run", good, rec}, 2, "usage:"},
        {{"push", "--json", "/dev/null", good}, 2, "usage:"},
        {{"verify", "--group", "1", "/dev/null", good}, 2, "usage:"},
    };
    for (const Case& c : cases) {
        const Result result = RunCli(c.args);
        EXPECT_EQ(result.code, c.code) << testing::PrintToString(c.args);
        EXPECT_NE(result.err.find(c.said), std::string::npos) << result.err;
        EXPECT_TRUE(result.out.empty()) << result.out;
    }
}

// Recordings of the simulated zone scanner, checked by the real program and compared with what
// the zone tool's overlay counts in the same revolutions.
class ZonesCheckOnSimulator : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        graphtest::EnsureGuiApp();
        folder = new QTemporaryDir;
        ASSERT_EQ(RecordZoneScanner(VYK_RECORD_PATH, folder->filePath("run").toStdString()), "");
    }
    static void TearDownTestSuite() {
        delete folder;
        folder = nullptr;
    }

    static std::string Archive() { return folder->filePath("run.Zip").toStdString(); }

    // The zone tool's revolutions of the recording: the live loop's decoder over all its bytes,
    // each revolution between two markers drawn on its own.
    static std::vector<std::vector<ScanPoint>> Revolutions() {
        struct Collect : record::StreamSink {
            void Append(const uint8_t* b, size_t n) override {
                bytes.insert(bytes.end(), b, b + n);
            }
            void EndEntry() override {}
            bool Failed() const override { return false; }
            Bytes bytes;
        } collect;
        std::ostringstream quiet;
        ProgressBar progress(quiet, false);
        std::string error;
        EXPECT_TRUE(decodecli::FeedInput(Archive(), collect, progress, error)) << error;
        StreamDecoder decoder;
        std::vector<ScanPoint> points(static_cast<size_t>(decoder.RoomFor(collect.bytes.size())) +
                                      1);
        int n = decoder.Decode(collect.bytes.data(), collect.bytes.size(), points.data(),
                               static_cast<int>(points.size()));
        n += decoder.EndBuffer(points.data() + n, static_cast<int>(points.size()) - n);
        std::vector<std::vector<ScanPoint>> revolutions;
        int open = -1;
        for (int k = 0; k < n; ++k) {
            if (points[k].angle != scanner::kInfoZeroDegree)
                continue;
            if (open >= 0) {
                // A sample ahead of the revolution: the view never takes a marker at index 0.
                std::vector<ScanPoint> r{ScanPoint{}};
                r.insert(r.end(), points.begin() + open, points.begin() + k + 1);
                revolutions.push_back(std::move(r));
            }
            open = k;
        }
        return revolutions;
    }

    static QTemporaryDir* folder;
};

QTemporaryDir* ZonesCheckOnSimulator::folder = nullptr;

Result RunProgram(const std::vector<std::string>& args) {
    std::vector<std::string> argv{VYK_ZONES_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    SpawnedProgram program(argv);
    Result result;
    result.out = program.ReadAll(60);
    result.code = program.WaitExit(10);
    return result;
}

TEST_F(ZonesCheckOnSimulator, CountsAreTheOverlaysAndTheExitFollowsTheZones) {
    ZoneTable table;
    // Group 1: across the moving object's walk; a narrow sector ahead that nothing comes near
    // (narrow enough that the live view's point for a status line, 15 degrees off, stays out);
    // around a stretch of the room's back wall. Group 2: the clear space behind the scanner.
    table.zones[ZoneIndex(0, 0)] = Polygon({-20, 100, 50, 100, 50, 210, -20, 210}, 5);
    table.zones[ZoneIndex(0, 1)] = Sector(100, 10, 1);
    table.zones[ZoneIndex(0, 2)] = Polygon({-100, -280, 100, -280, 100, -320, -100, -320}, 5);
    table.zones[ZoneIndex(1, 0)] =
        Polygon({-100, -100, 100, -100, 100, -180, 0, -230, -100, -180}, 1);
    const QString ini = folder->filePath("zones.ini");
    ASSERT_TRUE(WriteZones(ini, table));

    const Result all =
        RunProgram({"check", "--json", "--baud", "115200", ini.toStdString(), Archive()});
    ASSERT_EQ(all.code, zonescli::kTripped) << all.out;
    const QJsonArray zones = ParseJson(all.out)["zones"].toArray();
    ASSERT_EQ(zones.size(), 4);

    const std::vector<std::vector<ScanPoint>> revolutions = Revolutions();
    ASSERT_GT(revolutions.size(), 30u);
    QImage target(1106, 598, QImage::Format_RGB32);
    TVykGraph graph(&target, 1, vykgraph::kViewCircle, GraphProgram::ZoneTool);
    graph.SetView(vykgraph::kViewCircle, 1, target.width(), target.height());
    for (const QJsonValue& value : zones) {
        const QJsonObject zone = value.toObject();
        const int z = ZoneIndex(zone["group"].toInt() - 1, zone["output"].toInt() - 1);
        const int slot = z % kZoneOutputs;
        graph.SetZone(slot, table.zones[z]);
        int tripped = 0, maxHits = 0, run = 0, longest = 0, first = -1, last = -1;
        for (size_t r = 0; r < revolutions.size(); ++r) {
            graph.Draw(revolutions[r].data(), 0, static_cast<int>(revolutions[r].size()));
            const int hits = graph.ZoneHits(slot);
            maxHits = std::max(maxHits, hits);
            if (hits >= table.zones[z].IOTCount) {
                ++tripped;
                first = first < 0 ? static_cast<int>(r) : first;
                last = static_cast<int>(r);
                longest = std::max(longest, ++run);
            } else {
                run = 0;
            }
        }
        graph.SetZone(slot, ProtectZone{});
        SCOPED_TRACE("zone " + std::to_string(z));
        EXPECT_EQ(zone["revolutions"].toInt(), static_cast<int>(revolutions.size()));
        EXPECT_EQ(zone["tripped"].toInt(), tripped);
        EXPECT_EQ(zone["max_hits"].toInt(), maxHits);
        EXPECT_EQ(zone["first"]["revolution"].toInt(-1), first);
        EXPECT_EQ(zone["last"]["revolution"].toInt(-1), last);
        EXPECT_EQ(zone["longest_run"].toInt(), longest);
    }

    const int turns = static_cast<int>(revolutions.size());
    const QJsonObject walk = zones[0].toObject();
    EXPECT_GT(walk["first"]["revolution"].toInt(), 0) << "the object walks in";
    EXPECT_LT(walk["last"]["revolution"].toInt(), turns - 1) << "and out again";
    EXPECT_GT(walk["tripped"].toInt(), 5);
    // The scanner turns 10 times a second; times are bytes over the line's 11520 bytes a second.
    const double span = walk["last"]["time_s"].toDouble() - walk["first"]["time_s"].toDouble();
    const int turnsBetween =
        walk["last"]["revolution"].toInt() - walk["first"]["revolution"].toInt();
    EXPECT_NEAR(span, turnsBetween * 0.1, 0.02 * turnsBetween + 0.01);
    EXPECT_EQ(zones[1].toObject()["tripped"].toInt(), 0);
    EXPECT_EQ(zones[2].toObject()["tripped"].toInt(), turns) << "the wall is always there";
    EXPECT_EQ(zones[3].toObject()["tripped"].toInt(), 0);

    const Result behind = RunProgram({"check", "--group", "2", ini.toStdString(), Archive()});
    EXPECT_EQ(behind.code, zonescli::kOk) << behind.out;
    EXPECT_EQ(behind.out.rfind("group 2 output 1 polygon: revolutions ", 0), 0u) << behind.out;
}

}  // namespace
