// vyk-decode --mcap on recordings written by TLogFile, read back with the reference MCAP reader
// and ROS 2 decoder and compared with the revolutions of one decode over the whole stream.

#include "McapExport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include "DecodeCli.h"
#include "Logfile.h"
#include "McapReader.h"
#include "MixedScanStream.h"
#include "ScannerInterface.h"
#include "SpawnedProgram.h"
#include "ZipArchive.h"

namespace {

using namespace mixedscan;

class McapExportTest : public ::testing::Test {
protected:
    // Archive times are local: a zone far from UTC shows a reader that forgets it.
    McapExportTest() {
        setenv("TZ", "CST-8", 1);
        tzset();
    }
    ~McapExportTest() override {
        unsetenv("TZ");
        tzset();
    }

    std::string Path(const QString& name) const { return dir_.filePath(name).toStdString(); }
    std::string Files() const {
        return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).join(' ').toStdString();
    }

    // Records the stream as the console does, in reads of 37 bytes into small segments, so
    // that packets are split between entries.
    std::string Record(const Bytes& bytes) const {
        const QString base = dir_.filePath("run");
        {
            record::TLogFile log(base, 64, 1500, record::kArchiveCount);
            for (size_t at = 0; at < bytes.size(); at += 37) {
                const int n = static_cast<int>(std::min<size_t>(37, bytes.size() - at));
                log.WriteStream(bytes.data() + at, n);
            }
        }
        return Path("run.Zip");
    }

    void WriteFile(const std::string& path, const Bytes& bytes) const {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }

    static int Run(const std::vector<std::string>& args, std::string* err = nullptr) {
        std::ostringstream out, errors;
        const int code = decodecli::Run(args, out, errors);
        if (err)
            *err = errors.str();
        return code;
    }

    QTemporaryDir dir_;
};

TEST_F(McapExportTest, TheRecordingIsSplitBetweenEntriesInsidePackets) {
    const Stream stream = MakeStream(6);
    record::ZipReader zip(Record(stream.bytes));
    ASSERT_GE(zip.EntryCount(), 3);
    int cutInsidePacket = 0;
    for (int i = 0; i + 1 < zip.EntryCount(); ++i) {
        Bytes entry;
        ASSERT_EQ(zip.ReadEntry(i, 1 << 20, entry), record::ZipReader::Result::Ok);
        cutInsidePacket += !(entry.back() & 0x80);
    }
    EXPECT_GT(cutInsidePacket, 0);
}

// Every message against the revolutions of one decode over the whole stream: count, bins,
// stamps and the conventions, for a console recording and for a raw segment file.
TEST_F(McapExportTest, EveryRevolutionOfTheStreamIsOneScan) {
    const Stream stream = MakeStream(6);
    const std::string zip = Record(stream.bytes);
    const std::string raw = Path("raw.000");
    WriteFile(raw, stream.bytes);
    record::ZipReader entries(zip);
    ASSERT_GT(entries.EntryCount(), 0);
    EXPECT_LT(std::abs(entries.ModifiedTime(0) - std::time(nullptr)), 10);
    const uint64_t estimated = static_cast<uint64_t>(entries.ModifiedTime(0)) * 1'000'000'000 -
                               StampOf(0, entries.DeclaredSize(0), scanner::kConsoleBaud);

    const struct {
        std::string input;
        std::vector<std::string> options;
        int bins, baud;
        int32_t limit;
        std::string frame;
        uint64_t start;
    } cases[] = {
        {zip, {}, 720, scanner::kConsoleBaud, 6000, "laser", estimated},
        {zip,
         {"--bins", "7", "--baud", "115200", "--start", "1700000000.25", "--frame", "base_scan",
          "--limit", "3000"},
         7,
         115200,
         3000,
         "base_scan",
         1'700'000'000'250'000'000},
        {raw, {"--bins", "5760"}, 5760, scanner::kConsoleBaud, 6000, "laser", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input + " bins " + std::to_string(c.bins));
        const std::string out = Path("scan.mcap");
        std::vector<std::string> args = {"--mcap", out};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(c.input);
        std::string err;
        ASSERT_EQ(Run(args, &err), 0) << err;
        EXPECT_EQ(err, "");

        const auto revolutions = DecodedRevolutions(stream.bytes, c.limit);
        ASSERT_EQ(revolutions.size(), stream.markers.size() - 1);
        const QJsonObject file = ReadMcap(out);
        ASSERT_FALSE(file.isEmpty());
        EXPECT_EQ(file["header"]["profile"].toString(), "ros2");
        EXPECT_EQ(JsonUint64(file["statistics"]["messageCount"]), revolutions.size());
        const QJsonArray messages = file["messages"].toArray();
        ASSERT_EQ(static_cast<size_t>(messages.size()), revolutions.size());
        for (size_t i = 0; i < revolutions.size(); ++i) {
            SCOPED_TRACE("revolution " + std::to_string(i));
            const QJsonObject m = messages[static_cast<int>(i)].toObject();
            const QJsonObject scan = m["scan"].toObject();
            const uint64_t stamp = StampOf(c.start, stream.markers[i], c.baud);
            EXPECT_EQ(JsonUint64(m["logTime"]), stamp);
            EXPECT_EQ(JsonStamp(scan), stamp);
            EXPECT_EQ(scan["header"]["frame_id"].toString().toStdString(), c.frame);
            const double scanTime = (stream.markers[i + 1] - stream.markers[i]) * 10.0 / c.baud;
            EXPECT_FLOAT_EQ(JsonNumber(scan["scan_time"]), scanTime);
            EXPECT_FLOAT_EQ(JsonNumber(scan["time_increment"]), scanTime / c.bins);
            EXPECT_FLOAT_EQ(JsonNumber(scan["range_max"]), c.limit / 100.0);
            EXPECT_FLOAT_EQ(JsonNumber(scan["angle_increment"]), 2 * M_PI / c.bins);
            std::vector<double> ranges;
            for (const QJsonValue& r : scan["ranges"].toArray()) ranges.push_back(JsonNumber(r));
            EXPECT_EQ(ranges, ExpectedRanges(revolutions[i], c.bins));
        }
        EXPECT_EQ(Files(), "raw.000 run.Zip scan.mcap");
    }
}

