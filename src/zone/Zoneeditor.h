#pragma once

// The zone editing of the three output group boxes, without widgets: what the boxes show, the
// input rules of a save with their messages, and the group and shape choices.

#include <QString>
#include <functional>

#include "Zonetable.h"

class Prompt;

// The controls of one output's group box.
struct ZoneBoxes {
    static constexpr int kCoordinates = 2 * ProtectZone::kPairs;
    static constexpr int kSensitivityBox = kCoordinates;  // a focus target beside 0..9

    QString coordinate[kCoordinates];  // AX, AY, BX, BY, .. EX, EY
    QString sensitivity;
    bool polygon = true;  // the shape box: polygon when checked, sector when not
    bool high = false;    // the level box: active high when checked
};

// Captions and visibility that follow from the boxes' state.
QString ShapeCaption(bool polygon);
QString LevelCaption(bool high);
// The label over point k (0..4); points C..E are only visible in the polygon layout.
QString PointLabel(int k, bool polygon);
bool PointLabelVisible(int k, bool polygon);
// AX and BX always show; in the sector layout they hold radius and angle.
bool CoordinateVisible(int box, bool polygon);
// "第一组" .. "第四组" and "区域保护IO输出1" .. "区域保护IO输出3".
QString GroupName(int group);
QString OutputTitle(int output);

class TZoneEditor {
public:
    TZoneEditor(ZoneTable& table, Prompt& prompt) : table_(table), prompt_(prompt) {}

    ZoneBoxes& Boxes(int output) { return boxes_[output]; }
    int Group() const { return group_; }

    // Fills the boxes of output z mod 3 from zone z; false after "index is not valid!".
    bool ShowZone(int z, bool polygon);
    void ShowGroup(int group);
    // The shape box of an output was clicked: shows its zone in the layout it now asks for.
    void ShapeChanged(int output, bool polygon);
    // The level boxes of the shown group from IOLevel, the other boxes as they are.
    void RefreshLevels();

    struct SaveResult {
        bool saved = false;
        int focus = -1;  // the box to give the focus: 0..9 a coordinate, kSensitivityBox
    };
    // Checks output's boxes in order, with one message at the first refusal; on success
    // updates the zone and the group's output levels, then hands the zone on.
    SaveResult SaveZone(int output);
    // Empties output's ten coordinate boxes; the model is not touched.
    void ClearZoneInputs(int output);

    // Runs first in every save, refused or not (the motor-stop command).
    std::function<void()> beforeSave;
    // A saved zone, as slot output and zone index z, after the model changed.
    std::function<void(int output, int z)> onSaved;

private:
    bool SavePolygon(ZoneBoxes& boxes, ProtectZone& zone, int sensitivity, SaveResult& result);
    bool SaveSector(ZoneBoxes& boxes, ProtectZone& zone, int sensitivity, SaveResult& result);
    void Refuse(const char* text, int focus, SaveResult& result);

    ZoneTable& table_;
    Prompt& prompt_;
    ZoneBoxes boxes_[kZoneOutputs];
    int group_ = 0;
};
