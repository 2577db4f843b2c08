#include "Zonecommands.h"

#include "ScannerInterface.h"

namespace {

QByteArray ZonePointLine(uint32_t zoneWord, uint32_t pointWord) {
    return FormatCommand(scanner::kCmdZonePoint, zoneWord, pointWord);
}

}  // namespace

uint32_t ZoneWord(int zone, int count, int point, int sensitivity) {
    return static_cast<uint32_t>(count) + static_cast<uint32_t>(point) * 16 +
           static_cast<uint32_t>(zone) * 256 + static_cast<uint32_t>(sensitivity) * 4096;
}

uint32_t PointWord(int32_t x, int32_t y) {
    return (static_cast<uint32_t>(y) & 0xFFFF) << 16 | (static_cast<uint32_t>(x) & 0xFFFF);
}

std::vector<QByteArray> ZoneCommandLines(const ZoneTable& table, int z) {
    if (z < 0 || z >= kZoneCount || table.zones[z].count > ProtectZone::kPairs)
        return {};
    const ProtectZone& zone = table.zones[z];
    std::vector<QByteArray> lines{FormatCommand(scanner::kCmdOutputLevels, table.IOLevel)};
    if (zone.count == 2) {
        lines.push_back(
            ZonePointLine(ZoneWord(z, 2, 0, zone.IOTCount), PointWord(zone.x[0], zone.y[0])));
    } else if (zone.count < 2) {
        lines.push_back(ZonePointLine(ZoneWord(z, zone.count, 0, 0), 0));
    } else {
        for (int i = 0; i < zone.count; ++i) {
            lines.push_back(ZonePointLine(ZoneWord(z, zone.count, i, zone.IOTCount),
                                          PointWord(zone.x[i], zone.y[i])));
        }
    }
    lines.push_back(scanner::kCmdStore);
    return lines;
}
