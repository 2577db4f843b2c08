#include "Zonetool.h"

#include <gtest/gtest.h>

#include <QByteArrayList>

#include "RecordingLink.h"
#include "ScriptedPrompt.h"

namespace {

class ZoneToolTest : public ::testing::Test {
protected:
    ZoneToolTest() {
        tool.setZone = [this](int slot, const ProtectZone& zone) {
            drawn << QStringLiteral("%1:%2").arg(slot).arg(zone.count);
        };
        tool.redraw = [this] { ++redraws; };
        tool.showProgress = [this](int maximum) { progress.push_back(-maximum); };
        tool.progressPosition = [this](int position) { progress.push_back(position); };
        for (ProtectZone& zone : tool.Table().zones) zone.IOTCount = 5;
    }

    void Feed(const QByteArray& bytes) {
        tool.Received(reinterpret_cast<const uint8_t*>(bytes.constData()),
                      static_cast<int>(bytes.size()));
    }

    // Answers every command the scanner gets with "ok", one send step at a time.
    void AnswerAll() {
        for (int step = 0; step < 20 && tool.Transfer().PendingCommands() > 0; ++step) {
            for (int tick = 0; tick < TZoneTransfer::kTicksPerStep; ++tick) tool.Tick();
            Feed("#XX ok\r\n");
        }
        for (int tick = 0; tick < TZoneTransfer::kTicksPerStep; ++tick) tool.Tick();
    }

    void TypeTriangle(int output) {
        const char* values[] = {"0", "100", "100", "100", "100", "-50"};
        ZoneBoxes& boxes = tool.Editor().Boxes(output);
        for (int i = 0; i < ZoneBoxes::kCoordinates; ++i)
            boxes.coordinate[i] = i < 6 ? values[i] : "";
        boxes.sensitivity = "5";
        boxes.polygon = true;
    }

