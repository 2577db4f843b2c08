#include "RecordingSet.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/time.h>

#include <QDir>
#include <QTemporaryDir>

#include "Leftovers.h"
#include "RecordTestSupport.h"
#include "RecordingSets.h"

namespace {

class RecordingSetTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return dir.filePath(name); }
    void Pack(const QString& archive, const QString& segment, const QByteArray& bytes,
              time_t modified = 0) {
        WriteAll(Path(segment), bytes);
        if (modified != 0) {
            const timeval times[2] = {{modified, 0}, {modified, 0}};
            utimes(QFile::encodeName(Path(segment)).constData(), times);
        }
        std::string error;
        ASSERT_TRUE(record::AppendFileToArchive(QFile::encodeName(Path(archive)).toStdString(),
                                                QFile::encodeName(Path(segment)).toStdString(),
                                                error));
        QFile::remove(Path(segment));
    }
    record::RecordingSet Opened(const QString& name) {
        record::RecordingSet set;
        QString error;
        EXPECT_TRUE(set.Open(Path(name), error))
            << name.toStdString() << ": " << error.toStdString();
        return set;
    }

    QTemporaryDir dir;
};

// Some 230 segments fill run.Zip and run.001.Zip and begin run.002.Zip; a crash left run.030.
TEST_F(RecordingSetTest, EveryArchiveAndLeftoverJoinsInRecordedOrderFromAnyMember) {
    const QByteArray stream = SimulatedStream(230 * 3100);
    const qsizetype tail = 3000;
    Record(Path("run"), stream.left(stream.size() - tail), 2048);
    ASSERT_TRUE(QFileInfo::exists(Path("run.002.Zip")));
    const int packed = static_cast<int>(Entries(Path("run.002.Zip")).size());
    const QString leftover = record::SegmentName(Path("run"), packed);
    WriteAll(leftover, stream.right(tail));

    for (const QString& member : {QString("run.Zip"), QString("run.001.Zip"),
                                  QString("run.002.Zip"), QFileInfo(leftover).fileName()}) {
        SCOPED_TRACE(member.toStdString());
        const record::RecordingSet set = Opened(member);
        ASSERT_EQ(set.SegmentCount(), 200 + packed + 1);
        EXPECT_EQ(set.At(0).path, Path("run.Zip"));
        EXPECT_EQ(set.At(100).path, Path("run.001.Zip"));
        EXPECT_EQ(set.At(100).entry, 0);
        EXPECT_EQ(set.At(100).name, "run.000");
        EXPECT_EQ(set.At(200 + packed).path, leftover);
        EXPECT_EQ(set.At(200 + packed).entry, -1);
        EXPECT_EQ(set.TotalBytes(), static_cast<uint64_t>(stream.size()));
        EXPECT_TRUE(Joined(set) == stream);
    }
}

// After run.019.Zip the recorder refilled run.Zip and run.001.Zip: they are the newest.
TEST_F(RecordingSetTest, AWrappedRingIsReadOldestArchiveFirst) {
    const time_t start = 1700000000;
    std::vector<int> recorded;
    for (int k = 2; k < record::kArchiveCount; ++k) recorded.push_back(k);
    recorded.push_back(0);
    recorded.push_back(1);
    for (size_t i = 0; i < recorded.size(); ++i) {
        const QString archive = QFileInfo(record::ArchiveName(Path("run"), recorded[i])).fileName();
        Pack(archive, "run.000", Pattern(100, static_cast<int>(i)),
             start + 3600 * static_cast<time_t>(i));
    }
    QByteArray expected;
    for (size_t i = 0; i < recorded.size(); ++i) expected += Pattern(100, static_cast<int>(i));
    const record::RecordingSet set = Opened("run.005.Zip");
    ASSERT_EQ(set.SegmentCount(), record::kArchiveCount);
    EXPECT_EQ(set.At(0).path, record::ArchiveName(Path("run"), 2));
    EXPECT_EQ(set.At(record::kArchiveCount - 1).path, record::ArchiveName(Path("run"), 1));
    EXPECT_TRUE(Joined(set) == expected);
}

