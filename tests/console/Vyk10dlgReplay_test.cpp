// The replay of a whole recording in the console: opened with the open button, moved with the
// keys and the timeline, played with the space bar.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include "RecordTestSupport.h"
#include "RecordingSets.h"
#include "ScannerInterface.h"
#include "ScriptedPrompt.h"
#include "Shell.h"
#include "Vyk10dlg.h"
#include "Vykgraph.h"
#include "WidgetTestMain.h"
#include "WindowFixture.h"

using namespace console;
using scanwindow::RecordingReplay;

namespace {

// Some 190 segments of about 2 KB in run.Zip and run.001.Zip, opened in the strip view of
// debug mode, where the open button is at hand.
class ConsoleReplay : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        shared = new Shared;
        shared->stream = SimulatedStream(150 * 3100);
        Record(shared->dir.filePath("run"), shared->stream, 2048);
    }
    static void TearDownTestSuite() { delete shared; }

    void SetUp() override {
        ConsoleOptions options;
        PrepareOptions(options, dir.filePath("VYK-10.ini"), "[Main]\nmode=1\nviewtype=162\n",
                       prompt);
        options.portSource.probe = [] { return std::vector<setport::ProbedPort>{}; };
        w = ShowWindow<TfrmVYK10>(options, {1106, 700});
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    }

    // Opens path with the open button and waits for the whole index and the first revolution.
    void Open(const QString& path) {
        prompt.fileNames = {path};
        w->btnOpenFile->trigger();
        ASSERT_TRUE(w->Replaying());
        Pump(20000,
             [&] { return w->Replaying()->Index().Done() && w->Replaying()->Revolution() >= 0; });
        ASSERT_GE(w->Replaying()->Revolution(), 0);
        Pump(1000, [&] { return !w->lblReplayPosition->text().contains(QStringLiteral("…")); });
    }
    void Press(int key) { QTest::keyClick(w.get(), static_cast<Qt::Key>(key)); }
    const record::RevolutionIndex& Index() const { return w->Replaying()->Index(); }
    QString Archive(const char* name) const { return shared->dir.filePath(name); }

    struct Shared {
        QTemporaryDir dir;
        QByteArray stream;
    };
    static Shared* shared;
    QTemporaryDir dir;
    ScriptedPrompt prompt;
    std::unique_ptr<TfrmVYK10> w;
};

ConsoleReplay::Shared* ConsoleReplay::shared = nullptr;

// The first segment is shown as the file alone showed it; the timeline and the position come
// beside it, and the index finds the whole recording.
TEST_F(ConsoleReplay, OpeningShowsTheFirstSegmentAsBeforeWithTheWholeRecordingBeside) {
    EXPECT_FALSE(w->sldTimeline->isVisible());
    EXPECT_FALSE(w->lblReplayPosition->isVisible());
    EXPECT_FALSE(w->cbxReplaySpeed->isVisible()) << "the speeds cover no button before a replay";
    Open(Archive("run.Zip"));
    EXPECT_TRUE(prompt.messages.empty());
    EXPECT_EQ(w->statPanels[7]->text().toStdString(),
              (Archive("run.000") + " , 0/100:run.000").toStdString());
    EXPECT_EQ(w->store.viewStart, 0);
    EXPECT_EQ(w->scrlbrHisLog->value(), 0);
    EXPECT_GT(w->Replaying()->Set().SegmentCount(), 150);
    EXPECT_EQ(Index().Count(), static_cast<int>(MarkerIndices(DecodeWhole(shared->stream)).size()));
    EXPECT_TRUE(w->sldTimeline->isVisible());
    EXPECT_EQ(w->sldTimeline->value(), 0);
    EXPECT_TRUE(w->lblReplayPosition->isVisible());
    EXPECT_TRUE(w->lblReplayPosition->text().startsWith(
        QStringLiteral("revolution 1 of %1  0:00:00.").arg(Index().Count())))
        << w->lblReplayPosition->text().toStdString();
    EXPECT_TRUE(w->cbxReplaySpeed->isVisible());
    EXPECT_TRUE(w->mniCircle->isVisible()) << "the views are offered in a replay";
}

