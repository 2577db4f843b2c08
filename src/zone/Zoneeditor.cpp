#include "Zoneeditor.h"

#include <cstdint>

#include "Prompt.h"
#include "Zonerules.h"

namespace {

constexpr int kMinSensitivity = 1;
constexpr int kMaxSensitivity = 255;
constexpr int kRadiusBox = 0;  // AX in the sector layout
constexpr int kAngleBox = 2;   // BX in the sector layout
constexpr int kMinPolygonBoxes = 6;

constexpr char kIndexInvalid[] = "index is not valid!";
constexpr char kSensitivityInvalid[] = "灵敏度输入有误!";
constexpr char kSensitivityRange[] = "灵敏度输入应该在1~255!";
constexpr char kPairIncomplete[] = "请同时输入X,Y坐标";
constexpr char kTooFewPoints[] = "至少输入3个点的坐标";
constexpr char kNotInteger[] = "输入合法的整数";
constexpr char kSectorInvalid[] = "输入不合法!";

// Decimal, with an optional sign and blanks around it.
bool ReadBoxInteger(const QString& text, int32_t& value) {
    bool ok = false;
    value = text.trimmed().toInt(&ok, 10);
    return ok;
}

}  // namespace

QString ShapeCaption(bool polygon) {
    return polygon ? QStringLiteral("多边形") : QStringLiteral(" 扇形 ");
}

QString LevelCaption(bool high) {
    return high ? QStringLiteral("高电平") : QStringLiteral("低电平");
}

QString PointLabel(int k, bool polygon) {
    if (!polygon && k == 0)
        return QStringLiteral(" 半径  ");
    if (!polygon && k == 1)
        return QStringLiteral(" 角度  ");
    return QStringLiteral("%1点坐标 ").arg(QChar('A' + k));
}

bool PointLabelVisible(int k, bool polygon) {
    return polygon || k < 2;
}

bool CoordinateVisible(int box, bool polygon) {
    return polygon || box == kRadiusBox || box == kAngleBox;
}

QString GroupName(int group) {
    static const char* const kNames[kZoneGroups] = {"第一组", "第二组", "第三组", "第四组"};
    return QString::fromUtf8(kNames[group]);
}

QString OutputTitle(int output) {
    return QStringLiteral("区域保护IO输出%1").arg(output + 1);
}

bool TZoneEditor::ShowZone(int z, bool polygon) {
    if (z < 0 || z >= kZoneCount) {
        prompt_.Message(QString::fromUtf8(kIndexInvalid));
        return false;
    }
    ProtectZone& zone = table_.zones[z];
    ZoneBoxes& boxes = boxes_[z % kZoneOutputs];
    boxes.polygon = polygon;
    boxes.high = (table_.IOLevel >> z & 1) != 0;
    boxes.sensitivity = QString::number(zone.IOTCount);
    if (!polygon) {
        boxes.coordinate[kRadiusBox] = QString::number(zone.x[0]);
        boxes.coordinate[kAngleBox] = QString::number(zone.y[0]);
        return true;
    }
    if (zone.count > ProtectZone::kPairs)
        zone.count = ProtectZone::kPairs;
    for (int k = 0; k < ProtectZone::kPairs; ++k) {
        const bool shown = k < zone.count;
        boxes.coordinate[2 * k] = shown ? QString::number(zone.x[k]) : QString();
        boxes.coordinate[2 * k + 1] = shown ? QString::number(zone.y[k]) : QString();
    }
    return true;
}

void TZoneEditor::ShowGroup(int group) {
    group_ = group < 0 ? 0 : group;
    for (int o = 0; o < kZoneOutputs; ++o) {
        const int z = ZoneIndex(group_, o);
        ShowZone(z, table_.zones[z].count != 2);
    }
}

void TZoneEditor::ShapeChanged(int output, bool polygon) {
    ShowZone(ZoneIndex(group_, output), polygon);
}

void TZoneEditor::RefreshLevels() {
    for (int o = 0; o < kZoneOutputs; ++o)
        boxes_[o].high = (table_.IOLevel >> ZoneIndex(group_, o) & 1) != 0;
}

void TZoneEditor::ClearZoneInputs(int output) {
    for (QString& text : boxes_[output].coordinate) text.clear();
}

