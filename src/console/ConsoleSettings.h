#pragma once

// The console's settings in section "Main" of its INI file, and what debug mode unlocks.

#include <QString>

class IniFile;

namespace console {

constexpr char kDesignCaption[] = "VYK-10Halvex激光雷达点云数据采集分析系统V7.08.03";
constexpr char kMainSection[] = "Main";

struct ConsoleSettings {
    QString caption;
    int distanceLimit = 6000;  // VykMax
    int baudRate = 230400;     // BandRate
    int viewType = 162;        // viewtype
    bool debugMode = false;    // mode

    // Without debug mode only the circle view and no history replay are offered.
    bool HistoryButtonVisible() const { return debugMode; }
    bool PopupAvailable() const { return debugMode; }
};

// Reads every key; a missing file or key gives the defaults. Applies the debug mode rule.
ConsoleSettings LoadSettings(const IniFile& ini, const QString& currentCaption);
// What the window writes at exit.
void SaveExitSettings(IniFile& ini, const ConsoleSettings& settings);
void SaveCaption(IniFile& ini, const QString& caption);
void SaveDistanceLimit(IniFile& ini, int distanceLimit);

}  // namespace console
