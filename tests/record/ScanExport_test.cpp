#include "ScanExport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QTemporaryDir>
#include <cerrno>
#include <vector>

#include "RecordTestSupport.h"
#include "SmallTmpfs.h"
#include "SystemError.h"

using record::ExportResult;

namespace {

constexpr int16_t kMarker = record::kRevolutionMarker;

ScanPoint Sample(int distance, int angle) {
    return ScanPoint{0, static_cast<int16_t>(angle), distance, 0, 0, 0};
}

// count samples at distance 100 + i, with markers at the given indices.
std::vector<ScanPoint> Scan(int count, std::initializer_list<int> markers) {
    std::vector<ScanPoint> points;
    for (int i = 0; i < count; ++i) points.push_back(Sample(100 + i, i % 5760));
    for (int at : markers) points[at] = Sample(at % 2048, kMarker);
    return points;
}

// The rows after the heading; the last one ends with CR LF too.
QStringList Rows(const QString& text) {
    QStringList lines = text.split("\r\n");
    if (lines.back().isEmpty())
        lines.removeLast();
    return lines.mid(lines.indexOf(QString::fromUtf8("距离(厘米)  角度")) + 1);
}

TEST(ExportRange, TheNewestRevolutionBetweenMarkersAfterIndexZero) {
    const struct {
        int count;
        std::initializer_list<int> markers;
        bool exported;
        int start;
        int end;
    } cases[] = {
        {1000, {100, 500}, true, 100, 500},
        {1000, {100, 500, 900}, true, 500, 900},
        {1000, {300}, true, 0, 300},
        {1000, {0}, false, 0, 0},
        {1000, {}, false, 0, 0},
        {1000, {0, 999}, true, 0, 999},
        {0, {}, false, 0, 0},
    };
    for (const auto& c : cases) {
        const auto points = Scan(c.count, c.markers);
        int start = -1;
        int end = -1;
        ASSERT_EQ(record::FindExportRange(points.data(), c.count, start, end), c.exported)
            << c.count;
        if (c.exported) {
            EXPECT_EQ(start, c.start);
            EXPECT_EQ(end, c.end);
        }
    }
}

TEST(ExportText, CountsAndListsTheValidSamplesOfTheRevolution) {
    auto points = Scan(1000, {100, 500});
    // 19 of the 399 samples between the markers carry no distance or an info code.
    for (int i = 110; i < 120; ++i) points[i].distance = 0;
    for (int i = 200; i < 205; ++i) points[i].distance = -3;
    for (int i = 300; i < 304; ++i) points[i].angle = 5769;
    const QString text = record::ExportText(points.data(), 1000);
    EXPECT_TRUE(text.contains(QString::fromUtf8("\r\n数据个数 ： 380 \r\n\r\n")));
    const QStringList rows = Rows(text);
    EXPECT_EQ(rows.size(), 380);
    EXPECT_EQ(rows.front(), "   201,     6.312") << "the marker at 100 is no row";
    EXPECT_EQ(rows.back(), "   599,     31.188");
    EXPECT_TRUE(text.endsWith("   599,     31.188\r\n")) << "nothing after the last row";
}

TEST(ExportText, RowsHoldTheDistanceInSixPlacesAndTheAngleWithThreeDecimals) {
    const struct {
        int distance;
        int angle;
        const char* row;
    } cases[] = {
        {1234, 1440, "  1234,     90.000"},
        {5, 1, "     5,     0.062"},
        {123456, 5759, "123456,     359.938"},
        {1, 0, "     1,     0.000"},
    };
    for (const auto& c : cases) {
        std::vector<ScanPoint> points = {Sample(0, 0), Sample(c.distance, c.angle),
                                         Sample(1, kMarker)};
        EXPECT_EQ(Rows(record::ExportText(points.data(), 3)), QStringList{c.row}) << c.row;
    }
}

TEST(ExportText, TheWholeLayout) {
    std::vector<ScanPoint> points = {Sample(7, kMarker), Sample(1234, 1440), Sample(1, kMarker)};
    const QStringList lines = record::ExportText(points.data(), 3).split("\r\n");
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[0], "") << "the header opens with an empty line";
    EXPECT_FALSE(lines[1].isEmpty()) << "the company's name";
    EXPECT_TRUE(lines[2].startsWith(QString::fromUtf8("网址:")));
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], QString::fromUtf8("数据个数 ： 1 "));
    EXPECT_EQ(lines[5], "");
    EXPECT_EQ(lines[6], QString::fromUtf8("距离(厘米)  角度"));
    EXPECT_EQ(lines[7], "  1234,     90.000");
    EXPECT_EQ(lines[8], "");
}

TEST(ExportText, NothingWithoutARevolutionOrWithoutADistanceInIt) {
    std::vector<ScanPoint> noDistance = {Sample(0, 100), Sample(0, 200), Sample(1, kMarker)};
    EXPECT_TRUE(record::ExportText(noDistance.data(), 3).isEmpty());
    const auto onlyAtZero = Scan(100, {0});
    EXPECT_TRUE(record::ExportText(onlyAtZero.data(), 100).isEmpty());
    EXPECT_TRUE(record::ExportText(nullptr, 0).isEmpty());
}

