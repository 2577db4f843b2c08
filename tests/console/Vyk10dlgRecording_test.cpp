// The console's recording button, history replay and export, driven through the window.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <cerrno>

#include "Laserencode.h"
#include "Logfile.h"
#include "RecordTestSupport.h"
#include "ScanExport.h"
#include "ScriptedPrompt.h"
#include "SystemError.h"
#include "Vyk10dlg.h"

using namespace console;

namespace {

QByteArray Packets(int n, int first = 100) {
    QByteArray bytes;
    for (int i = 0; i < n; ++i) {
        const auto packet = laserencode::EncodePacket4(first + i % 3000, (i * 16) % 5760);
        bytes.append(reinterpret_cast<const char*>(packet.data()), 4);
    }
    return bytes;
}

class Console : public ::testing::Test {
protected:
    // view 162 (or 161) in debug mode, so that the open button is at hand.
    std::unique_ptr<TfrmVYK10> Make(int view = 162) {
        QFile ini(dir.filePath("VYK-10.ini"));
        EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[Main]\nmode=1\nviewtype=%1\n").arg(view).toUtf8());
        ini.close();
        ConsoleOptions options;
        options.iniPath = dir.filePath("VYK-10.ini");
        options.prompt = &prompt;
        options.portSource.probe = [] { return std::vector<setport::ProbedPort>{}; };
        options.openFile = [this](const QString& path) {
            opened << path;
            return true;
        };
        options.segmentLimit = 1000;
        auto window = std::make_unique<TfrmVYK10>(options);
        window->resize(1106, 700);
        window->show();
        QApplication::processEvents();
        return window;
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
    static void Feed(TfrmVYK10& w, const QByteArray& bytes) {
        w.Loop().recorder(reinterpret_cast<const uint8_t*>(bytes.constData()),
                          static_cast<int>(bytes.size()));
    }

    QTemporaryDir dir;
    ScriptedPrompt prompt;
    QStringList opened;
};

TEST_F(Console, TheRecordButtonStartsAndStopsARecording) {
    auto w = Make();
    prompt.fileNames = {Path("run")};
    w->btnOpenSaveLogFile->trigger();
    ASSERT_NE(w->Recording(), nullptr);
    EXPECT_EQ(w->statPanels[7]->text(), Path("run.Zip"));
    EXPECT_EQ(w->recordButtonImage, TfrmVYK10::kImageRecording);
    // Chunks beyond the 128 KiB buffer go to disk at once, each over the 1000-byte limit.
    QByteArray data;
    for (int i = 0; i < 3; ++i) {
        const QByteArray chunk = Packets(35000, 100 * i);
        Feed(*w, chunk);
        data += chunk;
    }

    // Pressed again and the dialog cancelled: stopped, and no new recording.
    w->btnOpenSaveLogFile->trigger();
    EXPECT_EQ(w->Recording(), nullptr);
    EXPECT_EQ(w->statPanels[7]->text(), "");
    EXPECT_EQ(w->recordButtonImage, TfrmVYK10::kImageRecordIdle);
    EXPECT_EQ(prompt.fileCaptions.size(), 2);
    const auto entries = Entries(Path("run.Zip"));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].second + entries[1].second + entries[2].second, data);
    EXPECT_EQ(QDir(dir.path()).entryList({"run*"}, QDir::Files), QStringList{"run.Zip"});

    // The same name again is refused: the archive exists.
    prompt.fileNames = {Path("run.000")};
    w->btnOpenSaveLogFile->trigger();
    EXPECT_EQ(w->Recording(), nullptr);
    EXPECT_EQ(prompt.MessageTexts(),
              QStringList{Path("run.Zip") + QString::fromUtf8(" 已经存在！")});
    EXPECT_EQ(Entries(Path("run.Zip")).size(), 3u);
}

TEST_F(Console, ClosingTheWindowPacksTheRecording) {
    auto w = Make();
    prompt.fileNames = {Path("run")};
    w->btnOpenSaveLogFile->trigger();
    Feed(*w, Packets(25));
    w->close();
    w.reset();
    const auto entries = Entries(Path("run.Zip"));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].second, Packets(25));
}