    RecordingLink link;
    ScriptedPrompt prompt;
    TZoneTool tool{link, prompt};
    QStringList drawn;
    int redraws = 0;
    std::vector<int> progress;
};

TEST_F(ZoneToolTest, ASaveStopsTheMotorDrawsTheZoneAndSendsItsLines) {
    tool.cbbRectIndexChange(1);
    drawn.clear();
    TypeTriangle(1);
    tool.Editor().Boxes(1).high = true;
    tool.SaveClicked(1);
    EXPECT_EQ(link.sent, QByteArrayList{"#SF 0\r\n"});
    EXPECT_EQ(drawn, QStringList{"1:3"});
    // The progress window opens with the five lines at 0.
    EXPECT_EQ(progress, std::vector<int>{-5});
    Feed("#SF ok\r\n");
    AnswerAll();
    EXPECT_EQ(link.sent, (QByteArrayList{"#SF 0\r\n", "#IOL 16\r\n", "#SPR 21507,6553600\r\n",
                                         "#SPR 21523,6553700\r\n", "#SPR 21539,4291690596\r\n",
                                         "#SU\r\n", "#RS\r\n"}));
    EXPECT_EQ(progress, (std::vector<int>{-5, 1, 2, 3, 4, 5}));
    EXPECT_TRUE(tool.Log().contains("#SPR 21523,6553700"));
}

TEST_F(ZoneToolTest, ASaveDuringAReplayChangesTheZoneAndLeavesNothingForTheScanner) {
    link.open = false;
    tool.SetReplaying(true);
    TypeTriangle(0);
    tool.SaveClicked(0);
    EXPECT_EQ(drawn, QStringList{"0:3"});
    EXPECT_EQ(redraws, 1);
    EXPECT_EQ(tool.Table().zones[0].count, 3);
    EXPECT_TRUE(progress.empty()) << "no transfer to wait for";
    EXPECT_EQ(tool.Transfer().PendingCommands(), 0);

    // Back to live: the zones tried on the recording are not written behind the user's back.
    tool.SetReplaying(false);
    link.open = true;
    tool.Reconnected();
    AnswerAll();
    EXPECT_TRUE(link.sent.isEmpty()) << link.sent.join().toStdString();
}

// Nothing checked what the scanner stored. A read-back sent in the tick of a queued line would
// replace it in the port's one send buffer, and answers taken before it went out would be
// compared as the scanner's zones.
TEST(ZoneToolSaveCheck, TheReadBackAfterASaveTellsWhatTheScannerDidNotStore) {
    const QByteArray triangle =
        "#RSPR,4,3,5,6553600\r\n#RSPR,4,3,261,6553700\r\n#RSPR,4,3,517,4291690596\r\n";
    QByteArray others;
    for (int z = 0; z < kZoneCount; ++z) {
        if (z != 4)
            others += "#RSPR," + QByteArray::number(z) + ",0,0,0\r\n";
    }
    const QByteArray levels = "#RSOL,12,16\r\n";
    const QString header = "读回的区域设置与发送的不一致:\n";
    const QString zone4 = "区域4(第二组 区域保护IO输出2)";
    const struct {
        const char* what;
        QByteArray beforeReadBack;  // right after the last line's answer
        QByteArray afterReadBack;
        QStringList messages;
    } cases[] = {
        {"all stored", {}, others + triangle + levels, {}},
        {"a changed point and levels",
         {},
         others + QByteArray(triangle).replace("6553700", "6553701") + "#RSOL,12,0\r\n",
         {header + zone4 + " B点X坐标: 发送 100, 读回 101\n输出电平: 发送 16, 读回 0"}},
        {"a point left out",
         {},
         others + QByteArray(triangle).replace("#RSPR,4,3,261,6553700\r\n", "") + levels,
         {header + zone4 + " B点 未读回"}},
        {"a report before the read-back went out",
         others + triangle + levels,
         {},
         {header + zone4 + " 未读回\n输出电平 未读回"}},
    };
    for (const auto& c : cases) {
        RecordingLink link;
        ScriptedPrompt prompt;
        int64_t now = 0;  // the window's 30 ms a tick
        TZoneTool tool(link, prompt, [&now] { return now; });
        tool.cbbRectIndexChange(1);
        ZoneBoxes& boxes = tool.Editor().Boxes(1);
        const char* values[] = {"0", "100", "100", "100", "100", "-50"};
        for (int i = 0; i < 6; ++i) boxes.coordinate[i] = values[i];
        boxes.sensitivity = "5";
        boxes.high = true;
        tool.SaveClicked(1);
        const auto feed = [&tool](const QByteArray& bytes) {
            tool.Received(reinterpret_cast<const uint8_t*>(bytes.constData()),
                          static_cast<int>(bytes.size()));
        };
        feed("#SF ok\r\n");
        int lastQueuedTick = -1, readBackTick = -1;
        for (int tick = 0; tick < 16 * TZoneTransfer::kTicksPerStep; ++tick) {
            const qsizetype before = link.sent.size();
            now += 30;
            tool.Tick();
            ASSERT_LE(link.sent.size() - before, 1) << c.what << ": two sends in tick " << tick;
            if (link.sent.size() == before)
                continue;
            if (link.sent.back() == "#RS\r\n") {
                readBackTick = tick;
                EXPECT_EQ(tool.Transfer().PendingCommands(), 0) << c.what;
                feed(c.afterReadBack);
                continue;
            }
            lastQueuedTick = tick;
            feed("#XX ok\r\n");
            if (link.sent.back() == "#SU\r\n")
                feed(c.beforeReadBack);
        }
        EXPECT_EQ(link.sent.count("#RS\r\n"), 1) << c.what;
        // After the send step that took the last line's answer.
        EXPECT_GT(readBackTick, lastQueuedTick + TZoneTransfer::kTicksPerStep) << c.what;
        EXPECT_EQ(prompt.MessageTexts(), c.messages) << c.what;
        // What the user saved stays in the model and the boxes, to be saved again.
        EXPECT_EQ(tool.Table().zones[4].x[1], 100) << c.what;
        EXPECT_EQ(tool.Table().IOLevel, 16) << c.what;
        EXPECT_EQ(boxes.coordinate[2], "100") << c.what;
    }
}

TEST_F(ZoneToolTest, ARefusedSaveSendsOnlyTheMotorStop) {
    TypeTriangle(0);
    tool.Editor().Boxes(0).coordinate[5] = "-401";
    tool.Editor().Boxes(0).coordinate[4] = "300";
    tool.SaveClicked(0);
    EXPECT_EQ(prompt.MessageTexts(), QStringList{"输入坐标太大,超出范围!"});
    EXPECT_EQ(link.sent, QByteArrayList{"#SF 0\r\n"});
    EXPECT_TRUE(progress.empty());
    EXPECT_EQ(tool.Transfer().PendingCommands(), 0);
}

TEST_F(ZoneToolTest, ZoneReportsOfTheShownGroupReachTheBoxesAndTheGraph) {
    tool.cbbRectIndexChange(1);
    drawn.clear();
    Feed(
        "#RSPR,3,2,10,2949420\r\n\x80"
        "#RSPR,4,3,5,6553600\r\n#RSPR,4,3,261,6553700\r\n#RSPR,4,3,517,4291690596\r\n"
        "#RSPR,5,0,0,0\r\n#RSPR,0,3,5,6553600\r\n#RSOL,12,16\r\n");
    const ZoneBoxes& sector = tool.Editor().Boxes(0);
    EXPECT_FALSE(sector.polygon);
    EXPECT_EQ(sector.coordinate[0], "300");
    EXPECT_EQ(sector.coordinate[2], "45");
    EXPECT_EQ(sector.sensitivity, "10");
    const ZoneBoxes& triangle = tool.Editor().Boxes(1);
    EXPECT_TRUE(triangle.polygon);
    const QString expected[] = {"0", "100", "100", "100", "100", "-50", "", "", "", ""};
    for (int i = 0; i < ZoneBoxes::kCoordinates; ++i)
        EXPECT_EQ(triangle.coordinate[i], expected[i]) << i;
    EXPECT_TRUE(tool.Editor().Boxes(2).coordinate[0].isEmpty());
    // The sector, the triangle once complete, the removal; zone 0 is not in the group shown.
    EXPECT_EQ(drawn, (QStringList{"0:2", "1:3", "2:0"}));
    EXPECT_EQ(tool.Table().zones[0].count, 3);
    EXPECT_EQ(tool.Table().IOLevel, 16);
}

// The level boxes kept their old state after "#RSOL,", so the next save wrote those levels
// back and flipped outputs nobody touched.
TEST_F(ZoneToolTest, ReadBackOutputLevelsReachTheShownLevelBoxes) {
    int refreshed = 0;
    tool.levelsChanged = [&refreshed] { ++refreshed; };
    tool.cbbRectIndexChange(1);
    tool.Editor().Boxes(0).high = true;
    tool.Editor().Boxes(1).coordinate[0] = "typed";
    Feed("#RSOL,12,48\r\n");  // zones 4 and 5 active high
    EXPECT_EQ(refreshed, 1);
    EXPECT_FALSE(tool.Editor().Boxes(0).high);
    EXPECT_TRUE(tool.Editor().Boxes(1).high);
    EXPECT_TRUE(tool.Editor().Boxes(2).high);
    EXPECT_EQ(tool.Editor().Boxes(1).coordinate[0], "typed") << "only the level boxes change";
    tool.SaveClicked(2);  // empty boxes: zone 5 removed, the levels of the group kept
    EXPECT_EQ(tool.Table().IOLevel, 48);
}

// Every received line rebuilt the memo from a log that grew without bound.
TEST_F(ZoneToolTest, TheLogKeepsTheNewestThousandLinesAndAppendsEach) {
    int appended = 0;
    tool.logAppended = [&appended](const QString&) { ++appended; };
    for (int i = 0; i < TZoneTool::kKeptLogLines + 500; ++i)
        Feed("#ERR " + QByteArray::number(i) + "\r\n");
    EXPECT_EQ(appended, TZoneTool::kKeptLogLines + 500);
    ASSERT_EQ(tool.Log().size(), TZoneTool::kKeptLogLines);
    EXPECT_EQ(tool.Log().first(), "#ERR 500");
    EXPECT_EQ(tool.Log().last(), "#ERR 1499");
}

TEST_F(ZoneToolTest, TypedCommands) {
    const struct {
        bool open;
        QString text;
        QByteArrayList sent;
        QString log;
    } cases[] = {
        {true, "#sf 5", {"#SF 5\r\n"}, "send:#SF 5"},
        {true, "#rs é", {"#RS \xa8\xa6\r\n"}, "send:#RS é"},
        {true, QString(150, 'q'), {QByteArray(100, 'Q') + "\r\n"}, "send:" + QString(100, 'Q')},
        {true, "", {}, "串口为空，没法发送数据！"},
        {false, "#RS", {}, "串口为空，没法发送数据！"},
    };
    for (const auto& c : cases) {
        link.sent.clear();
        link.open = c.open;
        tool.SendClicked(c.text);
        EXPECT_EQ(link.sent, c.sent) << qPrintable(c.text);
        EXPECT_EQ(tool.Log().last(), c.log);
    }
}

TEST_F(ZoneToolTest, TheSendStepClearsALogOfMoreThanHundredLines) {
    for (int i = 0; i < TZoneTool::kMaxLogLines + 1; ++i) Feed("#ERR x\r\n");
    // Received lines never clear it.
    EXPECT_EQ(tool.Log().size(), TZoneTool::kMaxLogLines + 1);
    EXPECT_TRUE(tool.ForceOutputClicked("921600"));
    for (int tick = 0; tick < TZoneTransfer::kTicksPerStep; ++tick) tool.Tick();
    EXPECT_EQ(tool.Log(), QStringList{"#BR 921600"});
    EXPECT_FALSE(tool.ForceOutputClicked("auto"));
}

}  // namespace
