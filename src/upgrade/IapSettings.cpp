#include "IapSettings.h"

#include "IniFile.h"

namespace {

const QString kSection = QStringLiteral("IAP");
const QString kHistorySection = QStringLiteral("HisFile");

}  // namespace

IapSettings LoadIapSettings(const IniFile& ini) {
    IapSettings settings;
    for (int i = 0; i < IapSettings::kHistoryKeys; ++i) {
        const QString path = ini.ReadString(kHistorySection, QString::number(i), QString());
        if (path.size() > 3)
            settings.history << path;
    }
    settings.comPort = ini.ReadInteger(kSection, QStringLiteral("COM"), 1);
    settings.bAuto = ini.ReadBool(kSection, QStringLiteral("bAuto"), false);
    settings.bDisPowerData = ini.ReadBool(kSection, QStringLiteral("bDisPowerData"), false);
    settings.fileName = ini.ReadString(kSection, QStringLiteral("filename"), QString());
    settings.pageIndex = ini.ReadInteger(kSection, QStringLiteral("PageIndex"), 0);
    return settings;
}

WriteResult SaveIapSettings(IniFile& ini, const IapSettings& settings) {
    WriteResult first;
    const auto keep = [&first](const WriteResult& result) {
        if (first.ok && !result.ok)
            first = result;
    };
    keep(ini.WriteInteger(kSection, QStringLiteral("PageIndex"), settings.pageIndex));
    keep(ini.WriteString(kSection, QStringLiteral("filename"), settings.fileName));
    keep(ini.WriteInteger(kSection, QStringLiteral("COM"), settings.comPort));
    keep(ini.WriteBool(kSection, QStringLiteral("bAuto"), settings.bAuto));
    keep(ini.WriteBool(kSection, QStringLiteral("bDisPowerData"), settings.bDisPowerData));
    for (int i = 0; i < IapSettings::kHistoryKeys; ++i) {
        keep(ini.WriteString(kHistorySection, QString::number(i),
                             i < settings.history.size() ? settings.history[i] : QString()));
    }
    return first;
}
