#include "HistoryReplay.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>

#include "Laserencode.h"
#include "RecordTestSupport.h"
#include "ScriptedPrompt.h"

using namespace console;
using namespace scanwindow;

namespace {

// n 4-byte packets at distances first, first + 1, ...
QByteArray Packets(int n, int first = 100) {
    QByteArray bytes;
    bytes.reserve(n * 4);
    for (int i = 0; i < n; ++i) {
        const auto packet = laserencode::EncodePacket4(first + i % 3000, (i * 16) % 5760);
        bytes.append(reinterpret_cast<const char*>(packet.data()), 4);
    }
    return bytes;
}

class Replay : public ::testing::Test {
protected:
    Replay() : store(1000000), replay(store, decoder, prompt, historyFile) {
        replay.showPath = [this](const QString& text) { panel = text; };
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
    void Archive(const QString& archive, const QString& entry, const QByteArray& bytes) {
        WriteAll(Path(entry), bytes);
        std::string error;
        ASSERT_TRUE(record::AppendFileToArchive(QFile::encodeName(Path(archive)).toStdString(),
                                                QFile::encodeName(Path(entry)).toStdString(),
                                                error));
        QFile::remove(Path(entry));
    }
    QStringList Files() const { return QDir(dir.path()).entryList(QDir::Files); }

    QTemporaryDir dir;
    PointStore store;
    TLaserDecode decoder;
    ScriptedPrompt prompt;
    QString historyFile;
    QString panel;
    HistoryReplay replay;
};

TEST_F(Replay, TheBufferGrowsOnlyForAFileBeyondThreeBytesPerRecord) {
    const struct {
        int bytes;
        int capacity;
    } cases[] = {{3000000, 1000000}, {3000001, 1000001}};
    for (const auto& c : cases) {
        PointStore fresh(1000000);
        std::swap(store, fresh);
        QByteArray data = Packets(750000);
        data.append(QByteArray(c.bytes - data.size(), '\0'));
        WriteAll(Path("run.000"), data);
        EXPECT_EQ(replay.LoadHistoryFile(Path("run.000")), LoadResult::Loaded);
        EXPECT_EQ(store.pointCapacity, c.capacity) << c.bytes;
        EXPECT_EQ(static_cast<int>(store.pointBuffer.size()), c.capacity);
        EXPECT_EQ(store.pointCount, 750000);
        EXPECT_EQ(store.pointBuffer[749999].distance, 100 + 749999 % 3000);
    }
    EXPECT_EQ(historyFile, Path("run.000"));
    EXPECT_EQ(panel, Path("run.000"));
}

TEST_F(Replay, FilesThatCannotBeLoadedSayWhy) {
    QDir(dir.path()).mkdir("folder.000");
    WriteAll(Path("empty.000"), {});
    WriteAll(Path("noise.000"), QByteArray(5000, '\x55'));
    const struct {
        const char* name;
        const char* message;
        LoadResult result;
    } cases[] = {
        {"missing.000", "文件不存在！", LoadResult::Failed},
        {"folder.000", "文件打开失败！", LoadResult::Failed},
        {"empty.000", "文件无数据！", LoadResult::NoData},
        {"noise.000", "文件无数据！", LoadResult::NoData},
    };
    for (const auto& c : cases) {
        prompt.messages.clear();
        EXPECT_EQ(replay.LoadHistoryFile(Path(c.name)), c.result) << c.name;
        EXPECT_EQ(prompt.MessageTexts(), QStringList{QString::fromUtf8(c.message)}) << c.name;
        EXPECT_EQ(store.pointCount, 0);
    }
}

TEST_F(Replay, AFileTheMemoryCannotHoldIsRefusedBeforeAllocating) {
    WriteAll(Path("run.000"), Packets(750000) + "x");
    store.pointCount = 5;
    replay.availableMemory = [] { return uint64_t{1} << 20; };
    EXPECT_EQ(replay.LoadHistoryFile(Path("run.000")), LoadResult::Failed);
    EXPECT_EQ(prompt.MessageTexts(),
              QStringList{QString::fromUtf8("申请内存失败，不能打开文件！")});
    EXPECT_EQ(store.pointCount, 5) << "the old points stay";
    EXPECT_EQ(store.pointCapacity, 1000000);
    EXPECT_EQ(historyFile, Path("run.000"));
}

// A file whose bytes fit but whose larger point buffer did not freed the replay shown before it
// found out, leaving no buffer and no points.
TEST_F(Replay, AFileWhosePointsTheMemoryCannotHoldKeepsTheReplayShown) {
    const QByteArray bytes = Packets(7500) + "x";
    Archive("run.Zip", "run.000", bytes);
    WriteAll(Path("run.000"), bytes);
    const struct {
        const char* what;
        std::function<LoadResult()> load;
    } cases[] = {
        {"raw file", [&] { return replay.LoadHistoryFile(Path("run.000")); }},
        {"archive entry",
         [&] {
             historyFile = Path("run.Zip");
             return replay.LoadArchiveEntry(0);
         }},
    };
    replay.availableMemory = [] { return uint64_t{100000}; };
    for (const auto& c : cases) {
        PointStore shown(1000);
        shown.pointBuffer[999].distance = 4321;
        shown.pointCount = 1000;
        std::swap(store, shown);
        prompt.messages.clear();
        EXPECT_EQ(c.load(), LoadResult::Failed) << c.what;
        EXPECT_EQ(prompt.MessageTexts(),
                  QStringList{QString::fromUtf8("申请内存失败，不能打开文件！")})
            << c.what;
        EXPECT_EQ(store.pointCapacity, 1000) << c.what;
        ASSERT_EQ(store.pointBuffer.size(), 1000u) << c.what;
        EXPECT_EQ(store.pointCount, 1000) << c.what;
        EXPECT_EQ(store.pointBuffer[999].distance, 4321) << c.what;
    }
}

// A FIFO named like an archive blocked the window in minizip's open until a writer came.
TEST_F(Replay, AFifoOrDeviceNamedLikeAnArchiveIsRefusedWithoutWaiting) {
    ASSERT_EQ(mkfifo(QFile::encodeName(Path("live.Zip")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", Path("zero.zip")));
    for (const char* name : {"live.Zip", "zero.zip"}) {
        // Should the load wait, writers come from the deadline on: the test fails, not hangs.
        std::atomic<bool> done{false};
        std::atomic<bool> waited{false};
        std::thread deadline([&] {
            for (int tick = 0; !done; ++tick) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                if (tick < 100 || done)
                    continue;
                waited = true;
                const int writer = open(QFile::encodeName(Path(name)).constData(),
                                        O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (writer >= 0)
                    close(writer);
            }
        });
        historyFile = Path(name);
        store.pointCount = 7;
        prompt.messages.clear();
        EXPECT_EQ(replay.LoadArchiveEntry(0), LoadResult::Failed) << name;
        done = true;
        deadline.join();
        EXPECT_FALSE(waited) << name << ": the load waited for a writer";
        ASSERT_EQ(prompt.messages.size(), 1u) << name;
        EXPECT_TRUE(prompt.messages[0].text.startsWith(Path(name) + ": not a file")) << name;
        EXPECT_EQ(store.pointCount, 7) << name;
    }
}

TEST_F(Replay, ADecoderErrorLeavesNoBuffer) {
    WriteAll(Path("run.000"), Packets(200000));
    decoder.SetProgressReport([](const char*, int, int) { throw std::runtime_error("stop"); });
    EXPECT_EQ(replay.LoadHistoryFile(Path("run.000")), LoadResult::Failed);
    EXPECT_EQ(prompt.MessageTexts(), QStringList{QString::fromUtf8("解析错误！")});
    EXPECT_TRUE(store.pointBuffer.empty());
    EXPECT_EQ(store.pointCapacity, 0);
    EXPECT_EQ(store.pointCount, 0);
    EXPECT_FALSE(replay.Busy());
}

TEST_F(Replay, ProgressIsReportedWhileTheLoadHoldsTheBuffer) {
    WriteAll(Path("run.000"), Packets(200000));
    std::vector<int> steps;
    decoder.SetProgressReport([&](const char* label, int step, int total) {
        EXPECT_TRUE(replay.Busy());
        EXPECT_STREQ(label, TLaserDecode::kProgressLabel);
        EXPECT_EQ(total, 800000 >> 18);
        steps.push_back(step);
    });
    EXPECT_EQ(replay.LoadHistoryFile(Path("run.000")), LoadResult::Loaded);
    EXPECT_EQ(steps, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(replay.Busy());
}

// An archive loads its first entry; any other file is a raw stream, named in panel 7 even when
// it fails.
TEST_F(Replay, TheChosenFileLoadsAsAnArchiveOrARawStream) {
    Archive("run.Zip", "run.000", Packets(300));
    WriteAll(Path("raw.dat"), Packets(200));
    const struct {
        QString file;
        LoadResult result;
        int points;
        QString panel;
    } cases[] = {
        {Path("run.Zip"), LoadResult::Loaded, 300, Path("run.000") + " , 0/1:run.000"},
        {Path("raw.dat"), LoadResult::Loaded, 200, Path("raw.dat")},
        {Path("absent.000"), LoadResult::Failed, 200, Path("absent.000")},
    };
    for (const auto& c : cases) {
        historyFile = c.file;
        EXPECT_EQ(replay.LoadChosen(c.file), c.result) << c.file.toStdString();
        EXPECT_EQ(store.pointCount, c.points) << c.file.toStdString();
        EXPECT_EQ(panel, c.panel);
        EXPECT_EQ(replay.archiveEntryCount, c.file.endsWith(".Zip") ? 1 : 0);
    }
}

// The buffer is made once as large as the largest segment needs; with too little memory left
// it stays as it was, and one as large keeps its points.
TEST_F(Replay, RoomIsMadeOnceAndOnlyWhereTheMemoryAllows) {
    WriteAll(Path("raw.dat"), Packets(100));
    ASSERT_EQ(replay.LoadHistoryFile(Path("raw.dat")), LoadResult::Loaded);
    EXPECT_TRUE(replay.MakeRoom(1000000));
    EXPECT_EQ(store.pointCount, 100) << "large enough already";
    replay.availableMemory = [] { return uint64_t{10} << 20; };
    EXPECT_FALSE(replay.MakeRoom(2000000));
    EXPECT_EQ(store.pointCapacity, 1000000);
    EXPECT_EQ(store.pointCount, 100);
    replay.availableMemory = [] { return uint64_t{1} << 30; };
    EXPECT_TRUE(replay.MakeRoom(2000000));
    EXPECT_EQ(store.pointCapacity, 2000000);
    EXPECT_EQ(store.pointBuffer.size(), 2000000u);
    // A file of the largest size now decodes without another allocation.
    const ScanPoint* buffer = store.pointBuffer.data();
    WriteAll(Path("big.dat"), Packets(1500000));
    ASSERT_EQ(replay.LoadHistoryFile(Path("big.dat")), LoadResult::Loaded);
    EXPECT_EQ(store.pointBuffer.data(), buffer);
    EXPECT_EQ(store.pointCount, 1500000);
}

TEST_F(Replay, TheFirstEntryOfAnArchiveIsReadInMemoryAndNothingIsLeftBeside) {
    Archive("run.Zip", "run.000", Packets(1000, 100));
    Archive("run.Zip", "run.001", Packets(500, 2000));
    // A segment file of an unfinished recording lies beside the archive.
    WriteAll(Path("run.000"), "unfinished");
    historyFile = Path("run.Zip");
    EXPECT_EQ(replay.LoadArchiveEntry(0), LoadResult::Loaded);
    EXPECT_EQ(store.pointCount, 1000) << "the first entry only";
    EXPECT_EQ(store.pointBuffer[0].distance, 100);
    EXPECT_EQ(replay.archiveEntryCount, 2);
    EXPECT_EQ(panel, Path("run.000") + " , 0/2:run.000");
    EXPECT_EQ(Files(), (QStringList{"run.000", "run.Zip"}));
    EXPECT_EQ(ReadAll(Path("run.000")), "unfinished");
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(Replay, AnArchiveWithoutEntriesLoadsNothingAndSaysNothing) {
    WriteAll(Path("empty.Zip"), QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
    historyFile = Path("empty.Zip");
    panel = "before";
    EXPECT_EQ(replay.LoadArchiveEntry(0), LoadResult::Failed);
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_EQ(panel, "before");
    EXPECT_EQ(replay.archiveEntryCount, 0);
}

TEST_F(Replay, BadArchivesShowTheirErrorAndLoadNothing) {
    Archive("good.Zip", "abcd", Packets(1000));
    QByteArray good = ReadAll(Path("good.Zip"));
    QByteArray climbing = good;
    climbing.replace("abcd", "../x");
    QByteArray bomb = good;
    const qsizetype central = bomb.indexOf(QByteArray("PK\x01\x02", 4));
    const uint32_t huge = 0xFFFFFF00u;
    std::memcpy(bomb.data() + central + 24, &huge, 4);

    const struct {
        const char* what;
        QByteArray bytes;
        const char* message;
    } cases[] = {
        {"truncated", good.left(good.size() - 30), "not a ZIP archive"},
        {"not an archive", Packets(100), "not a ZIP archive"},
        {"entry ../x", climbing, "outside"},
        {"absurd size", bomb, "sizes disagree"},
    };
    for (const auto& c : cases) {
        WriteAll(Path("bad.Zip"), c.bytes);
        historyFile = Path("bad.Zip");
        store.pointCount = 7;
        prompt.messages.clear();
        EXPECT_EQ(replay.LoadArchiveEntry(0), LoadResult::Failed) << c.what;
        ASSERT_EQ(prompt.messages.size(), 1u) << c.what;
        EXPECT_TRUE(prompt.messages[0].text.startsWith(Path("bad.Zip"))) << c.what;
        EXPECT_TRUE(prompt.messages[0].text.contains(c.message))
            << c.what << ": " << prompt.messages[0].text.toStdString();
        EXPECT_EQ(store.pointCount, 7) << c.what;
    }
    EXPECT_EQ(Files(), (QStringList{"bad.Zip", "good.Zip"}));
}

TEST_F(Replay, AnEntryLargerThanTheMemoryIsRefusedWithTheFileMessage) {
    Archive("run.Zip", "run.000", Packets(300000));
    historyFile = Path("run.Zip");
    replay.availableMemory = [] { return uint64_t{1} << 20; };
    EXPECT_EQ(replay.LoadArchiveEntry(0), LoadResult::Failed);
    EXPECT_EQ(prompt.MessageTexts(),
              QStringList{QString::fromUtf8("申请内存失败，不能打开文件！")});
}

}  // namespace
