#include "RecordingMcap.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <cmath>
#include <cstdlib>
#include <ctime>

#include "McapReader.h"
#include "RecordTestSupport.h"
#include "RecordedScan.h"

namespace {

using namespace mixedscan;

// A recording of a dozen revolutions, exported and read back with the reference reader.
class RecordingMcapTest : public ::testing::Test {
protected:
    RecordingMcapTest() {
        EXPECT_TRUE(recorded_.opened) << recorded_.error.toStdString();
        revolutions_ = DecodedRevolutions(stream_.bytes, 6000);
        options_ = record::RecordingMcapOptions(set_, scanner::kConsoleBaud, 6000);
    }

    QStringList Files(const QString& folder) const {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden);
    }

    RecordedScan recorded_{12};
    const Stream& stream_ = recorded_.stream;
    const record::RecordingSet& set_ = recorded_.set;
    const record::RevolutionIndex& index_ = recorded_.index;
    QTemporaryDir out_;
    std::vector<std::vector<ScanPoint>> revolutions_;
    record::LaserScanMcapOptions options_;
};

TEST_F(RecordingMcapTest, TheStartIsTheFirstEntrysTimeLessItsDuration) {
    record::ZipReader zip(QFile::encodeName(recorded_.dir.filePath("run.Zip")).toStdString());
    ASSERT_GT(zip.EntryCount(), 0);
    EXPECT_LT(std::abs(zip.ModifiedTime(0) - std::time(nullptr)), 10);
    EXPECT_EQ(options_.start, static_cast<uint64_t>(zip.ModifiedTime(0)) * 1'000'000'000 -
                                  StampOf(0, zip.DeclaredSize(0), scanner::kConsoleBaud));
}

// Each message against the revolution of one decode over the whole stream it stands for.
TEST_F(RecordingMcapTest, ARangeHoldsTheCompleteRevolutionsChosen) {
    const int count = index_.Count();
    ASSERT_EQ(count, static_cast<int>(stream_.markers.size()));
    const struct {
        const char* what;
        record::RevolutionSpan span;
        int from, to;  // the messages' revolutions
    } cases[] = {
        {"one", record::RevolutionSpan::Of(set_, index_, 3, 3), 3, 3},
        {"a range across segments", record::RevolutionSpan::Of(set_, index_, 2, 7), 2, 7},
        // The last revolution ends with the stream: it is no complete one.
        {"to the last", record::RevolutionSpan::Of(set_, index_, 9, count - 1), 9, count - 2},
        {"the whole recording", record::RevolutionSpan::Whole(set_), 0, count - 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = out_.filePath("scan.mcap");
        const record::FeedOutcome outcome =
            record::WriteRecordingMcap(set_, c.span, options_, path);
        ASSERT_EQ(outcome.result, record::FeedResult::Done) << outcome.reason.toStdString();
        EXPECT_EQ(outcome.revolutions, static_cast<uint64_t>(c.to - c.from + 1));
        EXPECT_EQ(Files(out_.path()), QStringList{"scan.mcap"});
        const QJsonObject file = ReadMcap(path.toStdString());
        ASSERT_FALSE(file.isEmpty());
        const QJsonArray messages = file["messages"].toArray();
        ASSERT_EQ(messages.size(), c.to - c.from + 1);
        for (int r = c.from; r <= c.to; ++r) {
            SCOPED_TRACE("revolution " + std::to_string(r));
            const QJsonObject m = messages[r - c.from].toObject();
            const QJsonObject scan = m["scan"].toObject();
            const auto at = static_cast<size_t>(r);
            EXPECT_EQ(JsonStamp(scan), StampOf(options_.start, stream_.markers[at], options_.baud));
            EXPECT_FLOAT_EQ(JsonNumber(scan["scan_time"]),
                            (stream_.markers[at + 1] - stream_.markers[at]) * 10.0 / options_.baud);
            std::vector<double> ranges;
            for (const QJsonValue& v : scan["ranges"].toArray()) ranges.push_back(JsonNumber(v));
            EXPECT_EQ(ranges, ExpectedRanges(revolutions_[at], options_.bins));
        }
    }
}

// Neither a half file nor its temporary one may stay, and a file of the name keeps its bytes.
TEST_F(RecordingMcapTest, ACancelledOrFailedExportLeavesNothingBehind) {
    const struct {
        const char* what;
        bool existing;
        bool segmentGone;
        record::FeedResult result;
    } cases[] = {
        {"cancelled", false, false, record::FeedResult::Cancelled},
        {"cancelled over a file", true, false, record::FeedResult::Cancelled},
        {"a segment gone", false, true, record::FeedResult::Failed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString folder = out_.filePath(c.what);
        QDir().mkpath(folder);
        const QString path = QDir(folder).filePath("scan.mcap");
        if (c.existing)
            WriteAll(path, "old");
        const QString leftover = recorded_.Leftover();
        if (c.segmentGone)
            QFile::rename(leftover, leftover + ".away");
        int reports = 0;
        const bool cancel = c.result == record::FeedResult::Cancelled;
        const record::FeedOutcome outcome = record::WriteRecordingMcap(
            set_, record::RevolutionSpan::Whole(set_), options_, path,
            [&](uint64_t, uint64_t) { return !cancel || ++reports < 3; });
        if (c.segmentGone) {
            QFile::rename(leftover + ".away", leftover);
            EXPECT_TRUE(outcome.reason.contains(QFileInfo(leftover).fileName()))
                << outcome.reason.toStdString();
        }
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_EQ(Files(folder), c.existing ? QStringList{"scan.mcap"} : QStringList{});
        if (c.existing) {
            EXPECT_EQ(ReadAll(path), "old");
        }
    }
}

}  // namespace
