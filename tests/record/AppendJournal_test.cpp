#include "AppendJournal.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <random>
#include <thread>

#include "RecordTestSupport.h"
#include "ZipArchive.h"

namespace {

using Entry = std::pair<std::string, QByteArray>;

// Bytes that Deflate cannot shrink, so that an entry's size on disk is known beforehand.
QByteArray Noise(int size, unsigned seed) {
    std::mt19937 random(seed);
    QByteArray bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

std::string Std(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

class Append : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return dir.filePath(name); }

    // Packs a file of these bytes under name into the archive; the source lies in the test's
    // folder, wherever the archive is.
    bool Add(const QString& archive, const QString& name, const QByteArray& bytes,
             std::string* error = nullptr) {
        WriteAll(Path(name), bytes);
        std::string reason;
        const bool ok = record::AppendFileToArchive(Std(archive), Std(Path(name)), reason);
        if (error)
            *error = reason;
        return ok;
    }

    // An archive of three segments, as a recording leaves it.
    std::vector<Entry> Earlier(const QString& archive) {
        std::vector<Entry> entries;
        for (int i = 0; i < 3; ++i) {
            entries.emplace_back("run.00" + std::to_string(i), Noise(100000 + i * 777, i));
            EXPECT_TRUE(
                Add(archive, QString::fromStdString(entries.back().first), entries.back().second));
        }
        return entries;
    }

    // What the real unzip says of the archive: 0 when every entry tests good.
    static int UnzipTest(const QString& archive) {
        QProcess unzip;
        unzip.start("unzip", {"-tq", archive});
        return unzip.waitForFinished(30000) ? unzip.exitCode() : -1;
    }

    // Each entry's name, size and digest, which a failure can print.
    static std::vector<std::string> Summary(const std::vector<Entry>& entries) {
        std::vector<std::string> lines;
        for (const auto& [name, bytes] : entries) {
            lines.push_back(
                name + " " + std::to_string(bytes.size()) + " " +
                QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().toStdString());
        }
        return lines;
    }

    // The archive holds these entries, byte for byte, by our reader and by unzip.
    static void ExpectHolds(const QString& archive, const std::vector<Entry>& entries) {
        EXPECT_EQ(Summary(Entries(archive)), Summary(entries));
        EXPECT_EQ(UnzipTest(archive), 0);
    }

    static QString Journal(const QString& archive) {
        return archive + record::kAppendJournalSuffix;
    }

    QTemporaryDir dir;
};

// A small filesystem of its own, so that the disk really fills.
class SmallDisk {
public:
    SmallDisk(const QString& path, const char* size) : path_(path) {
        QDir().mkpath(path);
        const std::string options = std::string("size=") + size;
        if (mount("tmpfs", Std(path).c_str(), "tmpfs", 0, options.c_str()) == 0)
            mounted_ = true;
        else
            reason_ = std::strerror(errno);
    }
    ~SmallDisk() {
        if (mounted_)
            umount2(Std(path_).c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& Reason() const { return reason_; }
    QString Path(const QString& name) const { return path_ + "/" + name; }

    // Takes every free byte with a file of that name.
    void Fill(const QString& name) const {
        QFile filler(Path(name));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
    }

private:
    QString path_;
    bool mounted_ = false;
    std::string reason_;
};

// A full disk used to leave no central directory behind, and with it no earlier entry.
TEST_F(Append, AFullDiskLeavesTheArchiveAsItWas) {
    const struct {
        const char* what;
        bool fillFirst;  // no room even for the journal
        int entryBytes;
    } cases[] = {
        {"no room for the entry", false, 4 << 20},
        {"no room for the journal", true, 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SmallDisk disk(Path(QString("disk-") + (c.fillFirst ? "full" : "small")), "2m");
        if (!disk.Mounted())
            GTEST_SKIP() << "cannot mount a tmpfs for a full disk: " << disk.Reason();
        const QString archive = disk.Path("run.Zip");
        std::vector<Entry> entries = Earlier(archive);
        const QByteArray before = ReadAll(archive);
        if (c.fillFirst)
            disk.Fill("filler");

        std::string error;
        EXPECT_FALSE(Add(archive, "run.003", Noise(c.entryBytes, 3), &error));
        EXPECT_NE(error.find(std::strerror(ENOSPC)), std::string::npos) << error;
        EXPECT_TRUE(ReadAll(archive) == before) << "every byte of the archive is back";
        EXPECT_FALSE(QFile::exists(Journal(archive)));
        ExpectHolds(archive, entries);

        // Once there is room again the same archive takes the next segment.
        QFile::remove(disk.Path("filler"));
        ASSERT_TRUE(Add(archive, "run.003", Noise(1000, 4), &error)) << error;
        entries.emplace_back("run.003", Noise(1000, 4));
        ExpectHolds(archive, entries);
    }
}

enum class Next { Reader, Append };

// The appending process runs under a file size limit and dies of SIGXFSZ when a write
// crosses it, as a kill at that point would leave it.
void KilledAt(uint64_t limit, const std::function<void()>& action) {
    const rlimit noCore = {0, 0};
    const rlimit size = {limit, limit};
    setrlimit(RLIMIT_CORE, &noCore);
    setrlimit(RLIMIT_FSIZE, &size);
    std::signal(SIGXFSZ, SIG_DFL);
    action();
    _exit(0);
}

// A killed append used to leave the archive without a directory: no earlier entry could be
// read, and every later append failed too.
TEST_F(Append, AKillInTheMiddleIsTakenBackByWhateverOpensTheArchiveNext) {
    const QString reference = Path("reference.Zip");
    const std::vector<Entry> earlier = Earlier(reference);
    const uint64_t oldLength = static_cast<uint64_t>(QFileInfo(reference).size());
    const QByteArray before = ReadAll(reference);
    const QByteArray big = Noise(1 << 20, 9);
    ASSERT_TRUE(Add(reference, "run.003", big));
    const uint64_t newLength = static_cast<uint64_t>(QFileInfo(reference).size());

    const struct {
        const char* what;
        bool existed;
        uint64_t limit;
        Next next;
    } cases[] = {
        {"while writing its journal", true, 100, Next::Reader},
        {"in the new entry's data", true, oldLength + 5000, Next::Reader},
        {"in the new entry's data", true, oldLength + 5000, Next::Append},
        {"in the new central directory", true, newLength - 60, Next::Reader},
        {"in the new end record", true, newLength - 10, Next::Append},
        {"in the first entry of a new archive", false, 5000, Next::Reader},
        {"in the first entry of a new archive", false, 5000, Next::Append},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.what) +
                     (c.next == Next::Reader ? ", then read" : ", then append"));
        const QString archive = Path("run.Zip");
        QFile::remove(archive);
        if (c.existed)
            WriteAll(archive, before);
        const std::string source = Std(Path("run.003"));
        WriteAll(Path("run.003"), big);
        EXPECT_EXIT(KilledAt(c.limit,
                             [&] {
                                 std::string error;
                                 record::AppendFileToArchive(Std(archive), source, error);
                             }),
                    ::testing::KilledBySignal(SIGXFSZ), "");
        EXPECT_TRUE(QFile::exists(Journal(archive))) << "killed before the journal was written";

        std::vector<Entry> entries = c.existed ? earlier : std::vector<Entry>();
        if (c.next == Next::Reader) {
            record::ZipReader reader(Std(archive));
            EXPECT_FALSE(QFile::exists(Journal(archive)));
            if (c.existed) {
                EXPECT_TRUE(reader.IsOpen()) << reader.Error();
                EXPECT_TRUE(ReadAll(archive) == before);
                ExpectHolds(archive, entries);
            } else {
                EXPECT_FALSE(QFile::exists(archive)) << "a half-made archive is removed";
            }
        }
        ASSERT_TRUE(Add(archive, "run.003", big));
        entries.emplace_back("run.003", big);
        EXPECT_FALSE(QFile::exists(Journal(archive)));
        ExpectHolds(archive, entries);
    }
}

TEST_F(Append, AKillWhileTakingBackAnAppendIsTakenBackAgain) {
    const QString archive = Path("run.Zip");
    const std::vector<Entry> earlier = Earlier(archive);
    const QByteArray before = ReadAll(archive);
    const uint64_t oldLength = static_cast<uint64_t>(before.size());
    WriteAll(Path("run.003"), Noise(1 << 20, 9));
    EXPECT_EXIT(KilledAt(oldLength + 5000,
                         [&] {
                             std::string error;
                             record::AppendFileToArchive(Std(archive), Std(Path("run.003")), error);
                         }),
                ::testing::KilledBySignal(SIGXFSZ), "");
    // The old end is written back up to the old length, so a limit just below kills it there.
    EXPECT_EXIT(KilledAt(oldLength - 5,
                         [&] {
                             std::string error;
                             record::RecoverInterruptedAppend(Std(archive), error);
                         }),
                ::testing::KilledBySignal(SIGXFSZ), "");
    ASSERT_TRUE(QFile::exists(Journal(archive)));
    std::string error;
    EXPECT_TRUE(record::RecoverInterruptedAppend(Std(archive), error)) << error;
    EXPECT_TRUE(ReadAll(archive) == before);
    ExpectHolds(archive, earlier);
}

// A journal is about one file: an archive put in its place since is not cut to the old size.
TEST_F(Append, AJournalOfAnArchiveSinceReplacedIsDropped) {
    const QString archive = Path("run.Zip");
    Earlier(archive);
    WriteAll(Path("run.003"), Noise(1 << 20, 9));
    EXPECT_EXIT(KilledAt(static_cast<uint64_t>(QFileInfo(archive).size()) + 5000,
                         [&] {
                             std::string error;
                             record::AppendFileToArchive(Std(archive), Std(Path("run.003")), error);
                         }),
                ::testing::KilledBySignal(SIGXFSZ), "");
    ASSERT_TRUE(QFile::exists(Journal(archive)));

    const QString other = Path("other.Zip");
    ASSERT_TRUE(Add(other, "other.000", Noise(300000, 5)));
    const QByteArray replacement = ReadAll(other);
    ASSERT_EQ(std::rename(Std(other).c_str(), Std(archive).c_str()), 0);
    record::ZipReader reader(Std(archive));
    EXPECT_TRUE(reader.IsOpen()) << reader.Error();
    EXPECT_TRUE(ReadAll(archive) == replacement);
    EXPECT_FALSE(QFile::exists(Journal(archive)));
}

// A reader that opened the archive while a recording packed into it took the running append
// back, and the writer went on over the cut archive.
TEST_F(Append, AReaderWaitsForAnAppendThatIsRunning) {
    const QString archive = Path("run.Zip");
    const std::vector<Entry> earlier = Earlier(archive);
    const QByteArray before = ReadAll(archive);
    WriteAll(Path("run.003"), Noise(1 << 20, 9));
    EXPECT_EXIT(KilledAt(static_cast<uint64_t>(before.size()) + 5000,
                         [&] {
                             std::string error;
                             record::AppendFileToArchive(Std(archive), Std(Path("run.003")), error);
                         }),
                ::testing::KilledBySignal(SIGXFSZ), "");
    const QByteArray interrupted = ReadAll(archive);

    // The test holds the journal's lock as a running append does.
    const int writer = open(Std(Journal(archive)).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(flock(writer, LOCK_EX), 0);
    std::atomic<bool> done{false};
    std::thread reader([&] {
        std::string error;
        record::RecoverInterruptedAppend(Std(archive), error);
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(done);
    EXPECT_TRUE(ReadAll(archive) == interrupted) << "a running append was taken back";
    // The writer dies: now its append is interrupted, and the waiting reader takes it back.
    close(writer);
    reader.join();
    EXPECT_TRUE(ReadAll(archive) == before);
    ExpectHolds(archive, earlier);
}

}  // namespace
