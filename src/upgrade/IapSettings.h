#pragma once

// The upgrade window's settings in the program's INI file: section "IAP" and the file
// history in section "HisFile".

#include <QString>
#include <QStringList>

#include "FileReplace.h"

class IniFile;

struct IapSettings {
    static constexpr int kHistoryKeys = 30;

    int pageIndex = 0;
    QString fileName;
    int comPort = 1;
    bool bAuto = false;
    bool bDisPowerData = false;
    QStringList history;  // entries longer than 3 characters, in key order
};

IapSettings LoadIapSettings(const IniFile& ini);
// Keys beyond the history are written empty, so that older entries do not come back. On failure
// the result of the first write that failed.
[[nodiscard]] WriteResult SaveIapSettings(IniFile& ini, const IapSettings& settings);
