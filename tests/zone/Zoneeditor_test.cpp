#include "Zoneeditor.h"

#include <gtest/gtest.h>

#include <QStringList>

#include "ScriptedPrompt.h"

namespace {

class ZoneEditorTest : public ::testing::Test {
protected:
    ZoneEditorTest() {
        editor.beforeSave = [this] { events << "stop"; };
        editor.onSaved = [this](int output, int z) {
            events << QStringLiteral("saved %1 %2").arg(output).arg(z);
        };
        for (ProtectZone& zone : table.zones) zone.IOTCount = 5;
    }

    // Fills output's boxes: coordinates from AX on, in the given layout.
    void Type(int output, const QStringList& coordinates, const QString& sensitivity = "5",
              bool polygon = true) {
        ZoneBoxes& boxes = editor.Boxes(output);
        for (int i = 0; i < ZoneBoxes::kCoordinates; ++i)
            boxes.coordinate[i] = i < coordinates.size() ? coordinates[i] : QString();
        boxes.sensitivity = sensitivity;
        boxes.polygon = polygon;
    }

    void Sector(int output, const QString& radius, const QString& angle) {
        Type(output, {radius, "", angle}, "5", false);
    }

    ZoneTable table;
    ScriptedPrompt prompt;
    TZoneEditor editor{table, prompt};
    QStringList events;
};

TEST_F(ZoneEditorTest, PolygonBoxesAreCheckedInOrder) {
    const struct {
        QStringList boxes;
        const char* message;  // nullptr: saved
        int focus;
        int count;
    } cases[] = {
        {{}, nullptr, -1, 0},  // all empty removes the zone
        {{"0", "100", "100", "100"}, "至少输入3个点的坐标", -1, 0},
        {{"0", "100"}, "至少输入3个点的坐标", -1, 0},
        {{"0", "100", "100"}, "请同时输入X,Y坐标", -1, 0},
        // DY without DX: boxes after the first empty one are ignored.
        {{"0", "100", "100", "100", "100", "-50", "", "7"}, nullptr, -1, 3},
        {{"0", "100", "1x", "100", "100", "-50"}, "输入合法的整数", 2, 0},
        {{"0", "100", "100", "100", "300", "400"}, nullptr, -1, 3},
        {{"0", "100", "100", "100", "300", "401"}, "输入坐标太大,超出范围!", 4, 0},
        {{"0", "100", "100", "100", "1", "1", "100000", "0"}, "输入坐标太大,超出范围!", 6, 0},
        {{"-2147483648", "-2147483648", "1", "1", "2", "2"}, "输入坐标太大,超出范围!", 0, 0},
        {{"1", "1", "2", "2", "3", "3", "4", "4", "5", "5"}, nullptr, -1, 5},
    };
    for (const auto& c : cases) {
        table.zones[0] = ProtectZone{};
        prompt.messages.clear();
        Type(0, c.boxes);
        const TZoneEditor::SaveResult result = editor.SaveZone(0);
        const QString boxes = c.boxes.join(',');
        EXPECT_EQ(result.saved, c.message == nullptr) << qPrintable(boxes);
        EXPECT_EQ(prompt.MessageTexts(),
                  c.message ? QStringList{QString::fromUtf8(c.message)} : QStringList{})
            << qPrintable(boxes);
        EXPECT_EQ(result.focus, c.focus) << qPrintable(boxes);
        EXPECT_EQ(table.zones[0].count, c.count) << qPrintable(boxes);
    }
}

TEST_F(ZoneEditorTest, SavedPolygonTakesThePointsAndZeroesTheRest) {
    table.zones[3] = ProtectZone{5, 9, {1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}};
    editor.ShowGroup(1);
    Type(0, {"0", "100", "100", "100", "100", "-50", "", "7"}, " 12 ");
    ASSERT_TRUE(editor.SaveZone(0).saved);
    const ProtectZone& zone = table.zones[3];
    EXPECT_EQ(zone.count, 3);
    EXPECT_EQ(zone.IOTCount, 12);
    const int32_t xs[] = {0, 100, 100, 0, 0}, ys[] = {100, 100, -50, 0, 0};
    for (int k = 0; k < ProtectZone::kPairs; ++k) {
        EXPECT_EQ(zone.x[k], xs[k]);
        EXPECT_EQ(zone.y[k], ys[k]);
    }
    EXPECT_EQ(events, (QStringList{"stop", "saved 0 3"}));
}

TEST_F(ZoneEditorTest, SectorLimits) {
    const struct {
        QString radius, angle;
        const char* message;
        int focus;
    } cases[] = {
        {"500", "180", nullptr, -1},
        {"0", "1", nullptr, -1},
        {"501", "90", "输入半径太大!", 0},
        // Was accepted: the scanner stored -1 as 65535 cm while the overlay counted no hit.
        {"-1", "90", "输入不合法!", 0},
        {"-20", "x", "输入不合法!", 0},
        {"r", "90", "输入不合法!", 0},
        {"300", "0", "角度只能在(0,180]", 2},
        {"300", "181", "角度只能在(0,180]", 2},
        {"300", "-5", "角度只能在(0,180]", 2},
        {"300", "", "输入不合法!", 2},
    };
    for (const auto& c : cases) {
        table.zones[1] = ProtectZone{3, 7, {1, 2, 3, 0, 0}, {4, 5, 6, 0, 0}};
        prompt.messages.clear();
        Sector(1, c.radius, c.angle);
        const TZoneEditor::SaveResult result = editor.SaveZone(1);
        const QString input = c.radius + "/" + c.angle;
        EXPECT_EQ(prompt.MessageTexts(),
                  c.message ? QStringList{QString::fromUtf8(c.message)} : QStringList{})
            << qPrintable(input);
        EXPECT_EQ(result.focus, c.focus) << qPrintable(input);
        if (c.message) {
            EXPECT_EQ(table.zones[1].count, 3) << qPrintable(input);
            continue;
        }
        EXPECT_EQ(table.zones[1].count, 2) << qPrintable(input);
        EXPECT_EQ(table.zones[1].x[0], c.radius.toInt());
        EXPECT_EQ(table.zones[1].y[0], c.angle.toInt());
        // Pairs past the first keep their values.
        EXPECT_EQ(table.zones[1].x[1], 2);
    }
}

TEST_F(ZoneEditorTest, EmptySectorRadiusRemovesTheZone) {
    table.zones[2] = ProtectZone{2, 7, {300, 0, 0, 0, 0}, {45, 0, 0, 0, 0}};
    Type(2, {"", "", "90"}, "8", false);
    ASSERT_TRUE(editor.SaveZone(2).saved);
    EXPECT_EQ(table.zones[2].count, 0);
    EXPECT_EQ(table.zones[2].IOTCount, 8);
    EXPECT_EQ(table.zones[2].x[0], 0);
    EXPECT_EQ(table.zones[2].y[0], 0);
}

TEST_F(ZoneEditorTest, BadSensitivityIsRefusedFirstAndTheBoxReadsOne) {
    const struct {
        QString text;
        const char* message;
    } cases[] = {
        {"0", "灵敏度输入应该在1~255!"},  {"256", "灵敏度输入应该在1~255!"},
        {"-1", "灵敏度输入应该在1~255!"}, {"abc", "灵敏度输入有误!"},
        {"", "灵敏度输入有误!"},          {"99999999999", "灵敏度输入有误!"},
    };
    for (const auto& c : cases) {
        prompt.messages.clear();
        events.clear();
        // The coordinates are wrong too: the sensitivity is checked first.
        Type(0, {"1"}, c.text);
        const TZoneEditor::SaveResult result = editor.SaveZone(0);
        EXPECT_FALSE(result.saved);
        EXPECT_EQ(prompt.MessageTexts(), QStringList{QString::fromUtf8(c.message)})
            << qPrintable(c.text);
        EXPECT_EQ(result.focus, ZoneBoxes::kSensitivityBox);
        EXPECT_EQ(editor.Boxes(0).sensitivity, "1");
        // The motor is stopped even by a refused save.
        EXPECT_EQ(events, QStringList{"stop"});
    }
}

TEST_F(ZoneEditorTest, SaveTakesOverTheLevelBoxesOfItsGroup) {
    table.IOLevel = 0xFFF & ~(7 << 6);
    editor.ShowGroup(2);
    Type(1, {"1", "1", "2", "2", "3", "1"});
    editor.Boxes(0).high = true;
    editor.Boxes(1).high = false;
    editor.Boxes(2).high = true;
    ASSERT_TRUE(editor.SaveZone(1).saved);
    EXPECT_EQ(table.zones[7].count, 3);
    EXPECT_EQ(table.zones[4].count, 0);
    EXPECT_EQ(table.IOLevel, (0xFFF & ~(7 << 6)) | 5 << 6);
    EXPECT_EQ(events.last(), "saved 1 7");
}

TEST_F(ZoneEditorTest, ShowZoneFillsTheBoxesOfItsOutput) {
    table.IOLevel = 1 << 10;
    table.zones[10] = ProtectZone{7, 9, {1, 2, 3, 4, 5}, {-1, -2, -3, -4, -5}};
    ASSERT_TRUE(editor.ShowZone(10, true));
    const ZoneBoxes& boxes = editor.Boxes(1);
    // A stored count of 7 shows five points and becomes 5.
    EXPECT_EQ(table.zones[10].count, 5);
    EXPECT_EQ(boxes.coordinate[8], "5");
    EXPECT_EQ(boxes.coordinate[9], "-5");
    EXPECT_EQ(boxes.sensitivity, "9");
    EXPECT_TRUE(boxes.high);
    EXPECT_TRUE(boxes.polygon);

    table.zones[10].count = 3;
    editor.ShowZone(10, true);
    EXPECT_EQ(boxes.coordinate[4], "3");
    EXPECT_EQ(boxes.coordinate[6], "");
    EXPECT_EQ(boxes.coordinate[9], "");

    EXPECT_FALSE(editor.ShowZone(12, true));
    EXPECT_EQ(prompt.MessageTexts(), QStringList{"index is not valid!"});
}

TEST_F(ZoneEditorTest, SwitchingASectorToPolygonShowsRadiusAndAngleAsPointA) {
    table.zones[0] = ProtectZone{2, 5, {300, 0, 0, 0, 0}, {45, 0, 0, 0, 0}};
    editor.ShowGroup(0);
    EXPECT_FALSE(editor.Boxes(0).polygon);
    EXPECT_EQ(editor.Boxes(0).coordinate[0], "300");
    EXPECT_EQ(editor.Boxes(0).coordinate[2], "45");
    EXPECT_EQ(PointLabel(0, false), QStringLiteral(" 半径  "));
    EXPECT_FALSE(CoordinateVisible(1, false));

    editor.ShapeChanged(0, true);
    EXPECT_EQ(editor.Boxes(0).coordinate[0], "300");
    EXPECT_EQ(editor.Boxes(0).coordinate[1], "45");
    EXPECT_EQ(editor.Boxes(0).coordinate[2], "0");
    EXPECT_EQ(editor.Boxes(0).coordinate[4], "");
    EXPECT_EQ(PointLabel(0, true), QStringLiteral("A点坐标 "));
}

TEST_F(ZoneEditorTest, ClearEmptiesOnlyTheCoordinates) {
    table.zones[5] = ProtectZone{3, 9, {1, 2, 3, 0, 0}, {4, 5, 6, 0, 0}};
    editor.ShowGroup(1);
    editor.ClearZoneInputs(2);
    for (const QString& text : editor.Boxes(2).coordinate) EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(editor.Boxes(2).sensitivity, "9");
    EXPECT_EQ(table.zones[5].count, 3);
    // Saving the emptied boxes removes the zone.
    ASSERT_TRUE(editor.SaveZone(2).saved);
    EXPECT_EQ(table.zones[5].count, 0);
}

}  // namespace
