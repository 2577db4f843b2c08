#include "EntryAccess.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "RecordTestSupport.h"
#include "RecordingSets.h"
#include "ZipArchive.h"

namespace {

// An entry of three spans and more, so that ranges start from access points.
class EntryAccessTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        shared = new Shared;
        shared->bytes = SimulatedStream(3 * record::EntryAccess::kSpan + 123457);
        WriteAll(shared->dir.filePath("run.000"), shared->bytes);
        std::string error;
        ASSERT_TRUE(record::AppendFileToArchive(Native("run.Zip"), Native("run.000"), error));
    }
    static void TearDownTestSuite() { delete shared; }
    static std::string Native(const char* name) {
        return QFile::encodeName(shared->dir.filePath(name)).toStdString();
    }

    void Locate(record::EntryAccess& access) {
        record::ZipReader reader(Native("run.Zip"));
        std::string error;
        ASSERT_TRUE(access.Locate(reader, Native("run.Zip"), 0, error)) << error;
    }
    // Reads all of it, checking that the pieces are the entry's bytes.
    void ReadAll(record::EntryAccess& access) {
        QByteArray all;
        std::string error;
        ASSERT_TRUE(access.ReadAll(
            [&all](const uint8_t* b, size_t n) {
                all.append(reinterpret_cast<const char*>(b), static_cast<qsizetype>(n));
            },
            nullptr, error))
            << error;
        ASSERT_TRUE(all == shared->bytes);
    }

    struct Shared {
        QTemporaryDir dir;
        QByteArray bytes;
    };
    static Shared* shared;
};

EntryAccessTest::Shared* EntryAccessTest::shared = nullptr;

TEST_F(EntryAccessTest, AnyRangeReadsTheEntrysBytesFromTheNearestAccessPoint) {
    const uint64_t size = static_cast<uint64_t>(shared->bytes.size());
    for (const bool firstReadWhole : {false, true}) {
        SCOPED_TRACE(firstReadWhole);
        record::EntryAccess access;
        Locate(access);
        if (firstReadWhole) {
            ReadAll(access);
            ASSERT_GE(access.Points().size(), 3u);
        }
        const uint64_t span = record::EntryAccess::kSpan;
        const uint64_t point = firstReadWhole ? access.Points()[1].out : span;
        const struct {
            uint64_t from, to;
        } cases[] = {
            {0, 10},          {point - 3, point + 3}, {point, point + 1}, {point + 5, 3 * span},
            {size - 7, size}, {size - 7, size + 100}};
        for (const auto& c : cases) {
            std::vector<uint8_t> bytes;
            uint64_t begin = 0;
            std::string error;
            ASSERT_TRUE(access.ReadRange(c.from, c.to, bytes, begin, error))
                << c.from << " " << error;
            ASSERT_LE(begin, c.from);
            if (firstReadWhole) {
                // From the last access point at or before the range, not further back.
                for (const record::AccessPoint& p : access.Points())
                    EXPECT_FALSE(p.out > begin && p.out <= c.from) << c.from;
            }
            const uint64_t end = std::min(c.to, size);
            ASSERT_EQ(begin + bytes.size(), end) << c.from;
            EXPECT_TRUE(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                   static_cast<qsizetype>(bytes.size())) ==
                        shared->bytes.mid(static_cast<qsizetype>(begin),
                                          static_cast<qsizetype>(end - begin)))
                << c.from;
        }
    }
}

// Each access point kept the whole bound of its deflated window allocated, as much as the window
// undeflated, so deflating it saved no memory in the index of a long recording.
TEST_F(EntryAccessTest, AnAccessPointHoldsOnlyItsDeflatedWindow) {
    record::EntryAccess access;
    Locate(access);
    ReadAll(access);
    ASSERT_FALSE(access.Points().empty());
    for (const record::AccessPoint& p : access.Points()) {
        EXPECT_LT(p.window.size(), 32768u) << p.out;
        EXPECT_EQ(p.window.capacity(), p.window.size()) << p.out;
    }
}

TEST_F(EntryAccessTest, AReadAskedToStopEndsAndNotesNoAccessPoints) {
    record::EntryAccess access;
    Locate(access);
    const std::atomic<bool> stop{true};
    std::string error;
    EXPECT_FALSE(access.ReadAll([](const uint8_t*, size_t) {}, &stop, error));
    EXPECT_TRUE(access.Points().empty());
}

TEST_F(EntryAccessTest, DamagedDataIsToldAndNotGivenAsTheEntry) {
    QByteArray zip = ::ReadAll(shared->dir.filePath("run.Zip"));
    for (int i = 0; i < 64; ++i)
        zip[zip.size() / 2 + i] = static_cast<char>(~zip[zip.size() / 2 + i]);
    WriteAll(shared->dir.filePath("damaged.Zip"), zip);
    record::ZipReader reader(Native("damaged.Zip"));
    record::EntryAccess access;
    std::string error;
    ASSERT_TRUE(access.Locate(reader, Native("damaged.Zip"), 0, error)) << error;
    EXPECT_FALSE(access.ReadAll([](const uint8_t*, size_t) {}, nullptr, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(access.Points().empty());
}

// A plain segment file is read in ranges without an archive.
TEST_F(EntryAccessTest, APlainFileIsReadInRanges) {
    record::EntryAccess access;
    access.SetFile(Native("run.000"), static_cast<uint64_t>(shared->bytes.size()));
    std::vector<uint8_t> bytes;
    uint64_t begin = 0;
    std::string error;
    ASSERT_TRUE(access.ReadRange(5000000, 5000010, bytes, begin, error)) << error;
    EXPECT_EQ(begin, 5000000u);
    EXPECT_TRUE(QByteArray(reinterpret_cast<const char*>(bytes.data()), 10) ==
                shared->bytes.mid(5000000, 10));
}

}  // namespace