// PageDown and PageUp load the next or previous segment into the buffer for the data view,
// without growing it; Home and End reach the ends; the timeline follows each move.
TEST_F(ConsoleReplay, TheKeysMoveThroughTheSegmentsAndTheTimelineFollows) {
    w->store.pointBuffer.assign(1000, ScanPoint{});
    w->store.pointCapacity = 1000;
    Open(Archive("run.Zip"));
    const int room = w->Replaying()->SegmentRoom();
    EXPECT_EQ(w->store.pointCapacity, room) << "sized once for the largest segment";
    const ScanPoint* buffer = w->store.pointBuffer.data();

    int segment = w->Replaying()->Segment();
    int timeline = w->sldTimeline->value();
    for (int i = 0; i < 3; ++i) {
        Press(Qt::Key_PageDown);
        const int k = w->Replaying()->Segment();
        EXPECT_GT(k, segment);
        EXPECT_EQ(w->Replaying()->Revolution(), Index().FirstOf(k));
        EXPECT_EQ(w->statPanels[7]->text().toStdString(),
                  w->Replaying()->SegmentText(k).toStdString());
        EXPECT_GT(w->sldTimeline->value(), timeline);
        std::vector<ScanPoint> points(static_cast<size_t>(room));
        QString error;
        EXPECT_EQ(w->store.pointCount,
                  w->Replaying()->DecodeSegment(k, points.data(), room, error));
        EXPECT_EQ(w->scrlbrHisLog->maximum(), w->store.pointCount);
        EXPECT_EQ(w->store.pointBuffer[static_cast<size_t>(w->store.viewStart)].angle,
                  scanner::kInfoZeroDegree)
            << "the view begins at the revolution";
        segment = k;
        timeline = w->sldTimeline->value();
    }
    Press(Qt::Key_PageUp);
    EXPECT_LT(w->Replaying()->Segment(), segment);
    EXPECT_LT(w->sldTimeline->value(), timeline);
    Press(Qt::Key_End);
    EXPECT_EQ(w->Replaying()->Revolution(), Index().Count() - 1);
    const int last = Index().SegmentOf(Index().Count() - 1);
    EXPECT_EQ(w->statPanels[7]->text().toStdString(),
              w->Replaying()->SegmentText(last).toStdString());
    EXPECT_GT(w->sldTimeline->value(), RecordingReplay::kTimelineSteps * 9 / 10);
    Press(Qt::Key_Home);
    EXPECT_EQ(w->Replaying()->Revolution(), 0);
    EXPECT_EQ(w->sldTimeline->value(), w->Replaying()->TimelineStep());
    EXPECT_EQ(w->store.pointBuffer.data(), buffer) << "never reallocated";
    EXPECT_EQ(w->store.pointCapacity, room);
    EXPECT_TRUE(prompt.messages.empty());
}

// In the circle view the arrows step one revolution and the view draws it; dragging the
// timeline shows the revolution under it.
TEST_F(ConsoleReplay, TheCircleViewStepsAndFollowsTheTimeline) {
    Open(Archive("run.Zip"));
    w->SelectView(vykgraph::kViewCircle);
    const int first = w->Replaying()->Revolution();
    Press(Qt::Key_Right);
    Press(Qt::Key_Right);
    EXPECT_EQ(w->Replaying()->Revolution(), first + 2);
    Press(Qt::Key_Left);
    EXPECT_EQ(w->Replaying()->Revolution(), first + 1);
    EXPECT_TRUE(w->lblReplayPosition->text().startsWith(
        QStringLiteral("revolution %1 of ").arg(first + 2)));

    const QImage before = w->Image2->target.copy();
    w->sldTimeline->setValue(RecordingReplay::kTimelineSteps / 2);
    const uint64_t middle = w->Replaying()->Set().TotalBytes() / 2;
    EXPECT_EQ(w->Replaying()->Revolution(), Index().At(middle));
    EXPECT_EQ(w->sldTimeline->value(), w->Replaying()->TimelineStep()) << "snapped to its start";
    EXPECT_NE(w->Image2->target, before) << "another revolution is drawn";
}

