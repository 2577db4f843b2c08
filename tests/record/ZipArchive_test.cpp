#include "ZipArchive.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <cstring>

#include "RecordTestSupport.h"

using record::ZipReader;

namespace {

class Archive : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return dir.filePath(name); }
    std::string Std(const QString& name) const {
        return QFile::encodeName(Path(name)).toStdString();
    }

    // Adds a file of these bytes under name to the archive.
    void Add(const QString& archive, const QString& name, const QByteArray& bytes) {
        WriteAll(Path(name), bytes);
        std::string error;
        ASSERT_TRUE(record::AppendFileToArchive(Std(archive), Std(name), error)) << error;
        QFile::remove(Path(name));
    }

    // Runs a program in the folder; its exit code and output.
    int Run(const QString& program, const QStringList& args, QByteArray* output = nullptr) {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(program, args);
        if (!process.waitForFinished(30000))
            return -1;
        if (output)
            *output = process.readAllStandardOutput();
        return process.exitCode();
    }

    QTemporaryDir dir;
};

uint32_t Le32(const QByteArray& bytes, qsizetype at) {
    uint32_t value = 0;
    std::memcpy(&value, bytes.constData() + at, 4);
    return value;
}

void SetLe32(QByteArray& bytes, qsizetype at, uint32_t value) {
    std::memcpy(bytes.data() + at, &value, 4);
}

// Offsets of the first local header and the first central directory header.
qsizetype LocalHeader(const QByteArray& zip) {
    return zip.indexOf(QByteArray("PK\x03\x04", 4));
}
qsizetype CentralHeader(const QByteArray& zip) {
    return zip.indexOf(QByteArray("PK\x01\x02", 4));
}

TEST_F(Archive, AppendingLeavesTheEntriesBeforeInPlace) {
    Add("run.Zip", "run.000", Pattern(5000, 1));
    Add("run.Zip", "run.001", Pattern(7000, 2));
    const QByteArray before = ReadAll(Path("run.Zip"));
    const uint32_t directoryAt = Le32(before, before.size() - 22 + 16);
    Add("run.Zip", "run.002", Pattern(300, 3));
    const QByteArray after = ReadAll(Path("run.Zip"));
    EXPECT_EQ(after.left(directoryAt), before.left(directoryAt));
    const auto entries = Entries(Path("run.Zip"));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0], std::make_pair(std::string("run.000"), Pattern(5000, 1)));
    EXPECT_EQ(entries[1], std::make_pair(std::string("run.001"), Pattern(7000, 2)));
    EXPECT_EQ(entries[2], std::make_pair(std::string("run.002"), Pattern(300, 3)));
}

TEST_F(Archive, ItsArchivesPassUnzipAndAreDeflated) {
    Add("run.Zip", "run.000", Pattern(100000, 1));
    Add("run.Zip", "run.001", QByteArray());
    Add("run.Zip", "运行.002", Pattern(10, 2));
    EXPECT_EQ(Run("unzip", {"-tq", "run.Zip"}), 0);
    QByteArray listing;
    ASSERT_EQ(Run("unzip", {"-Z1", "run.Zip"}, &listing), 0);
    EXPECT_TRUE(listing.startsWith("run.000\nrun.001\n")) << listing.toStdString();
    ZipReader reader(Std("run.Zip"));
    ASSERT_EQ(reader.EntryCount(), 3);
    EXPECT_FALSE(reader.NameIsUtf8(0));
    EXPECT_TRUE(reader.NameIsUtf8(2)) << "a name beyond ASCII is marked as UTF-8";
    EXPECT_EQ(reader.EntryName(2), "运行.002");
    QByteArray verbose;
    ASSERT_EQ(Run("unzip", {"-v", "run.Zip"}, &verbose), 0);
    EXPECT_EQ(verbose.count("Defl:"), 3) << verbose.toStdString();
    QByteArray extracted;
    ASSERT_EQ(Run("unzip", {"-p", "run.Zip", "run.000"}, &extracted), 0);
    EXPECT_EQ(extracted, Pattern(100000, 1));
}

TEST_F(Archive, ReadsArchivesWrittenByZip) {
    WriteAll(Path("run.000"), Pattern(50000, 4));
    WriteAll(Path("run.001"), Pattern(20, 5));
    ASSERT_EQ(Run("zip", {"-q", "deflated.zip", "run.000", "run.001"}), 0);
    ASSERT_EQ(Run("zip", {"-q", "-0", "stored.zip", "run.000"}), 0);
    for (const char* name : {"deflated.zip", "stored.zip"}) {
        const auto entries = Entries(Path(name));
        ASSERT_GE(entries.size(), 1u) << name;
        EXPECT_EQ(entries[0].first, "run.000");
        EXPECT_EQ(entries[0].second, Pattern(50000, 4)) << name;
    }
    EXPECT_EQ(Entries(Path("deflated.zip"))[1].second, Pattern(20, 5));
}