// A recording whose folder went away wrote nothing for hours while panel 7 showed its name.
TEST_F(Console, AFailedWriteTurnsPanel7IntoAWarningAndIsToldOnce) {
    auto w = Make();
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    prompt.fileNames = {Path("sub/run")};
    w->btnOpenSaveLogFile->trigger();
    const QByteArray chunk = Packets(35000);  // beyond the buffer: to disk at once
    Feed(*w, chunk);
    ASSERT_TRUE(QDir(Path("sub")).removeRecursively());
    Feed(*w, chunk);
    const QString panel = w->statPanels[7]->text();
    EXPECT_TRUE(panel.startsWith(QString::fromUtf8("警告："))) << panel.toStdString();
    EXPECT_TRUE(panel.contains(Path("sub/run.001"))) << panel.toStdString();
    EXPECT_TRUE(panel.contains(SystemErrorText(ENOENT))) << panel.toStdString();
    EXPECT_TRUE(panel.contains(QString::number(2 * chunk.size())))
        << "both chunks lost, the packed one with its removed segment";
    QApplication::processEvents();
    // It was cut to "警告：无" in a panel of 50 pixels.
    EXPECT_GT(w->statPanels[7]->width(), 200) << "panel 7 takes the rest of the bar";
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].text, panel);
    EXPECT_EQ(prompt.messages[0].icon, Prompt::Icon::Warning);

    Feed(*w, chunk);
    QApplication::processEvents();
    EXPECT_TRUE(w->statPanels[7]->text().contains(QString::number(3 * chunk.size())));
    EXPECT_EQ(prompt.messages.size(), 1u) << "one message box per recording";
    ASSERT_NE(w->Recording(), nullptr) << "recording goes on";

    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    Feed(*w, chunk);
    w->btnOpenSaveLogFile->trigger();
    const auto entries = Entries(Path("sub/run.Zip"));
    ASSERT_EQ(entries.size(), 1u) << "the folder back, the next segment is written";
    EXPECT_EQ(entries[0].second, chunk);
}

// In the circle view the button exported instead of stopping, and the settings page disabled it.
TEST_F(Console, TheButtonStopsARecordingFromEveryView) {
    const struct {
        const char* where;
        bool settingsPage;
    } cases[] = {{"circle view", false}, {"settings page", true}};
    for (const auto& c : cases) {
        QTemporaryDir folder;
        auto w = Make();
        prompt.fileNames = {folder.filePath("run")};
        prompt.fileCaptions.clear();
        w->btnOpenSaveLogFile->trigger();
        ASSERT_NE(w->Recording(), nullptr);
        Feed(*w, Packets(25));
        if (c.settingsPage)
            w->ShowSettingsPage(true);
        else
            w->SelectView(vykgraph::kViewCircle);
        EXPECT_TRUE(w->btnOpenSaveLogFile->isEnabled()) << c.where;
        w->btnOpenSaveLogFile->trigger();
        EXPECT_EQ(w->Recording(), nullptr) << c.where;
        EXPECT_EQ(w->recordButtonImage, TfrmVYK10::kImageRecordIdle) << c.where;
        EXPECT_EQ(prompt.fileCaptions.size(), 1) << c.where << ": no dialog after the stop";
        EXPECT_TRUE(opened.isEmpty()) << c.where << ": no export";
        EXPECT_EQ(Entries(folder.filePath("run.Zip")).size(), 1u) << c.where;
        EXPECT_EQ(w->btnOpenSaveLogFile->isEnabled(), !c.settingsPage) << c.where;
    }
}