// In the multi-circle view the arrows move the window to the next revolution's marker, into
// the next segment at the end of one; the data view leaves them to its scroll bar.
TEST_F(ConsoleReplay, TheMultiCircleViewStepsFromMarkerToMarker) {
    Open(Archive("run.Zip"));
    Press(Qt::Key_Right);
    EXPECT_EQ(w->Replaying()->Revolution(), Index().FirstOf(0)) << "not in the data view";
    w->SelectView(vykgraph::kViewMultiCircle);
    const int next = Index().FirstOf(1);
    ASSERT_TRUE(w->Replaying()->Seek(next - 1, 0));
    for (int r : {next, next + 1}) {
        Press(Qt::Key_Right);
        EXPECT_EQ(w->Replaying()->Revolution(), r);
        EXPECT_EQ(w->Replaying()->Segment(), Index().SegmentOf(r));
        EXPECT_EQ(w->store.pointBuffer[static_cast<size_t>(w->store.viewStart)].distance,
                  Index().Counter(r))
            << "the window begins at the revolution's marker";
    }
}

TEST_F(ConsoleReplay, SpacePlaysAndPausesAtTheChosenSpeed) {
    Open(Archive("run.Zip"));
    w->SelectView(vykgraph::kViewCircle);
    w->cbxReplaySpeed->setCurrentIndex(w->cbxReplaySpeed->findText(QStringLiteral("max")));
    EXPECT_EQ(w->Replaying()->Speed(), record::PlaybackSpeed::Max);
    const int first = w->Replaying()->Revolution();
    Press(Qt::Key_Space);
    EXPECT_TRUE(w->Replaying()->Playing());
    EXPECT_EQ(w->ReplayPlayAction->text(), QStringLiteral("暂停"));
    Pump(5000, [&] { return w->Replaying()->Revolution() > first + 10; });
    Press(Qt::Key_Space);
    EXPECT_FALSE(w->Replaying()->Playing());
    const int paused = w->Replaying()->Revolution();
    EXPECT_GT(paused, first + 10);
    Pump(200, [] { return false; });
    EXPECT_EQ(w->Replaying()->Revolution(), paused);
    Press(Qt::Key_Space);
    Pump(20000, [&] { return !w->Replaying()->Playing(); });
    EXPECT_EQ(w->Replaying()->Revolution(), Index().Count() - 1) << "played to the end";
    EXPECT_EQ(w->ReplayPlayAction->text(), QStringLiteral("播放"));
}

// Times are the byte position over the byte rate of BandRate, or of the rate the user gives.
TEST_F(ConsoleReplay, ThePositionsTimeFollowsTheReplaysBaud) {
    Open(Archive("run.Zip"));
    w->SelectView(vykgraph::kViewCircle);
    Press(Qt::Key_End);
    const double bytes = static_cast<double>(Index().Position(Index().Count() - 1));
    const auto shown = [&](double byteRate) {
        return scanwindow::ReplayPositionText(Index().Count() - 1, Index().Count(), true,
                                              bytes / byteRate);
    };
    EXPECT_EQ(w->lblReplayPosition->text(), shown(23040));
    prompt.inputs.push_back(QStringLiteral("921600"));
    w->SystemCommand(scanwindow::kCmdReplayBaud);
    EXPECT_EQ(w->lblReplayPosition->text(), shown(92160));
    EXPECT_EQ(w->settings.baudRate, 230400) << "the port's rate stays";
}

// The replay begins at the file the user chose, a later archive of the set too.
TEST_F(ConsoleReplay, ALaterArchiveOpensAtItsOwnFirstSegment) {
    Open(Archive("run.001.Zip"));
    const int later = static_cast<int>(Entries(Archive("run.001.Zip")).size());
    // Each archive names its entries from run.000 on.
    EXPECT_EQ(w->statPanels[7]->text().toStdString(),
              (Archive("run.000") + QStringLiteral(" , 0/%1:run.000").arg(later)).toStdString());
    EXPECT_EQ(w->Replaying()->Revolution(), Index().FirstOf(100));
    EXPECT_GT(w->sldTimeline->value(), RecordingReplay::kTimelineSteps / 2);
}

}  // namespace
