#include "RevolutionCsv.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <iostream>

#include "RecordTestSupport.h"
#include "RecordedScan.h"
#include "SmallTmpfs.h"

namespace {

using namespace mixedscan;

constexpr double kByteRate = 23040;

struct Row {
    int revolution;
    double seconds;
    double degrees;
    int distance;
    double x;
    double y;
};

// The rows revolution r of one decode over the whole stream gives: its measured samples, a
// status line's record (whose code looks like a bearing) none of them.
std::vector<Row> ExpectedRows(const std::vector<ScanPoint>& samples, int r, uint64_t marker) {
    std::vector<Row> rows;
    for (const ScanPoint& p : samples) {
        const bool status =
            p.angle >= scanner::kStatusCodeFirst && p.angle <= scanner::kStatusCodeLast;
        if (p.angle < 0 || p.angle > scanner::kMaxMeasurementAngle || status || p.distance <= 0)
            continue;
        const double bearing = p.angle * M_PI / 2880;
        rows.push_back({r, marker / kByteRate, p.angle / 16.0, p.distance,
                        p.distance * std::sin(bearing), p.distance * std::cos(bearing)});
    }
    return rows;
}

// A recording of a dozen revolutions whose last segment is a leftover file.
class RevolutionCsvTest : public ::testing::Test {
protected:
    RevolutionCsvTest() {
        EXPECT_TRUE(recorded_.opened) << recorded_.error.toStdString();
        EXPECT_EQ(recorded_.set.At(recorded_.set.SegmentCount() - 1).entry, -1);
        revolutions_ = DecodedRevolutions(stream_.bytes, 6000, true);
    }

    std::vector<Row> Expected(int first, int last) const {
        std::vector<Row> rows;
        for (int r = first; r <= last; ++r) {
            const auto more = ExpectedRows(revolutions_[static_cast<size_t>(r)], r + 1,
                                           stream_.markers[static_cast<size_t>(r)]);
            rows.insert(rows.end(), more.begin(), more.end());
        }
        return rows;
    }

    // The header and the rows of a written file.
    static std::vector<Row> Read(const QString& path, QString& header) {
        QStringList lines = QString::fromLatin1(ReadAll(path)).split('\n');
        EXPECT_EQ(lines.takeLast(), "");  // every line ends
        header = lines.isEmpty() ? QString() : lines.takeFirst();
        std::vector<Row> rows;
        for (const QString& line : lines) {
            const QStringList f = line.split(',');
            if (f.size() != 6) {
                ADD_FAILURE() << line.toStdString();
                continue;
            }
            rows.push_back({f[0].toInt(), f[1].toDouble(), f[2].toDouble(), f[3].toInt(),
                            f[4].toDouble(), f[5].toDouble()});
        }
        return rows;
    }

    // The file holds the header and the rows of revolutions first..last.
    void ExpectRows(const QString& path, int first, int last) const {
        QString header;
        const std::vector<Row> rows = Read(path, header);
        EXPECT_EQ(header, "revolution,time_s,angle_deg,distance_cm,x_cm,y_cm");
        const std::vector<Row> expected = Expected(first, last);
        ASSERT_EQ(rows.size(), expected.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE("row " + std::to_string(i));
            EXPECT_EQ(rows[i].revolution, expected[i].revolution);
            EXPECT_NEAR(rows[i].seconds, expected[i].seconds, 1e-6);
            EXPECT_EQ(rows[i].degrees, expected[i].degrees);
            EXPECT_EQ(rows[i].distance, expected[i].distance);
            EXPECT_NEAR(rows[i].x, expected[i].x, 0.01);
            EXPECT_NEAR(rows[i].y, expected[i].y, 0.01);
        }
    }

    record::FeedOutcome Write(const record::RevolutionSpan& span, const QString& path,
                              const record::ExportProgress& progress = {}) const {
        record::RevolutionCsvOptions options;
        options.byteRate = kByteRate;
        return record::WriteRevolutionCsv(set_, span, options, path, progress);
    }