// A segment left by a crashed recording (run.000 without run.Zip) was truncated by the next one.
TEST_F(Console, ALeftoverSegmentIsOfferedForPackingAndItsNameIsRefused) {
    const struct {
        Prompt::Answer answer;
        const char* refused;
        int entries;
    } cases[] = {{Prompt::Answer::Yes, "run.Zip", 1}, {Prompt::Answer::No, "run.000", 0}};
    for (const auto& c : cases) {
        QTemporaryDir folder;
        WriteAll(folder.filePath("run.000"), Packets(100));
        auto w = Make();
        prompt.messages.clear();
        prompt.answers = {c.answer};
        prompt.fileNames = {folder.filePath("run.bin")};
        w->btnOpenSaveLogFile->trigger();
        EXPECT_EQ(w->Recording(), nullptr);
        ASSERT_EQ(prompt.messages.size(), 2u);
        EXPECT_TRUE(prompt.messages[0].text.contains(folder.filePath("run.000")));
        EXPECT_TRUE(prompt.messages[0].text.contains(folder.filePath("run.Zip")));
        EXPECT_EQ(prompt.messages[1].text,
                  folder.filePath(c.refused) + QString::fromUtf8(" 已经存在！"));
        const auto entries = Entries(folder.filePath("run.Zip"));
        ASSERT_EQ(static_cast<int>(entries.size()), c.entries);
        EXPECT_EQ(c.entries ? entries[0].second : ReadAll(folder.filePath("run.000")),
                  Packets(100));
    }
}

TEST_F(Console, OpeningAnArchiveOffersTheSegmentsLeftBesideIt) {
    WriteAll(Path("run.000"), Packets(20000));
    std::string error;
    ASSERT_TRUE(record::AppendFileToArchive(QFile::encodeName(Path("run.Zip")).toStdString(),
                                            QFile::encodeName(Path("run.000")).toStdString(),
                                            error));
    QFile::remove(Path("run.000"));
    WriteAll(Path("run.001"), Packets(300));
    auto w = Make();
    prompt.fileNames = {Path("run.Zip")};
    w->btnOpenFile->trigger();
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_TRUE(prompt.messages[0].text.contains(Path("run.001")));
    const auto entries = Entries(Path("run.Zip"));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].second, Packets(300));
    EXPECT_FALSE(QFile::exists(Path("run.001")));
    EXPECT_EQ(w->store.pointCount, 20000) << "the first entry is shown as before";
}

// 50 samples with markers at 10 and 40: 29 rows to export.
void OneRevolution(TfrmVYK10& w) {
    for (int i = 0; i < 50; ++i)
        w.store.pointBuffer[i] = ScanPoint{0, static_cast<int16_t>(i * 16), 100 + i, 0, 0, 0};
    w.store.pointBuffer[10].angle = 5768;
    w.store.pointBuffer[40].angle = 5768;
    w.store.pointCount = 50;
}

TEST_F(Console, InTheCircleViewTheButtonExportsTheNewestRevolution) {
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", dir.path().toUtf8());
    auto w = Make(161);
    OneRevolution(*w);
    w->btnOpenSaveLogFile->trigger();
    qputenv("TMPDIR", oldTmp);
    EXPECT_TRUE(prompt.fileCaptions.isEmpty()) << "no save dialog";
    EXPECT_EQ(w->Recording(), nullptr);
    EXPECT_EQ(opened, QStringList{Path("vykdata.txt")});
    EXPECT_TRUE(
        ReadAll(Path("vykdata.txt")).contains(QString::fromUtf8("数据个数 ： 29 ").toUtf8()));
}

// An export that could not be written opened the stale file of an earlier one, or none.
TEST_F(Console, AnExportThatCannotBeWrittenIsToldWithItsReason) {
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", dir.path().toUtf8());
    ASSERT_TRUE(QDir(dir.path()).mkdir("vykdata.txt"));
    auto w = Make(161);
    OneRevolution(*w);
    w->btnOpenSaveLogFile->trigger();
    qputenv("TMPDIR", oldTmp);
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(prompt.MessageTexts(),
              QStringList{record::ExportFailedText(
                  {record::ExportResult::Failed, Path("vykdata.txt"), SystemErrorText(EISDIR)})});
}

TEST_F(Console, CancellingTheOpenDialogChangesNothing) {
    auto w = Make();
    w->btnOpenFile->trigger();
    EXPECT_EQ(prompt.fileCaptions.size(), 1);
    EXPECT_TRUE(w->tmrComport->isActive());
    EXPECT_TRUE(w->btn2->isVisible());
    EXPECT_TRUE(w->btnOpenSaveLogFile->isVisible());
    EXPECT_TRUE(w->historyFile.isEmpty());
}