// Without the full ring the names give the order, whatever the files' times say (a copy).
TEST_F(RecordingSetTest, AnUnwrappedRecordingKeepsArchiveOrderWhateverTheTimes) {
    Pack("run.001.Zip", "run.000", Pattern(100, 1), 1700000000);
    Pack("run.Zip", "run.000", Pattern(100, 0), 1700009000);
    const record::RecordingSet set = Opened("run.Zip");
    ASSERT_EQ(set.SegmentCount(), 2);
    EXPECT_TRUE(Joined(set) == Pattern(100, 0) + Pattern(100, 1));
}

// A crash between packing run.001 and deleting it must not replay its bytes twice; a file
// of the same name with other bytes is a later pass's and is read.
TEST_F(RecordingSetTest, ALeftoverIsReadOnceAndOnlyWhenItIsNotAlreadyPacked) {
    const struct {
        const char* name;
        QByteArray leftover;
        int segments;
    } cases[] = {
        {"same bytes", Pattern(200, 1), 2},
        {"other bytes", Pattern(200, 9), 3},
        {"other size", Pattern(150, 1), 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        Pack("run.Zip", "run.000", Pattern(200, 0));
        Pack("run.Zip", "run.001", Pattern(200, 1));
        WriteAll(Path("run.001"), c.leftover);
        const record::RecordingSet set = Opened("run.Zip");
        EXPECT_EQ(set.SegmentCount(), c.segments);
        if (c.segments == 3) {
            EXPECT_EQ(set.At(2).path, Path("run.001"));
        }
    }
}

TEST_F(RecordingSetTest, ARawFileAloneIsASetOfOneSegment) {
    WriteAll(Path("capture.bin"), Pattern(500));
    const record::RecordingSet set = Opened("capture.bin");
    ASSERT_EQ(set.SegmentCount(), 1);
    EXPECT_EQ(set.At(0).entry, -1);
    EXPECT_EQ(set.At(0).name, "capture.bin");
    EXPECT_TRUE(Joined(set) == Pattern(500));
}

TEST_F(RecordingSetTest, WhatCannotBeOpenedIsRefusedWithItsReason) {
    WriteAll(Path("bad.Zip"), "not an archive at all");
    mkfifo(QFile::encodeName(Path("pipe.Zip")).constData(), 0600);
    const struct {
        const char* name;
        const char* reason;
    } cases[] = {
        {"missing.Zip", "no such file"},
        {"pipe.Zip", "not a file"},
        {"bad.Zip", "not a ZIP archive"},
    };
    for (const auto& c : cases) {
        record::RecordingSet set;
        QString error;
        EXPECT_FALSE(set.Open(Path(c.name), error)) << c.name;
        EXPECT_TRUE(error.contains(c.reason)) << c.name << ": " << error.toStdString();
        EXPECT_EQ(set.SegmentCount(), 0);
    }
}

// One damaged archive of the set must not hide the others.
TEST_F(RecordingSetTest, ADamagedArchiveIsLeftOutAndNamedWhileTheRestIsRead) {
    Pack("run.Zip", "run.000", Pattern(100, 0));
    WriteAll(Path("run.001.Zip"), "damaged");
    Pack("run.002.Zip", "run.000", Pattern(100, 2));
    const record::RecordingSet set = Opened("run.Zip");
    EXPECT_EQ(set.SegmentCount(), 2);
    ASSERT_EQ(set.Problems().size(), 1);
    EXPECT_TRUE(set.Problems()[0].startsWith(Path("run.001.Zip")));
    EXPECT_TRUE(Joined(set) == Pattern(100, 0) + Pattern(100, 2));
}

TEST_F(RecordingSetTest, ASegmentTooLargeForTheBudgetIsNotRead) {
    Pack("run.Zip", "run.000", Pattern(1000));
    const record::RecordingSet set = Opened("run.Zip");
    std::vector<uint8_t> bytes;
    QString error;
    EXPECT_FALSE(set.ReadSegment(0, 999, bytes, error));
    EXPECT_TRUE(error.contains("too large"));
    EXPECT_TRUE(set.ReadSegment(0, 1000, bytes, error)) << error.toStdString();
}

}  // namespace