    RecordedScan recorded_{12};
    const Stream& stream_ = recorded_.stream;
    const record::RecordingSet& set_ = recorded_.set;
    const record::RevolutionIndex& index_ = recorded_.index;
    std::vector<std::vector<ScanPoint>> revolutions_;
};

TEST_F(RevolutionCsvTest, ARangeGivesTheRowsOfItsRevolutions) {
    const int count = index_.Count();
    ASSERT_EQ(count, static_cast<int>(stream_.markers.size()));
    const struct {
        int first, last;  // asked
        int from, to;     // written
    } cases[] = {
        {0, 0, 0, 0},
        {2, 6, 2, 6},
        {count - 2, count - 1, count - 2, count - 1},  // the last ends with the stream
        {-5, 1, 0, 1},
        {4, 2, 4, 4},
        {count + 3, count + 9, count - 1, count - 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.first) + ".." + std::to_string(c.last));
        const QString path = recorded_.dir.filePath("range.csv");
        const record::FeedOutcome outcome =
            Write(record::RevolutionSpan::Of(set_, index_, c.first, c.last), path);
        ASSERT_EQ(outcome.result, record::FeedResult::Done) << outcome.reason.toStdString();
        EXPECT_EQ(outcome.revolutions, static_cast<uint64_t>(c.to - c.from + 1));
        ExpectRows(path, c.from, c.to);
    }
}

TEST_F(RevolutionCsvTest, TheWholeRecordingIsEveryRevolution) {
    const QString path = recorded_.dir.filePath("all.csv");
    const record::FeedOutcome outcome = Write(record::RevolutionSpan::Whole(set_), path);
    ASSERT_EQ(outcome.result, record::FeedResult::Done) << outcome.reason.toStdString();
    EXPECT_EQ(outcome.revolutions, static_cast<uint64_t>(index_.Count()));
    ExpectRows(path, 0, index_.Count() - 1);
}

// A revolution whose end the index has not reached yet is read as far as the index went, not to
// the end of the recording.
TEST_F(RevolutionCsvTest, WhileTheIndexGrowsItsLastRevolutionEndsWhereItWasRead) {
    record::RevolutionIndex growing(set_);
    while (growing.Count() < 3 && growing.Step()) {
    }
    ASSERT_FALSE(growing.Done());
    const int last = growing.Count() - 1;
    const record::RevolutionSpan span = record::RevolutionSpan::Of(set_, growing, last, last);
    EXPECT_EQ(span.to, growing.ScannedBytes());
    const QString path = recorded_.dir.filePath("growing.csv");
    ASSERT_EQ(Write(span, path).result, record::FeedResult::Done);
    QString header;
    const std::vector<Row> rows = Read(path, header);
    const std::vector<Row> whole = Expected(last, last);
    ASSERT_LT(rows.size(), whole.size());
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].degrees, whole[i].degrees) << i;
}

// A cancelled or failed export must not leave a half file in place of the old one.
TEST_F(RevolutionCsvTest, WhatEndsAnExportEarlyKeepsTheOldFile) {
    SmallTmpfs small;
    const struct {
        const char* what;
        bool fullDisk;
        bool segmentGone;
        bool cancel;
        record::FeedResult result;
        std::string reason;
    } cases[] = {
        {"cancelled", false, false, true, record::FeedResult::Cancelled, ""},
        {"a full disk", true, false, false, record::FeedResult::Failed, std::strerror(ENOSPC)},
        {"a segment gone", false, true, false, record::FeedResult::Failed, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.fullDisk && !small.Mounted()) {
            std::cout << "skipped: " << small.Refusal() << '\n';
            continue;
        }
        const QString folder = c.fullDisk ? small.Path() : recorded_.dir.filePath(c.what);
        QDir().mkpath(folder);
        const QString path = QDir(folder).filePath("range.csv");
        WriteAll(path, "old\n");
        if (c.fullDisk)
            small.Fill();
        const QString leftover = recorded_.Leftover();
        const std::string reason =
            c.segmentGone ? QFileInfo(leftover).fileName().toStdString() : c.reason;
        if (c.segmentGone)
            QFile::rename(leftover, leftover + ".away");
        int reports = 0;
        const record::FeedOutcome outcome =
            Write(record::RevolutionSpan::Whole(set_), path,
                  [&](uint64_t, uint64_t) { return !c.cancel || ++reports < 3; });
        if (c.segmentGone)
            QFile::rename(leftover + ".away", leftover);
        small.Free();
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_NE(outcome.reason.toStdString().find(reason), std::string::npos)
            << outcome.reason.toStdString();
        EXPECT_EQ(ReadAll(path), "old\n");
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"range.csv"});
    }
}

}  // namespace
