#include "ScannerState.h"

#include <cstdio>
#include <fstream>
#include <sstream>

bool ScannerState::operator==(const ScannerState& o) const {
    if (minDistance != o.minDistance || maxDistance != o.maxDistance || frequency != o.frequency ||
        modeBits != o.modeBits || angleStart != o.angleStart || angleEnd != o.angleEnd ||
        baud != o.baud || ioLevel != o.ioLevel) {
        return false;
    }
    for (int z = 0; z < kZoneCount; ++z) {
        const SimZone& a = zones[z];
        const SimZone& b = o.zones[z];
        if (a.count != b.count || a.sensitivity != b.sensitivity || a.x != b.x || a.y != b.y) {
            return false;
        }
    }
    return true;
}

namespace {

struct Setting {
    const char* name;
    int ScannerState::*field;
    int min;
    int max;
};

// The same bounds the commands enforce, so a hand-edited file cannot set what a command can't.
constexpr Setting kSettings[] = {
    {"min", &ScannerState::minDistance, 1, 4000},
    {"max", &ScannerState::maxDistance, 1, 4000},
    {"frequency", &ScannerState::frequency, 1, 15},
    {"mode", &ScannerState::modeBits, 0, 63},
    {"anglestart", &ScannerState::angleStart, 0, 360},
    {"angleend", &ScannerState::angleEnd, 0, 360},
    {"baud", &ScannerState::baud, 50, 4000000},
    {"iolevel", &ScannerState::ioLevel, 0, ScannerState::kLevelMask},
};

bool ReadSetting(const std::string& key, std::istringstream& in, ScannerState& state) {
    for (const Setting& setting : kSettings) {
        if (key != setting.name)
            continue;
        int value;
        if (!(in >> value) || value < setting.min || value > setting.max)
            return false;
        state.*setting.field = value;
        return true;
    }
    if (key != "zone")
        return false;
    int index, count, sensitivity;
    if (!(in >> index >> count >> sensitivity) || index < 0 || index >= ScannerState::kZoneCount ||
        count < 0 || count > 5 || sensitivity < 0 || sensitivity > 255) {
        return false;
    }
    SimZone zone;
    zone.count = static_cast<uint8_t>(count);
    zone.sensitivity = static_cast<uint8_t>(sensitivity);
    for (int k = 0; k < 5; ++k) {
        if (!(in >> zone.x[k] >> zone.y[k]))
            return false;
    }
    state.zones[index] = zone;
    return true;
}

}  // namespace

bool LoadState(const std::string& path, ScannerState& state) {
    std::ifstream file(path);
    if (!file)
        return true;
    ScannerState loaded = state;
    bool clean = true;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream in(line);
        std::string key;
        if (!(in >> key))
            continue;
        ScannerState attempt = loaded;
        if (ReadSetting(key, in, attempt)) {
            loaded = attempt;
        } else {
            clean = false;
        }
    }
    state = loaded;
    return clean;
}

bool SaveState(const std::string& path, const ScannerState& state) {
    // Written beside and renamed, so a kill in the middle never leaves half a file.
    const std::string temporary = path + ".new";
    {
        std::ofstream file(temporary, std::ios::trunc);
        if (!file)
            return false;
        for (const Setting& setting : kSettings) {
            file << setting.name << ' ' << state.*setting.field << '\n';
        }
        for (int z = 0; z < ScannerState::kZoneCount; ++z) {
            const SimZone& zone = state.zones[z];
            file << "zone " << z << ' ' << int{zone.count} << ' ' << int{zone.sensitivity};
            for (int k = 0; k < 5; ++k) file << ' ' << zone.x[k] << ' ' << zone.y[k];
            file << '\n';
        }
        if (!file.flush())
            return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}
