#include "Zonetable.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "IniFile.h"

namespace {

class ZoneTableTest : public ::testing::Test {
protected:
    void Write(const QByteArray& text) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QTemporaryDir dir;
    QString path = dir.filePath("VYK-05.ini");
};

TEST_F(ZoneTableTest, MissingFileGivesEmptyZonesWithSensitivityFive) {
    ZoneTable table;
    table.IOLevel = 77;
    table.zones[6].count = 3;
    LoadZones(IniFile(path), table);
    EXPECT_EQ(table.IOLevel, 0);
    for (const ProtectZone& zone : table.zones) {
        EXPECT_EQ(zone.count, 0);
        EXPECT_EQ(zone.IOTCount, 5);
        for (int k = 0; k < ProtectZone::kPairs; ++k) {
            EXPECT_EQ(zone.x[k], 0);
            EXPECT_EQ(zone.y[k], 0);
        }
    }
}

TEST_F(ZoneTableTest, NumbersAreTakenModulo256AndSensitivityZeroReadsAsFive) {
    Write(
        "[Protect]\nIOLevel=4095\n"
        "[Poly0]\ncount=263\nIOTCount=0\n"
        "[Poly1]\ncount=-254\nIOTCount=256\n"
        "[Poly2]\ncount=4\nIOTCount=300\nx3=-70000\ny4=2147483647\n");
    ZoneTable table;
    LoadZones(IniFile(path), table);
    EXPECT_EQ(table.IOLevel, 4095);
    const struct { int z, count, sensitivity; } cases[] = {{0, 7, 5}, {1, 2, 5}, {2, 4, 44}};
    for (const auto& c : cases) {
        EXPECT_EQ(table.zones[c.z].count, c.count) << c.z;
        EXPECT_EQ(table.zones[c.z].IOTCount, c.sensitivity) << c.z;
    }
    EXPECT_EQ(table.zones[2].x[3], -70000);
    EXPECT_EQ(table.zones[2].y[4], 2147483647);
}

TEST_F(ZoneTableTest, StoreWritesAllTwelveSectionsAndKeepsTheRest) {
    Write("[Main]\nVykMax=7000\n[Poly3]\nnote=mine\n");
    ZoneTable table;
    table.IOLevel = 0x5A5;
    for (int z = 0; z < kZoneCount; ++z) {
        table.zones[z].count = static_cast<uint8_t>(z % 6);
        table.zones[z].IOTCount = static_cast<uint8_t>(z + 1);
        for (int k = 0; k < ProtectZone::kPairs; ++k) {
            table.zones[z].x[k] = -(z * 10 + k);
            table.zones[z].y[k] = z * 100 + k;
        }
    }
    IniFile ini(path);
    EXPECT_TRUE(StoreZones(ini, table));

    ZoneTable back;
    LoadZones(ini, back);
    EXPECT_EQ(back.IOLevel, table.IOLevel);
    for (int z = 0; z < kZoneCount; ++z) {
        EXPECT_EQ(back.zones[z].count, table.zones[z].count);
        EXPECT_EQ(back.zones[z].IOTCount, table.zones[z].IOTCount);
        for (int k = 0; k < ProtectZone::kPairs; ++k) {
            EXPECT_EQ(back.zones[z].x[k], table.zones[z].x[k]);
            EXPECT_EQ(back.zones[z].y[k], table.zones[z].y[k]);
        }
    }
    EXPECT_EQ(ini.ReadInteger("Main", "VykMax", 0), 7000);
    EXPECT_EQ(ini.ReadString("Poly3", "note", ""), "mine");
    EXPECT_EQ(ini.ReadString("Poly11", "y4", ""), "1104");
}

}  // namespace