TEST_F(McapExportTest, AStreamWithoutTwoMarkersGivesAnEmptyFileAndSaysSo) {
    const std::string raw = Path("one.000");
    WriteFile(raw, MakeStream(1).bytes);
    const std::string out = Path("none.mcap");
    std::string err;
    ASSERT_EQ(Run({"--mcap", out, raw}, &err), 0);
    EXPECT_NE(err.find("no complete revolution"), std::string::npos) << err;
    const QJsonObject file = ReadMcap(out);
    ASSERT_FALSE(file.isEmpty());
    EXPECT_EQ(JsonUint64(file["statistics"]["messageCount"]), 0u);
}

// A conversion that fails leaves no half file, and what the path held before stays.
TEST_F(McapExportTest, AFailedConversionLeavesNothingBehind) {
    const std::string raw = Path("run.000");
    WriteFile(raw, MakeStream(20).bytes);
    const std::string damaged = Path("damaged.Zip");
    WriteFile(damaged, {'P', 'K', 3, 4, 1, 2, 3});
    const std::string kept = Path("kept.mcap");
    std::ofstream(kept) << "old";
    const std::string before = Files();

    std::string err;
    EXPECT_EQ(Run({"--mcap", kept, damaged}, &err), 1);
    EXPECT_NE(err.find("cannot read " + damaged), std::string::npos) << err;
    EXPECT_EQ(Run({"--mcap", Path("missing/scan.mcap"), raw}, &err), 1);
    EXPECT_NE(err.find("No such file or directory"), std::string::npos) << err;

    // A full disk, as a file size limit: the write fails instead of the signal ending the tool.
    SpawnedProgram full({"/bin/sh", "-c", "ulimit -f 8 && exec \"$0\" --mcap \"$1\" \"$2\"",
                         VYK_DECODE_PATH, kept, raw},
                        true);
    const std::string output = full.ReadAll(60);
    EXPECT_EQ(full.WaitExit(10), 1) << output;
    EXPECT_NE(output.find("File too large"), std::string::npos) << output;

    EXPECT_EQ(Files(), before);
    QFile old(QString::fromStdString(kept));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "old");
}

TEST_F(McapExportTest, AnInterruptedConversionRemovesItsUnfinishedFile) {
    const Bytes turns = MakeStream(20).bytes;
    Bytes bytes;
    for (int i = 0; i < 1500; ++i) bytes.insert(bytes.end(), turns.begin(), turns.end());
    const std::string raw = Path("long.000");
    WriteFile(raw, bytes);
    SpawnedProgram convert({VYK_DECODE_PATH, "--mcap", Path("scan.mcap"), raw}, true);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Files().find("scan.mcap.") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        usleep(10000);
    usleep(200000);
    ASSERT_TRUE(convert.Running()) << "the conversion ended before the signal";
    convert.Terminate();
    EXPECT_EQ(convert.WaitExit(20), 128 + SIGTERM);
    EXPECT_EQ(Files(), "long.000");
}

TEST_F(McapExportTest, BadOptionsAreUsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {"--mcap", "o.mcap", "--bins", "0", "f"},
        {"--mcap", "o.mcap", "--bins", "5761", "f"},
        {"--mcap", "o.mcap", "--baud", "0", "f"},
        {"--mcap", "o.mcap", "--start", "-1", "f"},
        {"--mcap", "o.mcap", "--start", "1.", "f"},
        {"--mcap", "o.mcap", "--start", "1.0000000001", "f"},
        {"--mcap", "o.mcap", "--start", "2147483648", "f"},
        {"--mcap", "o.mcap", "--chunk", "100", "f"},
        {"--mcap", "", "f"},
        {"--mcap"},
        {"--bins", "720", "f"},
        {"--frame", "laser", "f"},
    };
    for (const auto& args : cases) {
        std::string err;
        EXPECT_EQ(Run(args, &err), 2) << args[args.size() - 1] << " " << args.size();
        EXPECT_NE(err.find("usage:"), std::string::npos);
    }
    EXPECT_EQ(Files(), "");
}

}  // namespace