TEST_F(Console, AFileThatFailsStillEndsLiveOperation) {
    auto w = Make();
    prompt.fileNames = {Path("missing.000")};
    w->btnOpenFile->trigger();
    EXPECT_EQ(prompt.MessageTexts(), QStringList{QString::fromUtf8("文件不存在！")});
    EXPECT_FALSE(w->tmrComport->isActive());
    EXPECT_FALSE(w->btn2->isVisible());
    EXPECT_FALSE(w->btn3->isVisible());
    EXPECT_FALSE(w->btnOpenSaveLogFile->isVisible());
    for (QAction* item : w->pm1->actions()) EXPECT_FALSE(item->isVisible());
    EXPECT_FALSE(w->PortOpen());
    EXPECT_EQ(w->statPanels[7]->text(), Path("missing.000"));
}

TEST_F(Console, AReplayedArchiveIsSteppedThroughWithTheScrollBar) {
    WriteAll(Path("run.000"), Packets(20000));
    std::string error;
    ASSERT_TRUE(record::AppendFileToArchive(QFile::encodeName(Path("run.Zip")).toStdString(),
                                            QFile::encodeName(Path("run.000")).toStdString(),
                                            error));
    QFile::remove(Path("run.000"));
    auto w = Make();
    prompt.fileNames = {Path("run.Zip")};
    w->btnOpenFile->trigger();
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_EQ(w->store.pointCount, 20000);
    EXPECT_EQ(w->store.viewStart, 0);
    EXPECT_EQ(w->scrlbrHisLog->maximum(), 20000);
    EXPECT_EQ(w->scrlbrHisLog->value(), 0);
    EXPECT_EQ(w->statPanels[7]->text(), Path("run.000") + " , 0/1:run.000");
    EXPECT_FALSE(QFile::exists(Path("run.000")));

    w->scrlbrHisLog->setValue(1234);
    EXPECT_EQ(w->store.viewStart, 1234) << "a move by the user redraws from that sample";
    w->scrollGuard = false;
    w->scrlbrHisLog->setValue(99);
    w->scrollGuard = true;
    EXPECT_EQ(w->store.viewStart, 1234) << "a move by the program is no redraw of its own";
    w->RedrawView();
    EXPECT_EQ(w->scrlbrHisLog->value(), 1234) << "the redraw keeps the bar in step";
}

// A file whose points do not fit keeps the buffer, and the button its dialog; only a buffer
// that is gone (as a decoder error leaves it) makes the button ask for a restart.
TEST_F(Console, WithoutAPointBufferTheOpenButtonAsksForARestart) {
    // 6 MB fit, 2 million records do not, even with the first million given back.
    WriteAll(Path("big.000"), Packets(1500000));
    auto w = Make();
    w->Replay().availableMemory = [] { return uint64_t{10} << 20; };
    prompt.fileNames = {Path("big.000")};
    w->btnOpenFile->trigger();
    EXPECT_EQ(prompt.MessageTexts(),
              QStringList{QString::fromUtf8("申请内存失败，不能打开文件！")});
    EXPECT_EQ(w->store.pointBuffer.size(), 1000000u);
    prompt.messages.clear();
    w->store.pointBuffer = {};
    prompt.fileNames = {Path("big.000")};
    w->btnOpenFile->trigger();
    EXPECT_EQ(prompt.MessageTexts(),
              QStringList{QString::fromUtf8("内存申请失败，请重新启动电脑再试一试！")});
    EXPECT_EQ(prompt.fileCaptions.size(), 1) << "no dialog the second time";
}

TEST_F(Console, HandlersThatRunDuringTheDecodeLeaveTheBufferAlone) {
    WriteAll(Path("run.000"), Packets(400000));
    auto w = Make();
    int tries = 0;
    // Timers run while the decoder reports progress; these would start a second load and
    // empty the buffer.
    QTimer intruder;
    QObject::connect(&intruder, &QTimer::timeout, [&] {
        ++tries;
        w->btnOpenFileClick();
        w->Image2MouseDown(Qt::MiddleButton, 10, 10, {10, 10});
    });
    intruder.start(0);
    prompt.fileNames = {Path("run.000"), Path("run.000")};
    w->btnOpenFile->trigger();
    intruder.stop();
    EXPECT_GT(tries, 0);
    EXPECT_EQ(prompt.fileCaptions.size(), 1);
    EXPECT_EQ(w->store.pointCount, 400000);
}

}  // namespace
