#include "Logfile.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>

#include "RecordTestSupport.h"
#include "SystemError.h"

using record::TLogFile;

namespace {

// Files of this process cannot grow beyond bytes while it lives, as on a full disk (EFBIG).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit saved_{};
    sighandler_t oldHandler_;
};

class Recording : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return dir.filePath(name); }
    QStringList Files() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    }
    static bool Write(TLogFile& log, const QByteArray& bytes) {
        return log.WriteStream(reinterpret_cast<const uint8_t*>(bytes.constData()),
                               static_cast<int>(bytes.size()));
    }

    QTemporaryDir dir;
};

TEST_F(Recording, NamesFollowTheChosenPathWithoutItsExtension) {
    const struct {
        const char* chosen;
        const char* archive;
        const char* segment;
    } cases[] = {
        {"run", "run.Zip", "run.000"},
        {"run.000", "run.Zip", "run.000"},
        {"run.Zip", "run.Zip", "run.000"},
        {"my.data.bin", "my.data.Zip", "my.data.000"},
        {"a.b/run", "a.b/run.Zip", "a.b/run.000"},
    };
    for (const auto& c : cases) {
        TLogFile log(Path(c.chosen), 16, 1000, 20);
        EXPECT_EQ(log.ArchivePath(), Path(c.archive)) << c.chosen;
        EXPECT_EQ(log.SegmentPath(), Path(c.segment)) << c.chosen;
    }
    EXPECT_TRUE(Files().isEmpty()) << "construction creates no file";
}

TEST_F(Recording, AShortRecordingLeavesOnlyTheArchiveWithItsOneSegment) {
    const QByteArray data = Pattern(100);
    {
        TLogFile log(Path("run"), record::kLogBufferSize, record::kSegmentLimit, 20);
        ASSERT_TRUE(Write(log, data));
        EXPECT_TRUE(Files().isEmpty()) << "100 bytes stay in the buffer";
    }
    EXPECT_EQ(Files(), QStringList{"run.Zip"});
    const auto entries = Entries(Path("run.Zip"));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].first, "run.000");
    EXPECT_EQ(entries[0].second, data);
}

TEST_F(Recording, NoDataLeavesNoFileAndAClosedLogTakesNoMore) {
    TLogFile log(Path("run"), 64, 1000, 20);
    log.CloseLog();
    EXPECT_TRUE(Files().isEmpty());
    EXPECT_FALSE(Write(log, Pattern(10)));
    EXPECT_TRUE(Files().isEmpty());
}

TEST_F(Recording, AChunkAtTheLimitFinishesTheSegmentAndStartsTheNext) {
    // A chunk larger than the buffer goes to disk at once, so ten of them fill the segment.
    TLogFile log(Path("run"), 64, 1000, 20);
    QByteArray all;
    for (int i = 0; i < 10; ++i) {
        const QByteArray chunk = Pattern(100, i);
        all += chunk;
        ASSERT_TRUE(Write(log, chunk));
    }
    EXPECT_EQ(ReadAll(Path("run.000")).size(), 1000);
    EXPECT_FALSE(QFile::exists(Path("run.Zip")))
        << "a segment at its limit waits for the next chunk";
    const QByteArray next = Pattern(100, 10);
    all += next;
    ASSERT_TRUE(Write(log, next));
    EXPECT_FALSE(QFile::exists(Path("run.000"))) << "the packed segment is deleted";
    EXPECT_EQ(ReadAll(Path("run.001")), next);
    EXPECT_EQ(log.SegmentPath(), Path("run.001"));
    log.CloseLog();
    const auto entries = Entries(Path("run.Zip"));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].first, "run.000");
    EXPECT_EQ(entries[0].second.size(), 1000);
    EXPECT_EQ(entries[1].first, "run.001");
    EXPECT_EQ(entries[0].second + entries[1].second, all);
    EXPECT_EQ(Files(), QStringList{"run.Zip"});
}

TEST_F(Recording, SmallChunksCollectInTheBufferBeforeTheyReachTheSegment) {
    TLogFile log(Path("run"), 64, 1000, 20);
    ASSERT_TRUE(Write(log, Pattern(30, 1)));
    ASSERT_TRUE(Write(log, Pattern(33, 2)));
    EXPECT_FALSE(QFile::exists(Path("run.000"))) << "63 bytes fit the 64-byte buffer";
    ASSERT_TRUE(Write(log, Pattern(1, 3)));
    EXPECT_EQ(ReadAll(Path("run.000")), Pattern(30, 1) + Pattern(33, 2) + Pattern(1, 3));
}

