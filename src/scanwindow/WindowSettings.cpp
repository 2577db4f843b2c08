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

WriteResult SaveExitSettings(IniFile& ini, const WindowSettings& s) {
    IniFile::Batch batch(ini);
    batch.WriteInteger(kSection, "BandRate", s.baudRate);
    batch.WriteInteger(kSection, "viewtype", s.viewType);
    batch.WriteBool(kSection, "mode", s.debugMode);
    return batch.Commit();
}

WriteResult SaveCaption(IniFile& ini, const QString& caption) {
    return ini.WriteString(kSection, "caption", caption);
}

WriteResult SaveDistanceLimit(IniFile& ini, int distanceLimit) {
    return ini.WriteInteger(kSection, "VykMax", distanceLimit);
}

}  // namespace scanwindow
