#include "Zonereplies.h"

#include <cstring>

#include "ScannerInterface.h"

bool IsAcknowledgement(const char* line, int length, TTextLineAssembler::LineEnd end) {
    const int suffix = static_cast<int>(std::strlen(scanner::kAckSuffix));
    return end == TTextLineAssembler::LineEnd::Ended && length >= suffix &&
           std::memcmp(line + length - suffix, scanner::kAckSuffix, suffix) == 0;
}

ZoneReport ZoneReportOf(const SettingsReply& reply) {
    return {reply.numbers[0], reply.numbers[1], reply.numbers[2], reply.numbers[3]};
}

int32_t OutputLevelsOf(const SettingsReply& reply) {
    return static_cast<int32_t>(reply.numbers[1]);
}

ZoneReportOutcome ApplyZoneReport(ZoneTable& table, const ZoneReport& report) {
    ZoneReportOutcome outcome;
    if (report.zone >= static_cast<uint32_t>(kZoneCount))
        return outcome;
    outcome.zone = static_cast<int>(report.zone);
    ProtectZone& zone = table.zones[report.zone];
    switch (report.count) {
        case 0:
            zone.count = 0;
            outcome.kind = ZoneReportOutcome::Kind::Removed;
            return outcome;
        case 2:
            zone.count = 2;
            zone.IOTCount = static_cast<uint8_t>(report.third & 0xFF);
            zone.x[0] = static_cast<int32_t>(report.fourth & 0xFFFF);
            zone.y[0] = static_cast<int32_t>(report.fourth >> 16);
            outcome.kind = ZoneReportOutcome::Kind::Sector;
            return outcome;
        case 3:
        case 4:
        case 5:
            break;
        default:
            return outcome;
    }
    zone.IOTCount = static_cast<uint8_t>(report.third & 0xFF);
    const uint32_t m = report.third / 256;
    if (m >= report.count) {
        outcome.kind = ZoneReportOutcome::Kind::SensitivityOnly;
        return outcome;
    }
    zone.count = static_cast<uint8_t>(report.count);
    outcome.x = static_cast<int16_t>(report.fourth & 0xFFFF);
    outcome.y = static_cast<int16_t>(report.fourth >> 16);
    if (m == 0) {
        for (int k = 1; k < ProtectZone::kPairs; ++k) zone.x[k] = zone.y[k] = 0;
    }
    zone.x[m] = outcome.x;
    zone.y[m] = outcome.y;
    outcome.kind = ZoneReportOutcome::Kind::PolygonPoint;
    outcome.point = static_cast<int>(m);
    outcome.last = m == report.count - 1;
    return outcome;
}