TEST_F(Recording, PassesFillTheNextArchiveAndWrapAfterTheLastName) {
    // A limit of one byte and a one-byte buffer make every write a segment of its own.
    WriteAll(Path("run.001.Zip"), "left by an earlier recording");
    TLogFile log(Path("run"), 1, 1, 20);
    const auto writeSegment = [&](int n) { ASSERT_TRUE(Write(log, QByteArray(1, char(n)))); };
    for (int n = 0; n < 101; ++n) writeSegment(n);
    EXPECT_EQ(log.SegmentPath(), Path("run.000")) << "segment 099 is followed by 000 again";
    EXPECT_EQ(log.ArchivePath(), Path("run.001.Zip"));
    EXPECT_EQ(log.ArchiveIndex(), 1);
    const auto first = Entries(Path("run.Zip"));
    ASSERT_EQ(first.size(), 100u);
    EXPECT_EQ(first[0].first, "run.000");
    EXPECT_EQ(first[99].first, "run.099");
    EXPECT_EQ(first[99].second, QByteArray(1, char(99)));
    EXPECT_FALSE(QFile::exists(Path("run.001.Zip"))) << "the earlier file of that name is gone";

    for (int n = 101; n < 2001; ++n) writeSegment(n);
    EXPECT_EQ(log.ArchivePath(), Path("run.Zip")) << "after run.019.Zip the names start again";
    EXPECT_EQ(log.ArchiveIndex(), 0);
    EXPECT_FALSE(QFile::exists(Path("run.Zip"))) << "the first archive is deleted for the new pass";
    EXPECT_EQ(Entries(Path("run.019.Zip")).size(), 100u);
    EXPECT_EQ(Entries(Path("run.019.Zip"))[0].second, QByteArray(1, char(1900 & 0xFF)));
    log.CloseLog();
    const auto refilled = Entries(Path("run.Zip"));
    ASSERT_EQ(refilled.size(), 1u);
    EXPECT_EQ(refilled[0].second, QByteArray(1, char(2000 & 0xFF)));
    EXPECT_EQ(Files().size(), 20);
}

TEST_F(Recording, ASegmentThatCannotBePackedStaysOnDiskAndRecordingGoesOn) {
    WriteAll(Path("run.Zip"), "not an archive");
    TLogFile log(Path("run"), 1, 10, 20);
    ASSERT_TRUE(Write(log, Pattern(10, 1)));
    ASSERT_TRUE(Write(log, Pattern(10, 2)));
    log.CloseLog();
    EXPECT_EQ(ReadAll(Path("run.000")), Pattern(10, 1));
    EXPECT_EQ(ReadAll(Path("run.001")), Pattern(10, 2));
    EXPECT_EQ(ReadAll(Path("run.Zip")), "not an archive");
    EXPECT_FALSE(log.AddToArchive(Path("run.000")));
}

// A segment that could not be created dropped its data and WriteStream still said true.
TEST_F(Recording, DataOfAWriteWhoseSegmentCannotBeCreatedIsCountedAsLost) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("run.000"));
    TLogFile log(Path("run"), 4, 1000, 20);
    EXPECT_TRUE(Write(log, Pattern(3, 1))) << "buffered";
    EXPECT_FALSE(Write(log, Pattern(5, 2)));
    EXPECT_EQ(log.Status().lostBytes, 8);
    EXPECT_EQ(log.Status().lastFault.kind, record::LogFault::Kind::Create);
    EXPECT_EQ(log.Status().lastFault.path, Path("run.000"));
    EXPECT_EQ(log.Status().lastFault.reason, SystemErrorText(EEXIST));
    EXPECT_TRUE(QFileInfo(Path("run.000")).isDir()) << "what is in the way stays";
    ASSERT_TRUE(QDir(dir.path()).rmdir("run.000"));
    EXPECT_TRUE(Write(log, Pattern(6, 3))) << "the next write to disk creates the file";
    log.CloseLog();
    const auto entries = Entries(Path("run.Zip"));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].second, Pattern(6, 3));
    EXPECT_EQ(log.Status().lostBytes, 8);
}

// A removed folder took the open segment with it while every write said true.
TEST_F(Recording, AFolderRemovedUnderTheRecordingIsReportedAndRecordingResumesWhenItIsBack) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    TLogFile log(Path("sub/run"), 4, 1000, 20);
    ASSERT_TRUE(Write(log, Pattern(10, 1)));
    ASSERT_TRUE(QDir(Path("sub")).removeRecursively());
    EXPECT_FALSE(Write(log, Pattern(10, 2)));
    EXPECT_EQ(log.Status().lostBytes, 20) << "the removed segment's bytes are gone too";
    EXPECT_EQ(log.Status().lastFault.kind, record::LogFault::Kind::Write);
    EXPECT_EQ(log.Status().lastFault.reason, SystemErrorText(ENOENT));
    EXPECT_FALSE(Write(log, Pattern(10, 3)));
    EXPECT_EQ(log.Status().lastFault.kind, record::LogFault::Kind::Create);
    EXPECT_EQ(log.Status().lostBytes, 30);
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    EXPECT_TRUE(Write(log, Pattern(10, 4)));
    log.CloseLog();
    const auto entries = Entries(Path("sub/run.Zip"));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].second, Pattern(10, 4));
    EXPECT_EQ(log.Status().faults, 2);
}