void TZoneEditor::Refuse(const char* text, int focus, SaveResult& result) {
    prompt_.Message(QString::fromUtf8(text));
    result.focus = focus;
}

TZoneEditor::SaveResult TZoneEditor::SaveZone(int output) {
    SaveResult result;
    if (beforeSave)
        beforeSave();
    ZoneBoxes& boxes = boxes_[output];
    const int z = ZoneIndex(group_, output);

    int32_t sensitivity = 0;
    const bool isInteger = ReadBoxInteger(boxes.sensitivity, sensitivity);
    if (!isInteger || sensitivity < kMinSensitivity || sensitivity > kMaxSensitivity) {
        Refuse(isInteger ? kSensitivityRange : kSensitivityInvalid, ZoneBoxes::kSensitivityBox,
               result);
        boxes.sensitivity = QStringLiteral("1");
        return result;
    }

    ProtectZone zone = table_.zones[z];
    const bool valid = boxes.polygon ? SavePolygon(boxes, zone, sensitivity, result)
                                     : SaveSector(boxes, zone, sensitivity, result);
    if (!valid)
        return result;
    table_.zones[z] = zone;

    int32_t levels = 0;
    for (int o = 0; o < kZoneOutputs; ++o) {
        if (boxes_[o].high)
            levels |= 1 << o;
    }
    const int shift = group_ * kZoneOutputs;
    table_.IOLevel = (table_.IOLevel & ~(7 << shift)) | levels << shift;
    result.saved = true;
    if (onSaved)
        onSaved(output, z);
    return result;
}

bool TZoneEditor::SavePolygon(ZoneBoxes& boxes, ProtectZone& zone, int sensitivity,
                              SaveResult& result) {
    int filled = 0;
    while (filled < ZoneBoxes::kCoordinates && !boxes.coordinate[filled].isEmpty()) ++filled;
    if (filled % 2 != 0) {
        Refuse(kPairIncomplete, -1, result);
        return false;
    }
    if (filled > 0 && filled < kMinPolygonBoxes) {
        Refuse(kTooFewPoints, -1, result);
        return false;
    }
    int32_t values[ZoneBoxes::kCoordinates] = {};
    for (int box = 0; box < filled; ++box) {
        if (!ReadBoxInteger(boxes.coordinate[box], values[box])) {
            Refuse(kNotInteger, box, result);
            return false;
        }
    }
    for (int k = 0; k < ProtectZone::kPairs; ++k) {
        if (CornerTooFar(values[2 * k], values[2 * k + 1])) {
            Refuse(RuleMessage(ZoneRule::CornerTooFar), 2 * k, result);
            return false;
        }
    }
    zone.count = static_cast<uint8_t>(filled / 2);
    zone.IOTCount = static_cast<uint8_t>(sensitivity);
    for (int k = 0; k < ProtectZone::kPairs; ++k) {
        zone.x[k] = values[2 * k];
        zone.y[k] = values[2 * k + 1];
    }
    return true;
}

bool TZoneEditor::SaveSector(ZoneBoxes& boxes, ProtectZone& zone, int sensitivity,
                             SaveResult& result) {
    if (boxes.coordinate[kRadiusBox].isEmpty()) {
        zone = ProtectZone{};
        zone.IOTCount = static_cast<uint8_t>(sensitivity);
        return true;
    }
    int32_t radius = 0;
    if (!ReadBoxInteger(boxes.coordinate[kRadiusBox], radius)) {
        Refuse(kSectorInvalid, kRadiusBox, result);
        return false;
    }
    // A negative radius is refused too: the scanner would store it as one near 655 m.
    if (const ZoneRule rule = CheckRadius(radius); rule != ZoneRule::Accepted) {
        Refuse(RuleMessage(rule), kRadiusBox, result);
        return false;
    }
    int32_t angle = 0;
    if (!ReadBoxInteger(boxes.coordinate[kAngleBox], angle)) {
        Refuse(kSectorInvalid, kAngleBox, result);
        return false;
    }
    if (const ZoneRule rule = CheckAngle(angle); rule != ZoneRule::Accepted) {
        Refuse(RuleMessage(rule), kAngleBox, result);
        return false;
    }
    zone.count = 2;
    zone.x[0] = radius;
    zone.y[0] = angle;
    zone.IOTCount = static_cast<uint8_t>(sensitivity);
    return true;
}
