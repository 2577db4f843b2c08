#pragma once

// What both window programs do around their main window: the system menu's common commands and
// texts, and the start of the program.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class Prompt;

namespace scanwindow {

class TScanWindow;

constexpr int kCmdChangeHistory = 2000;
constexpr int kCmdHelp = 2001;
constexpr int kCmdDistanceLimit = 2004;
constexpr int kCmdLinkStatus = 2005;
constexpr int kCmdReplayBaud = 2008;

// The file dialog's filter for a recording to replay.
constexpr char kRecordingFilter[] = "激光压缩数据文件 (*.Zip);;激光数据文件 (*.000);;所有文件 (*)";

// Replaces any file at path by a change history carried as GBK text, in the locale's encoding
// for a Linux editor; false when it cannot be written.
bool WriteHistoryText(const QString& path, const QByteArray& gbkText);
QString HelpText();

// Runs the program's start and message loop. An exception that reaches this level is shown in a
// message box once everything it left has been destroyed (the settings are written), and the
// program ends with exit code 1.
int RunShowingExceptions(Prompt& prompt, const std::function<int()>& run);

using WindowMaker = std::function<std::unique_ptr<TScanWindow>(const QString& iniPath)>;

// main() of a window program: Qt's Chinese texts, the window made with the INI path beside the
// executable, shown maximised over the screen, its port dialog, then the message loop. Ends with
// 0 when no port opens or a signal closes the window, 1 after an exception.
int RunWindowProgram(int argc, char** argv, const WindowMaker& makeWindow);

}  // namespace scanwindow
