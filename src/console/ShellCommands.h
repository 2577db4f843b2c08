#pragma once

// The console's system-menu commands and the texts they show or write.

#include <QByteArray>
#include <QString>
#include <functional>

class Prompt;

namespace console {

constexpr int kCmdChangeHistory = 2000;
constexpr int kCmdHelp = 2001;
constexpr int kCmdUpgrade = 2002;
constexpr int kCmdDisplayFilter = 2003;
constexpr int kCmdDistanceLimit = 2004;

// The change history text as the program carries it: GBK with CR LF line ends.
QByteArray ChangeHistoryText();
// Replaces any file at path by the change history in the locale's encoding, for a Linux editor;
// false when it cannot be written.
bool WriteChangeHistory(const QString& path);
// The same for a history text given as the program carries it.
bool WriteHistoryText(const QString& path, const QByteArray& gbkText);
QString HelpText();

// Runs the program's start and message loop. An exception that reaches this level is shown in a
// message box once everything it left has been destroyed (the settings are written), and the
// program ends with exit code 1.
int RunShowingExceptions(Prompt& prompt, const std::function<int()>& run);

}  // namespace console