TEST_F(Archive, AnEmptyArchiveHasNoEntries) {
    WriteAll(Path("empty.zip"), QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
    ZipReader reader(Std("empty.zip"));
    EXPECT_TRUE(reader.IsOpen()) << reader.Error();
    EXPECT_EQ(reader.EntryCount(), 0);
}

TEST_F(Archive, AppendingToSomethingElseFailsAndLeavesItAlone) {
    WriteAll(Path("run.Zip"), "plain text");
    WriteAll(Path("run.000"), Pattern(10));
    std::string error;
    EXPECT_FALSE(record::AppendFileToArchive(Std("run.Zip"), Std("run.000"), error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadAll(Path("run.Zip")), "plain text");
    EXPECT_FALSE(record::AppendFileToArchive(Std("new.Zip"), Std("missing.000"), error));
    EXPECT_FALSE(QFile::exists(Path("new.Zip")));
}

TEST(EntryNames, ThoseThatClimbOutOrStartAtTheRootAreUnsafe) {
    const struct {
        const char* name;
        bool safe;
    } cases[] = {
        {"run.000", true}, {"a/b/run.000", true}, {"..run.000", true}, {"run..000", true},
        {"../x", false},   {"a/../../x", false},  {"a\\..\\x", false}, {"..", false},
        {"/etc/x", false}, {"\\x", false},        {"C:x", false},      {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(record::IsSafeEntryName(c.name), c.safe) << c.name;
}

// Archives damaged or made up on purpose: each read gives its reason and no crash.
TEST_F(Archive, MalformedArchivesAreRefusedWithAReason) {
    Add("good.zip", "abcd", Pattern(20000, 6));
    const QByteArray good = ReadAll(Path("good.zip"));
    const qsizetype local = LocalHeader(good);
    const qsizetype central = CentralHeader(good);
    ASSERT_GE(local, 0);
    ASSERT_GT(central, local);

    const auto withSize = [&](uint32_t size) {
        QByteArray zip = good;
        SetLe32(zip, local + 22, size);
        SetLe32(zip, central + 24, size);
        return zip;
    };
    const auto renamed = [&](const char* name) {
        QByteArray zip = good;
        std::memcpy(zip.data() + local + 30, name, 4);
        std::memcpy(zip.data() + central + 46, name, 4);
        return zip;
    };
    QByteArray flipped = good;
    flipped[local + 30 + 4 + 100] = static_cast<char>(flipped[local + 30 + 4 + 100] ^ 0x55);

    const struct {
        const char* what;
        QByteArray bytes;
        ZipReader::Result result;
        bool opens;
        const char* reason = nullptr;  // part of the error, where the case names one
    } cases[] = {
        {"truncated in the data", good.left(good.size() / 2), ZipReader::Result::Failed, false},
        {"truncated in the directory", good.left(central + 10), ZipReader::Result::Failed, false},
        {"not an archive", Pattern(5000), ZipReader::Result::Failed, false},
        {"declared larger", withSize(20001), ZipReader::Result::Failed, true},
        {"declared smaller", withSize(19999), ZipReader::Result::Failed, true},
        {"declared beyond deflate's reach", withSize(0xFFFFFFF0u), ZipReader::Result::Failed, true},
        {"damaged data", flipped, ZipReader::Result::Failed, true},
        {"named ../x", renamed("../x"), ZipReader::Result::Failed, true, "leads outside"},
        {"named /etc", renamed("/etc"), ZipReader::Result::Failed, true, "leads outside"},
    };
    for (const auto& c : cases) {
        WriteAll(Path("bad.zip"), c.bytes);
        ZipReader reader(Std("bad.zip"));
        EXPECT_EQ(reader.IsOpen(), c.opens) << c.what;
        std::vector<uint8_t> bytes;
        if (reader.IsOpen()) {
            EXPECT_EQ(reader.ReadEntry(0, 1u << 30, bytes), c.result) << c.what;
            EXPECT_TRUE(bytes.empty()) << c.what;
        }
        EXPECT_FALSE(reader.Error().empty()) << c.what;
        if (c.reason) {
            EXPECT_NE(reader.Error().find(c.reason), std::string::npos) << reader.Error();
        }
    }
}

TEST_F(Archive, AZipBombIsRefusedBeforeItFillsMemory) {
    // 64 MiB of zeros pack into about 64 KiB.
    QFile zeros(Path("zeros"));
    ASSERT_TRUE(zeros.open(QIODevice::WriteOnly));
    ASSERT_TRUE(zeros.resize(64 << 20));
    zeros.close();
    std::string error;
    ASSERT_TRUE(record::AppendFileToArchive(Std("bomb.zip"), Std("zeros"), error));
    EXPECT_LT(QFileInfo(Path("bomb.zip")).size(), 1 << 20);

    ZipReader reader(Std("bomb.zip"));
    std::vector<uint8_t> bytes;
    EXPECT_EQ(reader.ReadEntry(0, 16u << 20, bytes), ZipReader::Result::TooLarge);
    EXPECT_TRUE(bytes.empty());

    // The same stream declared small: reading stops at the declared size and the check fails.
    QByteArray zip = ReadAll(Path("bomb.zip"));
    SetLe32(zip, LocalHeader(zip) + 22, 1000);
    SetLe32(zip, CentralHeader(zip) + 24, 1000);
    WriteAll(Path("bomb.zip"), zip);
    ZipReader small(Std("bomb.zip"));
    EXPECT_EQ(small.ReadEntry(0, 16u << 20, bytes), ZipReader::Result::Failed);
    EXPECT_TRUE(bytes.empty());
}

TEST(ZipContent, RecognisedByItsFirstBytes) {
    const struct {
        QByteArray bytes;
        bool zip;
    } cases[] = {
        {QByteArray("PK\x03\x04rest", 8), true},
        {QByteArray("PK\x05\x06", 4), true},
        {QByteArray("PK\x03", 3), false},
        {QByteArray("PKzip", 5), false},
        {QByteArray(), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(record::LooksLikeZip(reinterpret_cast<const uint8_t*>(c.bytes.constData()),
                                       static_cast<size_t>(c.bytes.size())),
                  c.zip)
            << c.bytes.toHex().toStdString();
    }
}

}  // namespace
