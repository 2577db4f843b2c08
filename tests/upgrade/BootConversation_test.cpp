#include "BootConversation.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <cerrno>
#include <deque>
#include <string>
#include <vector>

#include "BootProtocol.h"
#include "BootTexts.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes B(const std::string& text) {
    return {text.begin(), text.end()};
}

// The comm device: packages waiting to be read, packages written, a switch to refuse, and a
// line that takes what is written until told to stop or to fail.
class FakeLine : public BootLine {
public:
    bool Active() const override { return active; }
    int ReadPackage(uint8_t* buffer, int size) override {
        if (!active || received.empty())
            return 0;
        const Bytes package = received.front();
        received.pop_front();
        const int n = std::min<int>(size, static_cast<int>(package.size()));
        std::copy(package.begin(), package.begin() + n, buffer);
        return n;
    }
    int WritePackage(const uint8_t* data, int count) override {
        if (!active || (refuse && refuse()))
            return 0;
        written.emplace_back(data, data + count);
        if (takes)
            taken += static_cast<uint64_t>(count);
        return count;
    }
    void Close() override { active = false; }
    int BytesPerSecond() const override { return bytesPerSecond; }
    uint64_t BytesTaken() const override { return taken; }
    int Failure() const override { return failure; }

    Bytes AllWritten() const {
        Bytes all;
        for (const Bytes& package : written) all.insert(all.end(), package.begin(), package.end());
        return all;
    }

    bool active = true;
    bool takes = true;
    uint64_t taken = 0;
    int failure = 0;
    int bytesPerSecond = 11520;
    std::function<bool()> refuse;
    std::deque<Bytes> received;
    std::vector<Bytes> written;
};

class RecordingView : public BootView {
public:
    void AddMessage(const QString& text) override { messages << text; }
    void ShowCrc(const QString& caption) override { crc = caption; }
    void ShowReceivedText(const uint8_t* bytes, int count) override {
        shown.emplace_back(bytes, bytes + count);
    }
    void ShowProgress(uint32_t maximum, uint32_t position) override {
        progressMax = maximum;
        progress = position;
    }
    void ShowSentBytes(int count) override { sent = count; }
    void ShowReceivedBytes(int count) override { receivedCount = count; }
    void PortClosed() override { ++closed; }
    void BootMessage(BootAction action) override { actions.push_back(action); }
    void LineFailed(const LineLoss& loss) override { losses.push_back(loss); }

    QStringList messages;
    QString crc;
    std::vector<Bytes> shown;
    uint32_t progressMax = 0, progress = 0;
    int sent = -1, receivedCount = -1, closed = 0;
    std::vector<BootAction> actions;
    std::vector<LineLoss> losses;
};

using namespace boottexts;

Bytes Pattern(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

class Conversation : public testing::Test {
protected:
    QString WriteFile(const QString& name, const Bytes& bytes) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        return path;
    }
    // Chooses a firmware file of the given bytes.
    void Choose(const Bytes& image) { boot_.SetFileName(WriteFile("firmware.bin", image)); }

    void Receive(const std::string& package) { line_.received.push_back(B(package)); }
    // Loads image and receives the boot loader's ST; the time of the tick after it.
    uint32_t StartTransfer(const Bytes& image) {
        Choose(image);
        EXPECT_TRUE(boot_.LoadUpgradeFile());
        Receive("#BOOTST\r\n");
        Tick();
        EXPECT_TRUE(boot_.Sending());
        return now_;
    }
    void Tick() {
        boot_.tmr1Timer(now_);
        now_ += 2;
    }
    // Ticks until the transfer has ended; the ticks it took.
    int TransferAll(int limit = 100000) {
        int ticks = 0;
        while (boot_.Sending() && ticks < limit) {
            Tick();
            ++ticks;
        }
        return ticks;
    }

    QTemporaryDir dir_;
    FakeLine line_;
    RecordingView view_;
    TBootConversation boot_{line_, view_};
    uint32_t now_ = 1000;
};

