#include "RecordingExports.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>

#include "RecordTestSupport.h"
#include "RecordedScan.h"
#include "ScannerInterface.h"
#include "ScriptedPrompt.h"
#include "SystemError.h"

namespace {

// Cancels at the report it is told to; remembers what it was shown.
class ScriptedProgress : public console::ExportProgressView {
public:
    int cancelAt = -1;
    QStringList begun;
    int reports = 0;
    int ended = 0;

    void Begin(const QString& text) override { begun << text; }
    bool Report(uint64_t, uint64_t) override { return ++reports != cancelAt; }
    void End() override { ++ended; }
};

class RecordingExportsTest : public ::testing::Test {
protected:
    RecordingExportsTest() {
        EXPECT_TRUE(recorded_.opened);
        exports_.folder = out_.path();
    }

    console::ReplayedRecording Replay(int shown = 4) const {
        return {recorded_.set, recorded_.index, shown, scanner::kConsoleBaud};
    }
    int Count() const { return recorded_.index.Count(); }
    QStringList Files() const { return QDir(out_.path()).entryList(QDir::Files | QDir::Hidden); }
    // The revolution column of a written CSV, each number once.
    static QStringList Revolutions(const QString& path) {
        QStringList numbers;
        const QStringList lines = QString::fromLatin1(ReadAll(path)).split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QString number = lines[i].section(',', 0, 0);
            if (!number.isEmpty() && !numbers.contains(number))
                numbers << number;
        }
        return numbers;
    }

    RecordedScan recorded_{12};
    QTemporaryDir out_;
    ScriptedPrompt prompt_;
    ScriptedProgress progress_;
    console::RecordingExports exports_{prompt_, progress_};
};

TEST_F(RecordingExportsTest, ARangeIsAskedFromOneAndWrittenAsCsv) {
    prompt_.inputs = {"3", " 5 "};
    prompt_.fileNames = {out_.filePath("range")};
    exports_.ExportRange(Replay());
    EXPECT_EQ(prompt_.inputCaptions,
              QStringList({QStringLiteral("导出区间|起始圈（1 - %1）：").arg(Count()),
                           QStringLiteral("导出区间|结束圈（1 - %1）：").arg(Count())}));
    EXPECT_EQ(Files(), QStringList{"range.csv"});
    EXPECT_EQ(Revolutions(out_.filePath("range.csv")), QStringList({"3", "4", "5"}));
    EXPECT_EQ(prompt_.MessageTexts(),
              QStringList{QStringLiteral("已导出 3 圈：\n") +
                          QDir::toNativeSeparators(out_.filePath("range.csv"))});
    EXPECT_EQ(progress_.begun.size(), 1);
    EXPECT_EQ(progress_.ended, 1);
}

TEST_F(RecordingExportsTest, TheShownRevolutionIsOffered) {
    prompt_.fileNames = {out_.filePath("shown.csv")};
    exports_.ExportRange(Replay(6));
    EXPECT_EQ(Revolutions(out_.filePath("shown.csv")), QStringList{"7"});
}

TEST_F(RecordingExportsTest, ARangeThatIsNoneIsRefusedBeforeAFileIsAsked) {
    const QString outside = QStringLiteral("请输入 1 到 %1 之间的圈数！").arg(Count());
    const struct {
        QString from, to, message;
    } cases[] = {
        {"0", "2", outside},
        {"1", QString::number(Count() + 1), outside},
        {"x", "2", outside},
        {"2", "", outside},
        {"5", "3", QStringLiteral("起始圈不能大于结束圈！")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.from + ".." + c.to).toStdString());
        ScriptedPrompt prompt;
        console::RecordingExports exports(prompt, progress_);
        prompt.inputs = {c.from, c.to};
        prompt.fileNames = {out_.filePath("refused.csv")};
        exports.ExportRange(Replay());
        EXPECT_EQ(prompt.MessageTexts(), QStringList{c.message});
        ASSERT_EQ(prompt.messages.size(), 1u);
        EXPECT_EQ(prompt.messages[0].icon, Prompt::Icon::Warning);
        EXPECT_TRUE(prompt.fileCaptions.isEmpty());
    }
    EXPECT_TRUE(Files().isEmpty());
}

TEST_F(RecordingExportsTest, MCAPOfTheWholeRecordingOrARange) {
    const struct {
        const char* what;
        Prompt::Answer whole;
        std::deque<QString> inputs;
        int revolutions;
    } cases[] = {
        {"whole", Prompt::Answer::Yes, {}, Count() - 1},  // the last one the stream ends
        {"range", Prompt::Answer::No, {"2", "4"}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedPrompt prompt;
        console::RecordingExports exports(prompt, progress_);
        prompt.answers = {c.whole};
        prompt.inputs = c.inputs;
        const QString path = out_.filePath(QString::fromUtf8(c.what));
        prompt.fileNames = {path};
        exports.ExportMcap(Replay());
        EXPECT_EQ(prompt.MessageTexts().value(1),
                  QStringLiteral("已导出 %1 圈：\n").arg(c.revolutions) +
                      QDir::toNativeSeparators(path + ".mcap"));
        EXPECT_TRUE(QFile::exists(path + ".mcap"));
    }
}

TEST_F(RecordingExportsTest, ARecordingChosenWithoutReplayingIt) {
    prompt_.fileNames = {out_.filePath("run.mcap")};
    exports_.ExportMcapOfFile(recorded_.dir.filePath("run.Zip"), scanner::kConsoleBaud);
    EXPECT_EQ(prompt_.MessageTexts(),
              QStringList{QStringLiteral("已导出 %1 圈：\n").arg(Count() - 1) +
                          QDir::toNativeSeparators(out_.filePath("run.mcap"))});

    ScriptedPrompt prompt;
    console::RecordingExports exports(prompt, progress_);
    prompt.fileNames = {out_.filePath("none.mcap")};
    exports.ExportMcapOfFile(out_.filePath("missing.Zip"), scanner::kConsoleBaud);
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_TRUE(prompt.messages[0].text.startsWith(QStringLiteral("无法打开录制文件！\n")));
    EXPECT_TRUE(prompt.messages[0].text.contains("missing.Zip"));
    EXPECT_TRUE(prompt.fileCaptions.isEmpty());
    EXPECT_EQ(Files(), QStringList{"run.mcap"});
}

// A cancel ends the export without a word and without a file; a failure is told with the
// system's reason.
TEST_F(RecordingExportsTest, ACancelLeavesNothingAndAFailureIsTold) {
    progress_.cancelAt = 2;
    prompt_.answers = {Prompt::Answer::Yes};
    prompt_.fileNames = {out_.filePath("cancelled.mcap"), out_.filePath("cancelled.csv")};
    exports_.ExportMcap(Replay());
    progress_.reports = 0;
    exports_.ExportRange(Replay());
    EXPECT_EQ(prompt_.MessageTexts().size(), 1);  // the question whole or a range
    EXPECT_TRUE(Files().isEmpty());
    EXPECT_EQ(progress_.ended, 2);

    progress_.cancelAt = -1;
    const QString path = out_.filePath("no such folder/range.csv");
    prompt_.fileNames = {path};
    exports_.ExportRange(Replay());
    EXPECT_EQ(prompt_.MessageTexts().back(), QStringLiteral("导出失败！\n%1\n%2")
                                                 .arg(QDir::toNativeSeparators(path),
                                                      QStringLiteral("No such file or directory")));
    EXPECT_EQ(prompt_.messages.back().icon, Prompt::Icon::Warning);
}

}  // namespace
