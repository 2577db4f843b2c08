#pragma once

// What the scanner remembers: its console settings and, on the zone model, twelve protection
// zones and the output levels. "#SU" writes it to the state file, a start reads it back.

#include <array>
#include <cstdint>
#include <string>

struct SimZone {
    uint8_t count = 0;  // 0 none, 2 sector, 3..5 polygon corners
    uint8_t sensitivity = 0;
    std::array<int32_t, 5> x{};
    std::array<int32_t, 5> y{};
};

struct ScannerState {
    static constexpr int kZoneCount = 12;
    static constexpr int kLevelMask = 0xFFF;

    int minDistance = 100;
    int maxDistance = 3000;
    int frequency = 10;  // Hz, 1..15
    int modeBits = 1;    // bit 0: motor runs at power-up
    int angleStart = 0;
    int angleEnd = 360;
    int baud = 230400;
    int ioLevel = 0;
    std::array<SimZone, kZoneCount> zones{};

    bool operator==(const ScannerState& other) const;
};

// Missing or unreadable files leave state as it was; returns false only for a file that exists
// but holds lines it does not understand (those lines are skipped).
bool LoadState(const std::string& path, ScannerState& state);
bool SaveState(const std::string& path, const ScannerState& state);
