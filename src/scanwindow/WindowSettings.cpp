#include "WindowSettings.h"

#include "Graphgeometry.h"
#include "IniFile.h"
#include "ScannerInterface.h"

namespace scanwindow {

namespace {
const QString kSection = QString::fromLatin1(kMainSection);
}

WindowSettings LoadSettings(const IniFile& ini, const QString& currentCaption, int defaultBaud) {
    WindowSettings s;
    s.caption = ini.ReadString(kSection, "caption", currentCaption);
    s.distanceLimit = ini.ReadInteger(kSection, "VykMax", scanner::kDefaultDistanceLimit);
    s.baudRate = ini.ReadInteger(kSection, "BandRate", defaultBaud);
    s.viewType = ini.ReadInteger(kSection, "viewtype", vykgraph::kViewData);
    s.debugMode = ini.ReadBool(kSection, "mode", false);
    if (!s.debugMode)
        s.viewType = vykgraph::kViewCircle;
    return s;
}

void SaveExitSettings(IniFile& ini, const WindowSettings& s) {
    const IniFile::Batch batch(ini);
    ini.WriteInteger(kSection, "BandRate", s.baudRate);
    ini.WriteInteger(kSection, "viewtype", s.viewType);
    ini.WriteBool(kSection, "mode", s.debugMode);
}

void SaveCaption(IniFile& ini, const QString& caption) {
    ini.WriteString(kSection, "caption", caption);
}

void SaveDistanceLimit(IniFile& ini, int distanceLimit) {
    ini.WriteInteger(kSection, "VykMax", distanceLimit);
}

}  // namespace scanwindow
