#include "Zonecommands.h"

#include <gtest/gtest.h>

#include <QByteArrayList>

namespace {

ProtectZone Polygon(uint8_t sensitivity, std::initializer_list<std::pair<int, int>> points) {
    ProtectZone zone{};
    zone.IOTCount = sensitivity;
    for (const auto& [x, y] : points) {
        zone.x[zone.count] = x;
        zone.y[zone.count] = y;
        ++zone.count;
    }
    return zone;
}

ProtectZone Sector(uint8_t sensitivity, int radius, int angle) {
    ProtectZone zone{};
    zone.count = 2;
    zone.IOTCount = sensitivity;
    zone.x[0] = radius;
    zone.y[0] = angle;
    return zone;
}

QByteArrayList Lines(const ZoneTable& table, int z) {
    QByteArrayList lines;
    for (const QByteArray& line : ZoneCommandLines(table, z)) lines << line;
    return lines;
}

TEST(ZoneCommands, WorkedExampleByteForByte) {
    ZoneTable table;
    table.IOLevel = 16;
    table.zones[4] = Polygon(5, {{0, 100}, {100, 100}, {100, -50}});
    table.zones[0] = Sector(10, 300, 45);
    table.zones[11] = Polygon(9, {{1, 2}, {3, 4}, {5, 6}});
    table.zones[11].count = 0;  // removed: stale points and sensitivity are not sent

    const struct {
        int z;
        QByteArrayList lines;
    } cases[] = {
        {4,
         {"#IOL 16\r\n", "#SPR 21507,6553600\r\n", "#SPR 21523,6553700\r\n",
          "#SPR 21539,4291690596\r\n", "#SU\r\n"}},
        {0, {"#IOL 16\r\n", "#SPR 40962,2949420\r\n", "#SU\r\n"}},
        {11, {"#IOL 16\r\n", "#SPR 2816,0\r\n", "#SU\r\n"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Lines(table, c.z), c.lines) << "zone " << c.z;
}

TEST(ZoneCommands, FivePointsAndNegativeCoordinatesUseTheLowAndHighHalves) {
    ZoneTable table;
    table.zones[9] = Polygon(255, {{-50, -1}, {-500, 500}, {0, -32768}, {1, 1}, {-1, 0}});
    const QByteArrayList lines = Lines(table, 9);
    ASSERT_EQ(lines.size(), 7);
    // X -50 is 65486 in the lower half, Y -1 is 65535 in the upper.
    EXPECT_EQ(lines[1],
              FormatCommand("#SPR %u,%u\r\n", 5u + 9 * 256 + 255 * 4096, 65535u * 65536 + 65486));
    EXPECT_EQ(lines[2], FormatCommand("#SPR %u,%u\r\n", 5u + 16 + 9 * 256 + 255 * 4096,
                                      500u * 65536 + 65036));
    EXPECT_EQ(lines[5], FormatCommand("#SPR %u,%u\r\n", 5u + 64 + 9 * 256 + 255 * 4096, 65535u));
    EXPECT_EQ(PointWord(-50, 0), 65486u);
}

TEST(ZoneCommands, NothingForAZoneOutsideTheTableOrACountAboveFive) {
    ZoneTable table;
    table.zones[3] = Polygon(5, {{1, 1}, {2, 2}, {3, 3}});
    table.zones[3].count = 6;
    EXPECT_TRUE(ZoneCommandLines(table, 3).empty());
    EXPECT_TRUE(ZoneCommandLines(table, -1).empty());
    EXPECT_TRUE(ZoneCommandLines(table, 12).empty());
}

}  // namespace