// A full disk: the segment keeps what fitted, the rest is counted as lost, and once there is
// room again the recording goes on in the next segment, so the loss sits between two segments.
TEST_F(Recording, AFullDiskEndsTheSegmentAndTheNextOneTakesOverWhenThereIsRoom) {
    TLogFile log(Path("run"), 64, 100000, 20);
    QByteArray kept;
    for (int i = 0; i < 3; ++i) {
        kept += Pattern(1000, i);
        ASSERT_TRUE(Write(log, Pattern(1000, i)));
    }
    {
        FileSizeLimit limit(3500);
        EXPECT_FALSE(Write(log, Pattern(1000, 3)));
    }
    kept += Pattern(500, 3);
    EXPECT_EQ(log.Status().lostBytes, 500);
    EXPECT_EQ(log.Status().lastFault.kind, record::LogFault::Kind::Write);
    EXPECT_EQ(log.Status().lastFault.reason, SystemErrorText(EFBIG));
    EXPECT_EQ(ReadAll(Path("run.000")), kept) << "what fitted stays in the segment";
    ASSERT_TRUE(Write(log, Pattern(1000, 5)));
    EXPECT_EQ(log.SegmentPath(), Path("run.001"));
    log.CloseLog();
    const auto entries = Entries(Path("run.Zip"));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].first, "run.000");
    EXPECT_EQ(entries[0].second, kept);
    EXPECT_EQ(entries[1].first, "run.001");
    EXPECT_EQ(entries[1].second, Pattern(1000, 5));
    EXPECT_EQ(Files(), QStringList{"run.Zip"});
}

// A segment kept after a failed pack was truncated when a later pass reached its name.
TEST_F(Recording, ASegmentKeptAfterAFailedPackIsPackedOrMovedAsideBeforeItsNameIsUsedAgain) {
    const struct { bool archiveRepaired; } cases[] = {{true}, {false}};
    for (const auto& c : cases) {
        QTemporaryDir folder;
        const auto at = [&folder](const char* name) { return folder.filePath(name); };
        TLogFile log(at("run"), 1, 1, 20);
        const auto writeSegment = [&](int n) { ASSERT_TRUE(Write(log, QByteArray(1, char(n)))); };
        for (int n = 0; n < 6; ++n) writeSegment(n);
        // The archive cannot take segment 005 when segment 006 begins.
        ASSERT_TRUE(QFile::rename(at("run.Zip"), at("run.Zip.saved")));
        ASSERT_TRUE(QDir(folder.path()).mkdir("run.Zip"));
        writeSegment(6);
        EXPECT_EQ(log.Status().lastFault.kind, record::LogFault::Kind::Pack);
        EXPECT_EQ(ReadAll(at("run.005")), QByteArray(1, char(5)));
        ASSERT_TRUE(QDir(folder.path()).rmdir("run.Zip"));
        ASSERT_TRUE(QFile::rename(at("run.Zip.saved"), at("run.Zip")));
        for (int n = 7; n < 105; ++n) writeSegment(n);
        if (!c.archiveRepaired) {
            ASSERT_TRUE(QFile::rename(at("run.Zip"), at("run.Zip.saved")));
            ASSERT_TRUE(QDir(folder.path()).mkdir("run.Zip"));
        }
        writeSegment(105);  // pass 1 reaches segment 005
        log.CloseLog();
        EXPECT_EQ(Entries(at("run.001.Zip")).back().second, QByteArray(1, char(105)));
        if (c.archiveRepaired) {
            const auto first = Entries(at("run.Zip"));
            ASSERT_EQ(first.size(), 100u);
            EXPECT_EQ(first.back().first, "run.005");
            EXPECT_EQ(first.back().second, QByteArray(1, char(5)));
            EXPECT_FALSE(QFile::exists(at("run.005.kept")));
        } else {
            EXPECT_EQ(ReadAll(at("run.005.kept")), QByteArray(1, char(5)));
            EXPECT_EQ(log.Status().lastFault.kind, record::LogFault::Kind::Keep);
            EXPECT_EQ(log.Status().lastFault.path, at("run.005"));
            EXPECT_EQ(log.Status().lastFault.keptAs, at("run.005.kept"));
        }
        EXPECT_FALSE(QFile::exists(at("run.005"))) << "packed into run.001.Zip";
        EXPECT_EQ(log.Status().lostBytes, 0);
    }
}

TEST_F(Recording, TheFilesOfTheFirstPassThatExistAreFound) {
    const struct {
        const char* existing;
        const char* found;
    } cases[] = {
        {nullptr, ""},   {"run.Zip", "run.Zip"}, {"run.000", "run.000"}, {"run.099", "run.099"},
        {"run.100", ""}, {"run.001.Zip", ""},    {"run.000.kept", ""},
    };
    for (const auto& c : cases) {
        QTemporaryDir folder;
        if (c.existing)
            WriteAll(folder.filePath(c.existing), "x");
        const QString found = record::ExistingRecordingFile(folder.filePath("run.bin"));
        EXPECT_EQ(found, *c.found ? folder.filePath(c.found) : QString()) << c.existing;
    }
}

TEST_F(Recording, WithoutABufferTheLogTakesNoData) {
    TLogFile log(Path("run"), 0, 1000, 20);
    EXPECT_FALSE(log.HasBuffer());
    EXPECT_FALSE(Write(log, Pattern(10)));
    log.CloseLog();
    EXPECT_TRUE(Files().isEmpty());
}

}  // namespace
