#pragma once

// A scan window's settings in section "Main" of its INI file, and what debug mode unlocks.

#include <QString>

#include "FileReplace.h"

class IniFile;

namespace scanwindow {

constexpr char kMainSection[] = "Main";

struct WindowSettings {
    QString caption;
    int distanceLimit = 6000;  // VykMax
    int baudRate = 230400;     // BandRate
    int viewType = 162;        // viewtype
    bool debugMode = false;    // mode

    // Without debug mode only the circle view and no history replay are offered.
    bool HistoryButtonVisible() const { return debugMode; }
    bool PopupAvailable() const { return debugMode; }
};

// Reads every key; a missing file or key gives the defaults, with defaultBaud for BandRate.
// Applies the debug mode rule.
WindowSettings LoadSettings(const IniFile& ini, const QString& currentCaption, int defaultBaud);
// What the window writes at exit, in one batch.
[[nodiscard]] WriteResult SaveExitSettings(IniFile& ini, const WindowSettings& settings);
[[nodiscard]] WriteResult SaveCaption(IniFile& ini, const QString& caption);
[[nodiscard]] WriteResult SaveDistanceLimit(IniFile& ini, int distanceLimit);

}  // namespace scanwindow
