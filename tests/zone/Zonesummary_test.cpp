// The zones tried on a whole recording of the simulated zone scanner on the summary's worker:
// the counts are vyk-zones check's, an edit starts them again, and an unreadable recording is
// told, not passed off as a clean one.

#include "Zonesummary.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "IniFile.h"
#include "RecordingSet.h"
#include "SimRecording.h"
#include "SpawnedProgram.h"
#include "ZoneShapes.h"

namespace {

// Group 1: across the moving object's walk; a circle of 1 m around the scanner, which nothing
// enters; around a stretch of the back wall.
ZoneTable SiteZones() {
    ZoneTable table;
    table.zones[ZoneIndex(0, 0)] = Polygon({-20, 100, 50, 100, 50, 210, -20, 210}, 5);
    table.zones[ZoneIndex(0, 1)] = Sector(100, 180, 1);
    table.zones[ZoneIndex(0, 2)] = Polygon({-100, -280, 100, -280, 100, -320, -100, -320}, 5);
    return table;
}

class ZoneSummaryOnSimulator : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new QTemporaryDir;
        // Small segments, so that the stream runs on across entries.
        ASSERT_EQ(RecordZoneScanner(VYK_RECORD_PATH, folder->filePath("run").toStdString(),
                                    {"--segment-bytes", "20000"}),
                  "");
    }
    static void TearDownTestSuite() {
        delete folder;
        folder = nullptr;
    }

    static std::string Archive() { return folder->filePath("run.Zip").toStdString(); }

    void SetUp() override {
        QString error;
        ASSERT_TRUE(set.Open(QString::fromStdString(Archive()), error)) << error.toStdString();
        ASSERT_GT(set.SegmentCount(), 1);
    }

    // vyk-zones check's zones of group 1 for table on the same recording.
    static QJsonArray Checked(const ZoneTable& table) {
        const QString ini = folder->filePath("zones.ini");
        IniFile file(ini);
        EXPECT_TRUE(static_cast<bool>(StoreZones(file, table)));
        SpawnedProgram check(
            {VYK_ZONES_PATH, "check", "--json", "--group", "1", ini.toStdString(), Archive()});
        const std::string out = check.ReadAll(60);
        const int code = check.WaitExit(10);
        EXPECT_TRUE(code == 0 || code == 7) << code << out;
        return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object()["zones"].toArray();
    }

    static ZoneRecordingSummary::Progress Finished(const ZoneRecordingSummary& summary) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        ZoneRecordingSummary::Progress progress = summary.Current();
        while (!progress.done && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            progress = summary.Current();
        }
        EXPECT_TRUE(progress.done);
        return progress;
    }

    static void ExpectSame(const std::vector<ZoneSummary>& zones, const QJsonArray& checked) {
        ASSERT_EQ(zones.size(), static_cast<size_t>(checked.size()));
        for (size_t i = 0; i < zones.size(); ++i) {
            const ZoneSummary& s = zones[i];
            const QJsonObject c = checked[static_cast<int>(i)].toObject();
            SCOPED_TRACE("zone " + std::to_string(s.zone));
            EXPECT_EQ(s.zone, ZoneIndex(c["group"].toInt() - 1, c["output"].toInt() - 1));
            EXPECT_EQ(static_cast<int>(s.revolutions), c["revolutions"].toInt());
            EXPECT_EQ(static_cast<int>(s.tripped), c["tripped"].toInt());
            EXPECT_EQ(s.maxHits, c["max_hits"].toInt());
            EXPECT_EQ(s.first ? static_cast<int>(s.first->index) : -1,
                      c["first"]["revolution"].toInt(-1));
            EXPECT_EQ(s.last ? static_cast<int>(s.last->index) : -1,
                      c["last"]["revolution"].toInt(-1));
            EXPECT_EQ(static_cast<int>(s.longestRun), c["longest_run"].toInt());
        }
    }

    static QTemporaryDir* folder;
    record::RecordingSet set;
};

