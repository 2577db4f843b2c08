// The console's exports from a replayed recording, driven through its buttons and system menu
// with scripted answers.

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "MixedScanStream.h"
#include "RecordTestSupport.h"
#include "RecordedScan.h"
#include "ScriptedPrompt.h"
#include "ShellCommands.h"
#include "SystemMenu.h"
#include "Vyk10dlg.h"
#include "Vykgraph.h"
#include "WidgetTestMain.h"
#include "WindowFixture.h"

using namespace console;

namespace {

// A dozen revolutions of the mixed stream in small segments, opened in the strip view of debug
// mode, where the open button is at hand.
class ConsoleExports : public ::testing::Test {
protected:
    void SetUp() override {
        oldTmp_ = qgetenv("TMPDIR");
        qputenv("TMPDIR", out.path().toUtf8());
        ConsoleOptions options;
        PrepareOptions(options, out.filePath("VYK-10.ini"), "[Main]\nmode=1\nviewtype=162\n",
                       prompt);
        options.portSource.probe = [] { return std::vector<setport::ProbedPort>{}; };
        options.openFile = [this](const QString& path) {
            opened << path;
            return true;
        };
        w = ShowWindow<TfrmVYK10>(options, {1106, 700});
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    }
    void TearDown() override {
        w.reset();
        qputenv("TMPDIR", oldTmp_);
    }

    // Opens the recording, leaving its leftover segment unpacked, and waits for the whole index
    // and the first revolution.
    void Open() {
        prompt.answers = {Prompt::Answer::No};
        prompt.fileNames = {recorded.dir.filePath("run.Zip")};
        w->btnOpenFile->trigger();
        ASSERT_TRUE(w->Replaying());
        Pump(20000,
             [&] { return w->Replaying()->Index().Done() && w->Replaying()->Revolution() >= 0; });
        ASSERT_GE(w->Replaying()->Revolution(), 0);
        prompt.messages.clear();
    }
    void Command(int command) { w->systemMenu->Item(command)->trigger(); }
    int Count() const { return w->Replaying()->Index().Count(); }
    QString Told(int revolutions, const QString& path) const {
        return QStringLiteral("已导出 %1 圈：\n").arg(revolutions) + QDir::toNativeSeparators(path);
    }

    RecordedScan recorded{12};
    QTemporaryDir out;
    ScriptedPrompt prompt;
    QStringList opened;
    std::unique_ptr<TfrmVYK10> w;

private:
    QByteArray oldTmp_;
};

// The export button wrote the newest revolution of the point buffer, which in a replay holds a
// segment for the strip views, not the revolution shown; the recording's last gave nothing.
TEST_F(ConsoleExports, TheExportButtonWritesTheRevolutionShown) {
    Open();
    w->SelectView(vykgraph::kViewCircle);
    ASSERT_TRUE(w->btnOpenSaveLogFile->isVisible());
    const auto revolutions = mixedscan::DecodedRevolutions(recorded.stream.bytes, 6000, true);
    for (const int key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_End}) {
        QTest::keyClick(w.get(), static_cast<Qt::Key>(key));
        const int r = w->Replaying()->Revolution();
        SCOPED_TRACE("revolution " + std::to_string(r));
        opened.clear();
        w->btnOpenSaveLogFile->trigger();
        ASSERT_EQ(opened, QStringList{out.filePath("vykdata.txt")});
        int rows = 0;
        for (const ScanPoint& p : revolutions[static_cast<size_t>(r)])
            rows += p.angle < 5760 && p.distance > 0;
        const QString text = QString::fromLocal8Bit(ReadAll(opened[0]));
        EXPECT_TRUE(text.contains(QStringLiteral("数据个数 ： %1 ").arg(rows)));
    }
    EXPECT_EQ(w->Replaying()->Revolution(), Count() - 1);
    EXPECT_EQ(w->Recording(), nullptr) << "a replay records nothing";
    EXPECT_TRUE(prompt.messages.empty());
}

TEST_F(ConsoleExports, TheRangeItemWritesTheCsvAndWantsAReplay) {
    Command(kCmdExportRange);
    EXPECT_EQ(prompt.MessageTexts(),
              QStringList{QStringLiteral("请先打开历史文件，再导出其中的区间！")});
    EXPECT_TRUE(prompt.fileCaptions.isEmpty());

    Open();
    prompt.fileCaptions.clear();
    prompt.inputs = {"2", "4"};
    prompt.fileNames = {out.filePath("range.csv")};
    Command(kCmdExportRange);
    EXPECT_EQ(prompt.MessageTexts(), QStringList{Told(3, out.filePath("range.csv"))});
    EXPECT_TRUE(ReadAll(out.filePath("range.csv"))
                    .startsWith("revolution,time_s,angle_deg,distance_cm,x_cm,y_cm\n2,"));
}

TEST_F(ConsoleExports, TheMcapItemConvertsARecordingWithOrWithoutAReplay) {
    prompt.fileNames = {recorded.dir.filePath("run.Zip"), out.filePath("chosen.mcap")};
    Command(kCmdExportMcap);
    EXPECT_EQ(w->Replaying(), nullptr) << "converted without replaying it";
    EXPECT_TRUE(w->tmrComport->isActive()) << "and without leaving live operation";
    const int complete = static_cast<int>(recorded.stream.markers.size()) - 1;
    EXPECT_EQ(prompt.MessageTexts(), QStringList{Told(complete, out.filePath("chosen.mcap"))});

    Open();
    prompt.answers = {Prompt::Answer::No};
    prompt.inputs = {"3", "5"};
    prompt.fileNames = {out.filePath("range.mcap")};
    Command(kCmdExportMcap);
    EXPECT_EQ(prompt.MessageTexts().value(1), Told(3, out.filePath("range.mcap")));
}

// The progress window's cancel button ends the export, and no file is left.
TEST_F(ConsoleExports, TheProgressWindowCancels) {
    Open();
    prompt.answers = {Prompt::Answer::Yes};
    prompt.fileNames = {out.filePath("cancelled.mcap")};
    bool cancelled = false;
    QTimer::singleShot(0, w.get(), [&] {
        if (QProgressDialog* dialog = w->exportProgress.Dialog()) {
            dialog->cancel();
            cancelled = true;
        }
    });
    Command(kCmdExportMcap);
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(prompt.messages.size(), 1u) << "the question only";
    EXPECT_FALSE(QFile::exists(out.filePath("cancelled.mcap")));
    EXPECT_EQ(w->exportProgress.Dialog(), nullptr);
}

}  // namespace
