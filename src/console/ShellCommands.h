#pragma once

// The console's own system-menu commands and the change history it carries; the commands both
// programs have are in the scan window's Shell.

#include <QByteArray>

namespace console {

constexpr int kCmdUpgrade = 2002;
constexpr int kCmdDisplayFilter = 2003;
constexpr int kCmdExportRange = 2006;
constexpr int kCmdExportMcap = 2007;

// The change history text as the program carries it: GBK with CR LF line ends.
QByteArray ChangeHistoryText();

}  // namespace console