QTemporaryDir* ZoneSummaryOnSimulator::folder = nullptr;

TEST_F(ZoneSummaryOnSimulator, CountsAreThoseOfVykZonesCheck) {
    const ZoneTable table = SiteZones();
    ZoneRecordingSummary summary(set);
    summary.Start(table, ExistingZones(table, 0));
    const ZoneRecordingSummary::Progress progress = Finished(summary);
    EXPECT_TRUE(progress.error.isEmpty()) << progress.error.toStdString();
    ExpectSame(progress.zones, Checked(table));

    ASSERT_EQ(progress.zones.size(), 3u);
    const ZoneSummary& walk = progress.zones[0];
    EXPECT_GT(walk.tripped, 5u) << "the object walks through";
    EXPECT_LT(walk.tripped, walk.revolutions) << "and is not always there";
    EXPECT_EQ(progress.zones[2].tripped, progress.zones[2].revolutions) << "the wall is";
    EXPECT_EQ(ZoneSummaryText(walk),
              QStringLiteral("区域1: %1/%2 圈触发").arg(walk.tripped).arg(walk.revolutions));
    EXPECT_TRUE(ZoneSummaryText(progress.zones[2]).startsWith(QStringLiteral("区域3: ")));
}

TEST_F(ZoneSummaryOnSimulator, AnEditedZoneStartsTheCountAgain) {
    const ZoneTable before = SiteZones();
    ZoneRecordingSummary summary(set);
    summary.Start(before, ExistingZones(before, 0));
    // The walk zone moved out of the object's way while the first count may still run.
    ZoneTable after = before;
    after.zones[ZoneIndex(0, 0)] = Polygon({-20, 250, 50, 250, 50, 270, -20, 270}, 5);
    summary.Start(after, ExistingZones(after, 0));
    const ZoneRecordingSummary::Progress started = summary.Current();
    ASSERT_EQ(started.zones.size(), 3u);
    EXPECT_FALSE(started.done);
    EXPECT_EQ(started.zones[0].revolutions, 0u) << "nothing of the earlier count is left";

    const ZoneRecordingSummary::Progress progress = Finished(summary);
    ExpectSame(progress.zones, Checked(after));
    EXPECT_EQ(progress.zones[0].tripped, 0u);

    // The window asks at every redraw: the same zones go on, a changed one starts again.
    summary.Follow(before, 0);
    EXPECT_GT(Finished(summary).zones[0].tripped, 5u) << "back in the walk";
    summary.Follow(before, 0);
    EXPECT_TRUE(summary.Current().done) << "nothing changed";
    ZoneTable lessSensitive = before;
    lessSensitive.zones[ZoneIndex(0, 0)].IOTCount = 200;
    summary.Follow(lessSensitive, 0);
    EXPECT_EQ(summary.Current().zones[0].revolutions, 0u);
    EXPECT_EQ(Finished(summary).zones[0].tripped, 0u);
    summary.Follow(lessSensitive, 1);
    EXPECT_TRUE(Finished(summary).zones.empty()) << "group 2 has no zone";
}

// A recording that went away after it was opened once ended the count as if it held nothing.
TEST_F(ZoneSummaryOnSimulator, AnUnreadableRecordingIsTold) {
    const QString copy = folder->filePath("gone.Zip");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(Archive()), copy));
    record::RecordingSet gone;
    QString error;
    ASSERT_TRUE(gone.Open(copy, error)) << error.toStdString();
    ASSERT_TRUE(QFile::remove(copy));
    const ZoneTable table = SiteZones();
    ZoneRecordingSummary summary(gone);
    summary.Start(table, ExistingZones(table, 0));
    const ZoneRecordingSummary::Progress progress = Finished(summary);
    EXPECT_TRUE(progress.error.contains(copy)) << progress.error.toStdString();
    EXPECT_EQ(progress.zones[0].revolutions, 0u);
}

}  // namespace
