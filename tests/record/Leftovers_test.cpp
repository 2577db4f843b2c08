#include "Leftovers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "Logfile.h"
#include "RecordTestSupport.h"

namespace {

class Leftovers : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return dir.filePath(name); }
    void Archive(const QString& archive, const QString& segment, const QByteArray& bytes) {
        WriteAll(Path(segment), bytes);
        std::string error;
        ASSERT_TRUE(record::AppendFileToArchive(QFile::encodeName(Path(archive)).toStdString(),
                                                QFile::encodeName(Path(segment)).toStdString(),
                                                error));
        QFile::remove(Path(segment));
    }
    QStringList Files() const { return QDir(dir.path()).entryList(QDir::Files); }

    QTemporaryDir dir;
};

TEST_F(Leftovers, TheRecordingIsFoundFromAnyOfItsNames) {
    WriteAll(Path("run.Zip"), "");
    const struct {
        const char* name;
        const char* base;
    } cases[] = {
        {"run", "run"},
        {"run.Zip", "run"},
        {"run.003.Zip", "run"},
        {"run.003.ZIP", "run"},
        {"run.000", "run"},
        {"other.003.Zip", "other.003"},  // no other.Zip: the digits are the user's
        {"run.020.Zip", "run.020"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(record::RecordingBase(Path(c.name)), Path(c.base)) << c.name;
}

// A crash before the first pack left run.000 and no archive; nothing ever packed it.
TEST_F(Leftovers, ASegmentWithoutItsArchiveIsPackedIntoANewOne) {
    WriteAll(Path("run.000"), Pattern(3000));
    const record::Leftovers found = record::FindLeftovers(Path("run.Zip"));
    EXPECT_EQ(found.archive, Path("run.Zip"));
    EXPECT_EQ(found.segments, QStringList{Path("run.000")});
    QString error;
    ASSERT_TRUE(record::PackLeftovers(found, error)) << error.toStdString();
    const auto entries = Entries(Path("run.Zip"));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].first, "run.000");
    EXPECT_EQ(entries[0].second, Pattern(3000));
    EXPECT_EQ(Files(), QStringList{"run.Zip"});
}

TEST_F(Leftovers, SegmentsGoToTheirArchiveInOrderAndOnesAlreadyThereAreOnlyRemoved) {
    Archive("run.Zip", "run.000", Pattern(100, 0));
    Archive("run.Zip", "run.001", Pattern(100, 1));
    WriteAll(Path("run.001"), Pattern(100, 1));  // packed, then the program died
    WriteAll(Path("run.003"), Pattern(100, 3));
    WriteAll(Path("run.002"), Pattern(100, 2));
    WriteAll(Path("run.002.kept"), "moved aside before");
    const record::Leftovers found = record::FindLeftovers(Path("run"));
    EXPECT_EQ(found.segments, QStringList({Path("run.001"), Path("run.002"), Path("run.003")}));
    QString error;
    ASSERT_TRUE(record::PackLeftovers(found, error)) << error.toStdString();
    const auto entries = Entries(Path("run.Zip"));
    ASSERT_EQ(entries.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(entries[i].first,
                  QStringLiteral("run.%1").arg(i, 3, 10, QLatin1Char('0')).toStdString());
        EXPECT_EQ(entries[i].second, Pattern(100, i));
    }
    EXPECT_EQ(Files(), QStringList({"run.002.kept", "run.Zip"}));
}

TEST_F(Leftovers, ASegmentOfTheNextPassGoesToTheNextArchive) {
    Archive("run.Zip", "run.000", Pattern(100, 0));
    WriteAll(Path("run.000"), Pattern(100, 7));
    QString error;
    ASSERT_TRUE(record::PackLeftovers(record::FindLeftovers(Path("run.Zip")), error));
    EXPECT_EQ(Entries(Path("run.Zip")).size(), 1u);
    const auto next = Entries(Path("run.001.Zip"));
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(next[0].second, Pattern(100, 7));
}

TEST_F(Leftovers, ASegmentThatCannotBePackedStaysAndIsNamed) {
    WriteAll(Path("run.Zip"), "not an archive");
    WriteAll(Path("run.004"), Pattern(100));
    QString error;
    EXPECT_FALSE(record::PackLeftovers(record::FindLeftovers(Path("run")), error));
    EXPECT_TRUE(error.startsWith(Path("run.004") + ": ")) << error.toStdString();
    EXPECT_EQ(ReadAll(Path("run.004")), Pattern(100));
    EXPECT_EQ(ReadAll(Path("run.Zip")), "not an archive");
}

}  // namespace
