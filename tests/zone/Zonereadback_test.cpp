#include "Zonereadback.h"

#include <gtest/gtest.h>

#include <QByteArrayList>
#include <string>

namespace {

// A scanner's report: zone 0 a sector, zone 4 a triangle, the others removed, levels 16.
QByteArrayList Report() {
    QByteArrayList lines = {"#RSPR,0,2,10,2949420", "#RSPR,4,3,5,6553600", "#RSPR,4,3,261,6553700",
                            "#RSPR,4,3,517,4291690596"};
    for (int z : {1, 2, 3, 5, 6, 7, 8, 9, 10, 11})
        lines << "#RSPR," + QByteArray::number(z) + ",0,0,0";
    lines << "#RSOL,12,16";
    return lines;
}

ZoneTable Sent() {
    ZoneTable table;
    table.IOLevel = 16;
    table.zones[0] = ProtectZone{2, 10, {300}, {45}};
    table.zones[4] = ProtectZone{3, 5, {0, 100, 100, 0, 0}, {100, 100, -50, 0, 0}};
    return table;
}

TZoneReadBack ReadBack(const QByteArrayList& lines) {
    TZoneReadBack back;
    for (const QByteArray& line : lines)
        back.Take(ParseSettingsReply(line.constData(), static_cast<int>(line.size())));
    return back;
}

std::string Describe(const std::vector<TZoneReadBack::Missing>& missing) {
    std::string text;
    for (const auto& m : missing)
        text += std::to_string(m.zone) + ":" + std::to_string(m.point) + " ";
    return text;
}

TEST(ZoneReadBack, AWholeReportMatchesWhatWasSent) {
    const TZoneReadBack back = ReadBack(Report());
    EXPECT_TRUE(back.Complete());
    EXPECT_TRUE(back.WhatIsMissing().empty());
    EXPECT_TRUE(CompareZones(Sent(), back.Table(), kAllZones).empty());
}

// A pull took a report that stopped short for the scanner's zones.
TEST(ZoneReadBack, APartialReportIsNotComplete) {
    const struct {
        int dropLine;  // index into Report()
        const char* missing;
    } cases[] = {
        {0, "0:-1 "},    // the sector
        {2, "4:1 "},     // the triangle's point B
        {1, "4:0 "},     // its point A
        {7, "5:-1 "},    // a removed zone
        {14, "-1:-1 "},  // the output levels
    };
    for (const auto& c : cases) {
        QByteArrayList lines = Report();
        lines.removeAt(c.dropLine);
        const TZoneReadBack back = ReadBack(lines);
        EXPECT_FALSE(back.Complete()) << c.dropLine;
        EXPECT_EQ(Describe(back.WhatIsMissing()), c.missing) << c.dropLine;
        EXPECT_TRUE(back.AnyReport());
    }
    EXPECT_FALSE(ReadBack({"#RSDIS,10,4000", "#RSPR,12,3,5,0"}).AnyReport());
}

TEST(ZoneReadBack, DifferencesAreTheFieldsAsTheLineCarriesThem) {
    ZoneTable sent = Sent();
    sent.zones[0].x[1] = 77;     // not sent for a sector
    sent.zones[4].x[4] = 9;      // past the triangle's corners
    sent.IOLevel = 16 | 0x7000;  // bits above the twelve the scanner keeps
    sent.zones[5].count = 1;     // sent as a removal
    EXPECT_TRUE(CompareZones(sent, ReadBack(Report()).Table(), kAllZones).empty());

    ZoneTable stored = ReadBack(Report()).Table();
    stored.zones[4].y[2] = 50;
    stored.zones[0].IOTCount = 11;
    stored.zones[7].count = 3;
    stored.IOLevel = 17;
    const std::vector<ZoneDifference> differences = CompareZones(sent, stored, kAllZones);
    ASSERT_EQ(differences.size(), 4u);
    const struct {
        int zone;
        std::string field;
        int64_t sent, stored;
    } expected[] = {
        {0, "IOTCount", 10, 11}, {4, "y2", -50, 50}, {7, "count", 0, 3}, {-1, "IOLevel", 16, 17}};
    for (size_t i = 0; i < differences.size(); ++i) {
        EXPECT_EQ(differences[i].zone, expected[i].zone) << i;
        EXPECT_EQ(differences[i].field, expected[i].field) << i;
        EXPECT_EQ(differences[i].sent, expected[i].sent) << i;
        EXPECT_EQ(differences[i].stored, expected[i].stored) << i;
    }
    // Only the zones asked for.
    EXPECT_EQ(CompareZones(sent, stored, 1u << 7).size(), 2u);
}

}  // namespace
