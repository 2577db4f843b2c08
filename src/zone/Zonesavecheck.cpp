#include "Zonesavecheck.h"

#include <QStringList>

#include "ScannerInterface.h"
#include "Zoneeditor.h"

namespace {

constexpr char kNotStored[] = "读回的区域设置与发送的不一致:";
constexpr char kLevels[] = "输出电平";
constexpr char kNotReported[] = "未读回";

QString ZoneName(int z) {
    return QStringLiteral("区域%1(%2 %3)")
        .arg(z)
        .arg(GroupName(z / kZoneOutputs), OutputTitle(z % kZoneOutputs));
}

// The field as the zone's group box labels it.
QString FieldName(const ZoneDifference& d, const ZoneTable& sent) {
    const QString field = QString::fromLatin1(d.field);
    if (d.zone < 0)
        return QString::fromUtf8(kLevels);
    if (field == QLatin1String("count"))
        return QStringLiteral("点数");
    if (field == QLatin1String("IOTCount"))
        return QStringLiteral("灵敏度");
    const bool x = field.startsWith('x');
    if (sent.zones[d.zone].count == 2)
        return x ? QStringLiteral("半径") : QStringLiteral("角度");
    return QStringLiteral("%1点%2坐标").arg(QChar('A' + field.mid(1).toInt()), x ? "X" : "Y");
}

QString MissingName(const TZoneReadBack::Missing& m) {
    if (m.zone < 0)
        return QString::fromUtf8(kLevels);
    if (m.point < 0)
        return ZoneName(m.zone);
    return ZoneName(m.zone) + QStringLiteral(" %1点").arg(QChar('A' + m.point));
}

}  // namespace

QString SaveCheckText(const SaveCheckOutcome& outcome, const ZoneTable& sent) {
    if (outcome.AllStored())
        return {};
    QStringList lines{QString::fromUtf8(kNotStored)};
    for (const ZoneDifference& d : outcome.differences) {
        const QString where = d.zone < 0 ? QString() : ZoneName(d.zone) + ' ';
        lines << QStringLiteral("%1%2: 发送 %3, 读回 %4")
                     .arg(where, FieldName(d, sent))
                     .arg(d.sent)
                     .arg(d.stored);
    }
    for (const TZoneReadBack::Missing& m : outcome.missing)
        lines << MissingName(m) + ' ' + QString::fromUtf8(kNotReported);
    return lines.join('\n');
}

void TZoneSaveCheck::Saved(const ZoneTable& table, int z) {
    sent_.zones[z] = table.zones[z];
    sent_.IOLevel = table.IOLevel;
    zoneMask_ |= 1u << z;
    // A report already asked for may tell the state before this save's lines.
    state_ = State::Waiting;
}

void TZoneSaveCheck::Tick() {
    switch (state_) {
        case State::Idle:
            return;
        case State::Waiting:
            if (transfer_.PendingCommands() > 0 ||
                !transfer_.SendNow(scanner::kCmdReadSettingsLine))
                return;
            back_ = TZoneReadBack();
            quietUntil_ = clock_() + kQuietMs;
            shared_ = false;
            state_ = State::Collecting;
            return;
        case State::Collecting:
            if (MissingOfSaved().empty() || clock_() >= quietUntil_)
                Finish();
            return;
    }
}

bool TZoneSaveCheck::Take(const SettingsReply& reply) {
    if (state_ != State::Collecting || reply.kind == ReplyKind::None)
        return false;
    quietUntil_ = clock_() + kQuietMs;
    back_.Take(reply);
    return !shared_;
}

void TZoneSaveCheck::Reconnected() {
    if (state_ == State::Collecting)
        state_ = State::Waiting;
}

std::vector<TZoneReadBack::Missing> TZoneSaveCheck::MissingOfSaved() const {
    std::vector<TZoneReadBack::Missing> missing;
    for (const TZoneReadBack::Missing& m : back_.WhatIsMissing()) {
        if (m.zone < 0 || (zoneMask_ >> m.zone & 1))
            missing.push_back(m);
    }
    return missing;
}

void TZoneSaveCheck::Finish() {
    SaveCheckOutcome outcome;
    outcome.missing = MissingOfSaved();
    // A zone or the levels the report left out are named as such, not compared.
    uint32_t whole = zoneMask_;
    bool levels = true;
    for (const TZoneReadBack::Missing& m : outcome.missing) {
        if (m.zone < 0)
            levels = false;
        else
            whole &= ~(1u << m.zone);
    }
    for (const ZoneDifference& d : CompareZones(sent_, back_.Table(), whole)) {
        if (d.zone >= 0 || levels)
            outcome.differences.push_back(d);
    }
    state_ = State::Idle;
    zoneMask_ = 0;
    if (onChecked)
        onChecked(outcome, sent_);
}
