#include "Zonetable.h"

#include "IniFile.h"

namespace {

constexpr char kProtectSection[] = "Protect";
constexpr char kLevelKey[] = "IOLevel";
constexpr char kCountKey[] = "count";
constexpr char kSensitivityKey[] = "IOTCount";
constexpr int kDefaultSensitivity = 5;

QString PolySection(int z) {
    return QStringLiteral("Poly%1").arg(z);
}

QString PairKey(char axis, int k) {
    return QStringLiteral("%1%2").arg(QChar(axis)).arg(k);
}

}  // namespace

void LoadZones(const IniFile& ini, ZoneTable& table) {
    table.IOLevel = ini.ReadInteger(kProtectSection, kLevelKey, 0);
    for (int z = 0; z < kZoneCount; ++z) {
        ProtectZone& zone = table.zones[z];
        const QString section = PolySection(z);
        zone.count = static_cast<uint8_t>(ini.ReadInteger(section, kCountKey, 0));
        zone.IOTCount =
            static_cast<uint8_t>(ini.ReadInteger(section, kSensitivityKey, kDefaultSensitivity));
        if (zone.IOTCount == 0)
            zone.IOTCount = kDefaultSensitivity;
        for (int k = 0; k < ProtectZone::kPairs; ++k) {
            zone.x[k] = ini.ReadInteger(section, PairKey('x', k), 0);
            zone.y[k] = ini.ReadInteger(section, PairKey('y', k), 0);
        }
    }
}

WriteResult StoreZones(IniFile& ini, const ZoneTable& table) {
    // Some 150 keys: the file is written once, not once a key.
    IniFile::Batch batch(ini);
    batch.WriteInteger(kProtectSection, kLevelKey, table.IOLevel);
    for (int z = 0; z < kZoneCount; ++z) {
        const ProtectZone& zone = table.zones[z];
        const QString section = PolySection(z);
        batch.WriteInteger(section, kCountKey, zone.count);
        batch.WriteInteger(section, kSensitivityKey, zone.IOTCount);
        for (int k = 0; k < ProtectZone::kPairs; ++k) {
            batch.WriteInteger(section, PairKey('x', k), zone.x[k]);
            batch.WriteInteger(section, PairKey('y', k), zone.y[k]);
        }
    }
    return batch.Commit();
}
