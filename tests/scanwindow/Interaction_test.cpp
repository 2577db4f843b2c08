#include "Interaction.h"

#include <gtest/gtest.h>

#include "ScriptedPrompt.h"

using namespace scanwindow;

namespace {

TEST(TimeZoom, StopsAtMinusSixAndTenWithTheirButtonsDisabled) {
    TimeZoomButtons zoom;
    for (int expected = -1; expected >= -6; --expected) {
        EXPECT_TRUE(zoom.Up());
        EXPECT_EQ(zoom.TimeZoom(), expected);
        EXPECT_TRUE(zoom.DownEnabled());
    }
    EXPECT_FALSE(zoom.UpEnabled());
    EXPECT_FALSE(zoom.Up()) << "at -6 nothing changes";
    EXPECT_EQ(zoom.TimeZoom(), -6);
    EXPECT_FALSE(zoom.UpEnabled());
    for (int expected = -5; expected <= 10; ++expected) {
        EXPECT_TRUE(zoom.Down());
        EXPECT_EQ(zoom.TimeZoom(), expected);
        EXPECT_TRUE(zoom.UpEnabled());
    }
    EXPECT_FALSE(zoom.DownEnabled());
    EXPECT_FALSE(zoom.Down());
    EXPECT_EQ(zoom.TimeZoom(), 10);
}

TEST(Wheel, ActsOnEveryFifthEvent) {
    WheelGate gate;
    std::string acted;
    for (int i = 0; i < 15; ++i) acted += gate.Event() ? 'x' : '.';
    EXPECT_EQ(acted, "....x....x....x");
}

TEST(Drag, MovesTheWindowByTheZoomedDistanceWithinTheBuffer) {
    const struct {
        int timeZoom;
        int fromX;
        int toX;
        int viewStart;
        int expected;
    } cases[] = {
        {0, 100, 110, 500, 490},  {2, 100, 110, 500, 460}, {-2, 100, 110, 500, 498},
        {0, 110, 100, 500, 510},  {10, 100, 110, 500, 0},  {10, 110, 100, 500, 999},
        {-6, 100, 110, 500, 500},
    };
    for (const auto& c : cases) {
        PointStore store(1000);
        store.pointCount = 1000;
        store.viewStart = c.viewStart;
        DragState drag;
        drag.Press(1, c.fromX);
        EXPECT_TRUE(drag.Move(1, c.toX, c.timeZoom, store));
        EXPECT_EQ(store.viewStart, c.expected) << c.timeZoom << " " << c.toX;
        EXPECT_EQ(drag.dragLastX, c.toX);
    }
}

TEST(Drag, EndsOutsideItsRowAndNeedsARowToStart) {
    PointStore store(100);
    store.pointCount = 100;
    DragState drag;
    drag.Press(0, 50);
    EXPECT_FALSE(drag.dragging);
    drag.Press(1, 50);
    EXPECT_TRUE(drag.dragging);
    EXPECT_FALSE(drag.Move(2, 60, 0, store));
    EXPECT_FALSE(drag.dragging);
    EXPECT_EQ(drag.dragRow, 0);
    drag.Press(1, 50);
    EXPECT_FALSE(drag.Move(0, 60, 0, store));
    EXPECT_FALSE(drag.dragging);
    drag.Press(1, 50);
    store.pointCount = 0;
    EXPECT_FALSE(drag.Move(1, 60, 0, store)) << "an empty buffer does not move";
}

TEST(Reading, SampleUnderTheMouse) {
    PointStore store(100);
    store.pointCount = 50;
    store.viewStart = 10;
    store.pointBuffer[25].laser = 3;
    EXPECT_EQ(SampleUnderMouse(store, 30 + 5, 30, 0, 1), 15);
    EXPECT_EQ(SampleUnderMouse(store, 30 + 2, 30, 2, 1), 18);
    EXPECT_EQ(SampleUnderMouse(store, 30 + 15, 30, 0, 1), 24) << "steps back over other lasers";
    EXPECT_EQ(SampleUnderMouse(store, 30 + 500, 30, 0, 1), 49) << "at most the last record";
    store.pointBuffer[10].laser = 1;
    EXPECT_EQ(SampleUnderMouse(store, 30, 30, 0, 1), -1);
    store.pointCount = 0;
    EXPECT_EQ(SampleUnderMouse(store, 35, 30, 0, 1), -1);
}

TEST(DebugMenu, OnlyARightReleaseOverTheLeftmostTenPixels) {
    EXPECT_TRUE(OpensDebugMenu(true, 0));
    EXPECT_TRUE(OpensDebugMenu(true, 9));
    EXPECT_FALSE(OpensDebugMenu(true, 10));
    EXPECT_FALSE(OpensDebugMenu(true, -1));
    EXPECT_FALSE(OpensDebugMenu(false, 5));
}

TEST(DistanceDialog, StoresOnlyANewInteger) {
    const struct {
        const char* answer;  // nullptr: cancelled, the box gives its default back
        bool changed;
        int limit;
    } cases[] = {
        {"6000", false, 6000},  {"3000", true, 3000}, {"abc", false, 6000},
        {nullptr, false, 6000}, {"", false, 6000},    {" 4500 ", true, 4500},
    };
    for (const auto& c : cases) {
        ScriptedPrompt prompt;
        if (c.answer)
            prompt.inputs.push_back(QString::fromUtf8(c.answer));
        int limit = 6000;
        EXPECT_EQ(AskDistanceLimit(prompt, limit), c.changed) << (c.answer ? c.answer : "cancel");
        EXPECT_EQ(limit, c.limit);
        EXPECT_EQ(prompt.inputCaptions, QStringList{QString::fromUtf8("提示：|输入最大距离值：")});
        EXPECT_TRUE(prompt.messages.empty()) << "a bad answer is ignored without a message";
    }
}

// A limit below 1 would drop every measurement and blank the display.
TEST(DistanceDialog, RefusesALimitBelowOneWithAMessageAndKeepsTheOldValue) {
    const struct {
        const char* answer;
        bool changed;
        int limit;
    } cases[] = {{"0", false, 6000}, {"-5", false, 6000}, {"1", true, 1}};
    for (const auto& c : cases) {
        ScriptedPrompt prompt;
        prompt.inputs.push_back(QString::fromUtf8(c.answer));
        int limit = 6000;
        EXPECT_EQ(AskDistanceLimit(prompt, limit), c.changed) << c.answer;
        EXPECT_EQ(limit, c.limit) << c.answer;
        const QStringList expected =
            c.changed ? QStringList{} : QStringList{QString::fromUtf8(kDistanceTooSmall)};
        EXPECT_EQ(prompt.MessageTexts(), expected) << c.answer;
    }
}

// A rate below 1 would put every revolution of a replay at an endless time.
TEST(ReplayBaudDialog, TakesANewPositiveRateOnly) {
    const struct {
        const char* answer;
        bool changed;
        int baud;
        bool told;
    } cases[] = {
        {"921600", true, 921600, false},
        {"230400", false, 230400, false},
        {"x", false, 230400, false},
        {"0", false, 230400, true},
    };
    for (const auto& c : cases) {
        ScriptedPrompt prompt;
        prompt.inputs.push_back(QString::fromUtf8(c.answer));
        int baud = 230400;
        EXPECT_EQ(AskReplayBaud(prompt, baud), c.changed) << c.answer;
        EXPECT_EQ(baud, c.baud) << c.answer;
        EXPECT_EQ(prompt.MessageTexts(),
                  c.told ? QStringList{QString::fromUtf8(kBaudTooSmall)} : QStringList{})
            << c.answer;
    }
}

TEST(TitleDialog, CancelKeepsTheTitle) {
    ScriptedPrompt prompt;
    EXPECT_EQ(AskTitle(prompt, "old"), "old");
    prompt.inputs.push_back("new");
    EXPECT_EQ(AskTitle(prompt, "old"), "new");
    EXPECT_EQ(prompt.inputCaptions.front(), QString::fromUtf8("输入|标题名称："));
}

}  // namespace
