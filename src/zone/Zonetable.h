#pragma once

// The zone tool's model: one protection zone for each of three outputs in each of four input
// groups, and the outputs' active levels, kept in the program's INI file.

#include <cstdint>

#include "FileReplace.h"
#include "ProtectZone.h"

class IniFile;

constexpr int kZoneGroups = 4;
constexpr int kZoneOutputs = 3;
constexpr int kZoneCount = kZoneGroups * kZoneOutputs;

constexpr int ZoneIndex(int group, int output) {
    return group * kZoneOutputs + output;
}

struct ZoneTable {
    ProtectZone zones[kZoneCount] = {};
    // Bit ZoneIndex set: that zone's output is active high.
    int32_t IOLevel = 0;
};

// Reads sections "Protect" and "Poly0".."Poly11"; count and IOTCount are kept modulo 256 and a
// sensitivity of 0 reads as 5.
void LoadZones(const IniFile& ini, ZoneTable& table);
// Writes the same keys in one batch, leaving every other section and key of the file as it is.
[[nodiscard]] WriteResult StoreZones(IniFile& ini, const ZoneTable& table);