// A replay's revolution, from its marker to the next one, or to the recording's end for the
// last: searched for markers after index 0 like the point buffer, the last gave nothing.
TEST(RevolutionText, EveryMeasuredSampleOfTheRevolutionGivenWhole) {
    const struct {
        const char* what;
        std::vector<ScanPoint> samples;
        int rows;
    } cases[] = {
        {"closed by the next marker", Scan(300, {0, 299}), 298},
        {"the recording's last", Scan(300, {0}), 299},
        {"only its marker", Scan(1, {0}), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const int count = static_cast<int>(c.samples.size());
        const QString text = record::RevolutionText(c.samples.data(), count);
        EXPECT_EQ(Rows(text).size(), c.rows);
        if (c.rows > 0) {
            EXPECT_TRUE(text.contains(QString::fromUtf8("数据个数 ： %1 ").arg(c.rows)));
            EXPECT_EQ(Rows(text).front(), "   101,     0.062");
        }
    }
}

class ExportFile : public ::testing::Test {
protected:
    void SetUp() override {
        oldTmp_ = qgetenv("TMPDIR");
        qputenv("TMPDIR", dir.path().toUtf8());
    }
    void TearDown() override { qputenv("TMPDIR", oldTmp_); }

    record::ExportOutcome Export() {
        const auto points = Scan(1000, {100, 500});
        return record::ExportScan(points.data(), 1000, [this](const QString& path) {
            opened << path;
            return true;
        });
    }
    QString Path() const { return dir.filePath("vykdata.txt"); }

    QTemporaryDir dir;
    QStringList opened;

private:
    QByteArray oldTmp_;
};

TEST_F(ExportFile, IsWrittenInTheTemporaryFolderInTheLocaleEncodingAndOpened) {
    WriteAll(Path(), QByteArray(100000, '#'));
    EXPECT_EQ(Export().result, ExportResult::Opened);
    EXPECT_EQ(opened, QStringList{Path()});
    const QByteArray bytes = ReadAll(Path());
    EXPECT_TRUE(bytes.contains(QString::fromUtf8("数据个数 ： 399 ").toUtf8()));
    EXPECT_FALSE(bytes.contains('#')) << "an earlier file is truncated";
    EXPECT_TRUE(bytes.endsWith("   599,     31.188\r\n"));
}

TEST_F(ExportFile, NeverWritesThroughALinkOrIntoAnotherUsersFile) {
    const QString target = dir.filePath("target");
    const QByteArray original = "someone else's";
    const struct {
        const char* what;
        bool needsRoot;
        std::function<void()> plant;
        int reason;
    } cases[] = {
        {"symbolic link", false, [&] { QFile::link(target, Path()); }, EEXIST},
        {"dangling symbolic link", false,
         [&] {
             QFile::remove(target);
             QFile::link(target, Path());
         },
         EEXIST},
        {"hard link", false,
         [&] { ASSERT_EQ(link(QFile::encodeName(target), QFile::encodeName(Path())), 0); }, EEXIST},
        {"FIFO", false, [&] { ASSERT_EQ(mkfifo(QFile::encodeName(Path()), 0600), 0); }, EEXIST},
        {"directory", false, [&] { QDir(dir.path()).mkdir("vykdata.txt"); }, EISDIR},
        {"another user's file", true,
         [&] {
             WriteAll(Path(), original);
             ASSERT_EQ(chown(QFile::encodeName(Path()), 65534, 65534), 0);
         },
         EPERM},
    };
    for (const auto& c : cases) {
        if (c.needsRoot && geteuid() != 0)
            continue;  // only root can give a file away
        WriteAll(target, original);
        c.plant();
        opened.clear();
        const record::ExportOutcome outcome = Export();
        EXPECT_EQ(outcome.result, ExportResult::Failed) << c.what;
        EXPECT_EQ(outcome.path, Path()) << c.what;
        EXPECT_EQ(outcome.reason.toStdString(), SystemErrorText(c.reason).toStdString()) << c.what;
        EXPECT_TRUE(opened.isEmpty()) << c.what;
        if (QFile::exists(target)) {
            EXPECT_EQ(ReadAll(target), original) << c.what;
        }
        QFile::remove(Path());
        QDir(dir.path()).rmdir("vykdata.txt");
        QFile::remove(target);
    }
    EXPECT_FALSE(QFile::exists(target)) << "a dangling link is not followed into a new file";
}

TEST_F(ExportFile, NothingToExportWritesAndOpensNothing) {
    const auto points = Scan(100, {0});
    EXPECT_EQ(record::ExportScan(points.data(), 100,
                                 [this](const QString& path) {
                                     opened << path;
                                     return true;
                                 })
                  .result,
              ExportResult::Nothing);
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_FALSE(QFile::exists(Path()));
}

// On a full disk the export truncated the earlier vykdata.txt, wrote part of the new one and
// opened that.
TEST_F(ExportFile, AFullDiskIsToldWithTheReasonAndTheEarlierFileStays) {
    SmallTmpfs disk;
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Refusal();
    qputenv("TMPDIR", disk.Path().toUtf8());
    const QString path = disk.FilePath("vykdata.txt");
    const QByteArray earlier = "an earlier export\r\n";
    // The export's text is some 8 KiB.
    for (const long freeBytes : {0L, 4096L}) {
        WriteAll(path, earlier);
        disk.Fill(freeBytes);
        const record::ExportOutcome outcome = Export();
        EXPECT_EQ(outcome.result, ExportResult::Failed) << freeBytes;
        EXPECT_EQ(outcome.reason.toStdString(), SystemErrorText(ENOSPC).toStdString());
        EXPECT_TRUE(opened.isEmpty()) << freeBytes;
        EXPECT_EQ(ReadAll(path), earlier) << freeBytes;
        EXPECT_EQ(QDir(disk.Path()).entryList(QDir::Files), QStringList{"vykdata.txt"})
            << "nothing is left beside";
        disk.Free();
    }
    EXPECT_EQ(Export().result, ExportResult::Opened);
    EXPECT_EQ(opened, QStringList{path});
    EXPECT_TRUE(ReadAll(path).endsWith("   599,     31.188\r\n"));
}

}  // namespace