TEST_F(Conversation, BootMessagesInAPackage) {
    struct Case {
        const char* name;
        bool image;
        std::string package;
        QStringList messages;
        int written;  // packages
        bool sending;
    };
    const Case cases[] = {
        {"IN after other bytes", true, "\x01zz#BOOTIN\r\n", {kRequest, kAnswered}, 1, false},
        {"IN without its line feed", true, "#BOOTIN\r", {}, 0, false},
        {"IN split by other bytes", true, "#BOOTIN\rx\n", {}, 0, false},
        {"ST then IN acts on ST", true, "#BOOTST\r\n#BOOTIN\r\n", {kStart}, 0, true},
        {"unknown pair then IN acts on nothing", true, "#BOOTXY\r\n#BOOTIN\r\n", {}, 0, false},
        {"lower-case letters are unknown", true, "#BOOTin\r\n", {}, 0, false},
        {"GO", true, "#BOOTGO\r\n", {kProgramming}, 0, false},
        {"ER", true, "#BOOTER\r\n", {kCheckError}, 0, false},
        {"ST without an image", false, "#BOOTST\r\n", {}, 0, false},
        {"GO without an image", false, "#BOOTGO\r\n", {}, 0, false},
        {"ER without an image", false, "#BOOTER\r\n", {}, 0, false},
        {"OK without an image", false, "#BOOTOK\r\n", {}, 0, false},
        {"shorter than a message", true, "#BOOT", {}, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeLine line;
        RecordingView view;
        TBootConversation boot(line, view);
        if (c.image) {
            boot.SetFileName(WriteFile("image.bin", Pattern(120)));
            ASSERT_TRUE(boot.LoadUpgradeFile());
        }
        line.received.push_back(B(c.package));
        boot.tmr1Timer(0);
        EXPECT_EQ(view.messages, c.messages);
        EXPECT_EQ(static_cast<int>(line.written.size()), c.written);
        EXPECT_EQ(boot.Sending(), c.sending);
        EXPECT_TRUE(line.active);
        EXPECT_EQ(view.receivedCount, static_cast<int>(c.package.size()));
        ASSERT_EQ(view.shown.size(), 1u);
        EXPECT_EQ(view.shown[0], B(c.package));
    }
}

TEST_F(Conversation, InWithoutAFileIsAnsweredWithSizeAndCrcZero) {
    Receive("#BOOTIN\r\n");
    Tick();
    EXPECT_EQ(view_.messages, QStringList({QStringLiteral("请先选择文件!"), kRequest, kAnswered}));
    const Bytes reply = {0xAA, 0x55, 0x42, 0x4F, 0x4F, 0x54, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(line_.written.size(), 1u);
    EXPECT_EQ(line_.written[0], reply);
    EXPECT_EQ(boot_.SentBytes(), 14);
    EXPECT_EQ(view_.sent, 14);
}

TEST_F(Conversation, InAnswersWithTheFileReadAfresh) {
    Choose({1, 2, 3, 4});
    Receive("#BOOTIN\r\n");
    Tick();
    ASSERT_EQ(line_.written.size(), 1u);
    const scanner::FileInfo expected = scanner::FileInfoReply(4, 497805135u);
    EXPECT_EQ(line_.written[0], Bytes(expected.begin(), expected.end()));
    EXPECT_EQ(view_.crc, QStringLiteral("CRC32 :497805135    "));

    // The file changed on disk: the next request sends its new size without reselecting it.
    Choose(Pattern(9));
    Receive("#BOOTIN\r\n");
    Tick();
    ASSERT_EQ(line_.written.size(), 2u);
    EXPECT_EQ(line_.written[1][6], 9);
    EXPECT_EQ(boot_.ImageSize(), 9u);
}

TEST_F(Conversation, LoadUpgradeFile) {
    const QString big = WriteFile("big.bin", Pattern(65537));
    const QString largest = WriteFile("largest.bin", Pattern(65536));
    const QString empty = WriteFile("empty.bin", {});
    struct Case {
        QString file;
        QString message;  // empty: loads
        uint32_t size;
    };
    const Case cases[] = {
        {QString(), QStringLiteral("请先选择文件!"), 0},
        {QStringLiteral("ab"), QStringLiteral("请先选择文件!"), 0},
        {dir_.filePath("missing.bin"), QStringLiteral("文件不存在!"), 0},
        {dir_.path(), QStringLiteral("文件不存在!"), 0},
        // Exists, but may not be read (not even by root).
        {QStringLiteral("/proc/sys/vm/drop_caches"), QStringLiteral("文件打开失败!"), 0},
        // Opens, then the read fails: the failed count is no size.
        {QStringLiteral("/proc/self/mem"), QStringLiteral("文件打开失败!"), 0},
        {big, QStringLiteral("文件太大!"), 0},
        // A device of endless bytes is too large as well, not read forever.
        {QStringLiteral("/dev/zero"), QStringLiteral("文件太大!"), 0},
        {largest, QString(), 65536},
        // Size 0 told the boot loader that there was nothing to flash.
        {empty, QStringLiteral("文件为空!"), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        RecordingView view;
        TBootConversation boot(line_, view);
        // A good image first, so that a failing load shows what it leaves behind.
        boot.SetFileName(WriteFile("good.bin", Pattern(40)));
        ASSERT_TRUE(boot.LoadUpgradeFile());
        view.messages.clear();
        boot.SetFileName(c.file);
        EXPECT_EQ(boot.LoadUpgradeFile(), c.message.isEmpty());
        EXPECT_EQ(view.messages, c.message.isEmpty() ? QStringList() : QStringList(c.message));
        EXPECT_EQ(boot.ImageSize(), c.size);
        const auto& image = boot.UpgradeImage();
        ASSERT_EQ(image.size(), 262144u);
        EXPECT_TRUE(
            std::all_of(image.begin() + c.size, image.end(), [](uint8_t b) { return b == 0xFF; }));
        if (c.size == 0) {
            EXPECT_EQ(boot.ImageCrc(), 0u);
        }
    }
}

TEST_F(Conversation, CrcOfFilesWithAPartialLastWord) {
    // Bytes b0 b1 b2 of a last group become 0xFF b2 b1 b0 and only the file's length counts.
    const struct {
        Bytes file;
        Bytes crcOver;
    } cases[] = {
        {{1, 2, 3, 4, 5}, {4, 3, 2, 1, 0xFF}},
        {{1, 2, 3, 4, 5, 6}, {4, 3, 2, 1, 0xFF, 0xFF}},
        {{1, 2, 3, 4, 5, 6, 7}, {4, 3, 2, 1, 0xFF, 7, 6}},
    };
    for (const auto& c : cases) {
        Choose(c.file);
        ASSERT_TRUE(boot_.LoadUpgradeFile());
        const uint32_t expected =
            scanner::Crc32Mpeg2(c.crcOver.data(), static_cast<uint32_t>(c.crcOver.size()));
        EXPECT_EQ(boot_.ImageCrc(), expected) << c.file.size();
        EXPECT_EQ(view_.crc, QStringLiteral("CRC32 :%1    ").arg(expected));
    }
}

TEST_F(Conversation, ImagesGoInBlocksOfFiftyOneBlockPerTick) {
    const struct {
        size_t size;
        std::vector<size_t> blocks;
    } cases[] = {{100, {50, 50}}, {101, {50, 50, 1}}, {50, {50}}, {1, {1}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        line_.written.clear();
        view_.messages.clear();
        const Bytes image = Pattern(c.size);
        Choose(image);
        Receive("#BOOTIN\r\n");
        Tick();
        line_.written.clear();
        Receive("#BOOTST\r\n");
        Tick();
        ASSERT_TRUE(boot_.Sending());
        std::vector<size_t> perTick;
        while (boot_.Sending()) {
            const size_t before = line_.written.size();
            Tick();
            ASSERT_EQ(line_.written.size(), before + 1) << "one block per tick";
            perTick.push_back(line_.written.back().size());
        }
        EXPECT_EQ(perTick, c.blocks);
        EXPECT_EQ(line_.AllWritten(), image);
        EXPECT_EQ(view_.messages.back(), kTransferred);
        // The bar falls back to empty on the tick that completes the transfer.
        EXPECT_EQ(view_.progressMax, c.size);
        EXPECT_EQ(view_.progress, 0u);
        EXPECT_EQ(boot_.SendOffset(), 0u);
    }
}

TEST_F(Conversation, RefusedBlocksAreOfferedAgainSoTheImageArrivesWhole) {
    const Bytes image = Pattern(1003);
    StartTransfer(image);
    int calls = 0;
    line_.refuse = [&calls] { return ++calls % 3 != 0; };  // two of three refused
    TransferAll();
    EXPECT_FALSE(boot_.Sending());
    EXPECT_EQ(line_.AllWritten(), image);
    EXPECT_EQ(boot_.SentBytes(), 1003);
}

TEST_F(Conversation, TransferKeepsPaceWithTheLine) {
    // 2 ms ticks carry 25,000 bytes a second in 50-byte blocks; the line takes 960.
    line_.bytesPerSecond = 960;
    const Bytes image = Pattern(4800);
    const uint32_t start = StartTransfer(image);
    while (boot_.Sending()) {
        Tick();
        const uint64_t carried = uint64_t(now_ - start) * 960 / 1000;
        // At this rate the lead is one block.
        ASSERT_LE(line_.AllWritten().size(), carried + 50) << "at " << now_ - start << " ms";
    }
    EXPECT_EQ(line_.AllWritten(), image);
    // 5 s of line, and not much more.
    EXPECT_GE(now_ - start, 4900u);
    EXPECT_LE(now_ - start, 5100u);
}

TEST_F(Conversation, LateTicksCatchUpWithTheLine) {
    line_.bytesPerSecond = 11520;
    const Bytes image = Pattern(11520);
    const uint32_t start = StartTransfer(image);
    // A tick every 16 ms offers at most 3,125 bytes a second one block at a time.
    while (boot_.Sending()) {
        boot_.tmr1Timer(now_);
        now_ += 16;
    }
    EXPECT_EQ(line_.AllWritten(), image);
    EXPECT_LE(now_ - start, 1000u + 32);
}

TEST_F(Conversation, MessagesDuringATransferWaitForItsEnd) {
    const Bytes image = Pattern(120);
    Choose(image);
    ASSERT_TRUE(boot_.LoadUpgradeFile());
    Receive("#BOOTST\r\n");
    Receive("#BOOTIN\r\n");  // same tick, after ST: waits as well
    Tick();
    EXPECT_EQ(line_.received.size(), 1u);
    Tick();
    Receive("#BOOTST\r\n");
    TransferAll();
    EXPECT_EQ(line_.received.size(), 2u) << "nothing read while sending";
    EXPECT_EQ(line_.AllWritten(), image);
    line_.written.clear();

    // The waiting IN is answered, then the ST sends the whole image once more.
    Tick();
    EXPECT_TRUE(boot_.Sending());
    ASSERT_FALSE(line_.written.empty());
    EXPECT_EQ(line_.written[0].size(), 14u);
    line_.written.erase(line_.written.begin());
    TransferAll();
    EXPECT_EQ(line_.AllWritten(), image);
    EXPECT_EQ(view_.messages.count(kTransferred), 2);
    EXPECT_EQ(view_.messages.count(kStart), 2);
}

TEST_F(Conversation, OkClosesThePortAndLaterPackagesWait) {
    Choose(Pattern(10));
    ASSERT_TRUE(boot_.LoadUpgradeFile());
    Receive("#BOOTOK\r\n");
    Receive("#BOOTIN\r\n");
    Tick();
    EXPECT_EQ(view_.messages, QStringList(kDone));
    EXPECT_FALSE(line_.active);
    EXPECT_EQ(view_.closed, 1);
    EXPECT_EQ(line_.received.size(), 1u);
    Tick();
    EXPECT_EQ(line_.received.size(), 1u);
    EXPECT_EQ(view_.actions, std::vector<BootAction>{BootAction::Done});
}

TEST_F(Conversation, PortClosedUnderATransferEndsIt) {
    StartTransfer(Pattern(500));
    Tick();
    line_.active = false;
    Tick();
    EXPECT_FALSE(boot_.Sending());
    EXPECT_EQ(view_.progress, 50u) << "the bar stays where the transfer stopped";
    EXPECT_EQ(view_.messages.back(), QStringLiteral("串口断开，传输中断(50/500)，请重新断电升级"));
    line_.active = true;
    Receive("#BOOTIN\r\n");
    Tick();
    EXPECT_EQ(view_.messages.back(), kAnswered);
}

// A vanished or stalled line went unnoticed: the transfer counted as running for ever, or
// ended with "传输文件完成" while the image never left.
TEST_F(Conversation, ALineThatFailsUnderATransferStopsItWhereItStood) {
    const struct {
        const char* name;
        size_t image;
        uint64_t failAt;  // bytes the line took when it fails
        bool stall;       // it stops taking bytes, else it reports a hang-up
        QString message;
        uint32_t waitedMs;  // from the failure to its report, at least
    } cases[] = {
        {"hang-up", 2000, 500, false,
         QStringLiteral("串口断开，传输中断(500/2000)，请重新断电升级"), 0},
        {"stall", 2000, 500, true, QStringLiteral("串口无响应，传输中断(500/2000)，请重新断电升级"),
         TBootConversation::kStallMs},
        {"last blocks queued, never taken", 100, 0, true,
         QStringLiteral("串口无响应，传输中断(0/100)，请重新断电升级"),
         TBootConversation::kStallMs},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeLine line;
        RecordingView view;
        TBootConversation boot(line, view);
        boot.SetFileName(WriteFile("image.bin", Pattern(c.image)));
        line.received.push_back(B("#BOOTST\r\n"));
        uint32_t now = 0;
        boot.LoadUpgradeFile();
        boot.tmr1Timer(now);
        ASSERT_TRUE(boot.Sending());
        uint32_t failedAt = 0;
        bool failed = false;
        while (boot.Sending() && now < 20000) {
            if (!failed && line.taken >= c.failAt) {
                failed = true;
                failedAt = now;
                line.takes = !c.stall;
                line.failure = c.stall ? 0 : EIO;
                line.taken = c.failAt;
            }
            now += 2;
            boot.tmr1Timer(now);
        }
        EXPECT_FALSE(boot.Sending());
        EXPECT_GE(now - failedAt, c.waitedMs);
        EXPECT_LT(now - failedAt, c.waitedMs + 100);
        EXPECT_EQ(view.messages.back(), c.message);
        EXPECT_FALSE(view.messages.contains(kTransferred));
        EXPECT_FALSE(line.active) << "the port is closed";
        EXPECT_EQ(view.progressMax, c.image);
        EXPECT_EQ(view.progress, c.failAt);
        ASSERT_EQ(view.losses.size(), 1u);
        EXPECT_EQ(view.losses[0].kind, c.stall ? LineLoss::Stalled : LineLoss::Lost);
        EXPECT_EQ(view.losses[0].error, c.stall ? 0 : EIO);
        EXPECT_TRUE(view.losses[0].sending);
        EXPECT_EQ(view.losses[0].taken, c.failAt);
        EXPECT_EQ(view.losses[0].size, c.image);
    }
}

TEST_F(Conversation, ALineLostWhileListeningIsToldAfterWhatCameBeforeIt) {
    Choose(Pattern(10));
    ASSERT_TRUE(boot_.LoadUpgradeFile());
    Receive("#BOOTER\r\n");
    line_.failure = EIO;
    Tick();
    EXPECT_EQ(view_.messages, QStringList({kCheckError, QStringLiteral("串口断开，请检查连接线")}));
    EXPECT_FALSE(line_.active);
    ASSERT_EQ(view_.losses.size(), 1u);
    EXPECT_FALSE(view_.losses[0].sending);
    Tick();
    EXPECT_EQ(view_.losses.size(), 1u) << "told once";
}

// An image the check refuses is never described to the scanner.
TEST_F(Conversation, ARefusedImageLeavesTheRequestUnanswered) {
    Choose(Pattern(10));
    std::vector<std::pair<uint32_t, uint32_t>> checked;
    boot_.SetImageCheck([&](uint32_t size, uint32_t crc) {
        checked.emplace_back(size, crc);
        return false;
    });
    Receive("#BOOTIN\r\n");
    Tick();
    EXPECT_TRUE(line_.written.empty());
    EXPECT_EQ(view_.messages, QStringList(kRequest));
    EXPECT_EQ(boot_.ImageSize(), 0u);
    ASSERT_EQ(checked.size(), 1u);
    EXPECT_EQ(checked[0].first, 10u);
    EXPECT_EQ(checked[0].second, scanner::FirmwareCrc(Pattern(10).data(), 10));
    Receive("#BOOTST\r\n");
    Tick();
    EXPECT_FALSE(boot_.Sending());
}

TEST_F(Conversation, CountersAddUpUntilCleared) {
    Receive("noise");
    Receive("#BOOTIN\r\n");
    Tick();
    EXPECT_EQ(boot_.ReceivedBytes(), 14);
    EXPECT_EQ(view_.receivedCount, 14);
    EXPECT_EQ(boot_.SentBytes(), 14);
    boot_.ClearCounters();
    EXPECT_EQ(boot_.ReceivedBytes(), 0);
    EXPECT_EQ(boot_.SentBytes(), 0);
    EXPECT_EQ(view_.sent, 0);
    EXPECT_EQ(view_.receivedCount, 0);
}

}  // namespace
