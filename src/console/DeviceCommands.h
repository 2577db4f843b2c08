#pragma once

// The settings page's command rules apart from its widgets: what a command line looks like on
// the wire, which typed numbers pass, and what a "#RS" reply writes back into the page.

#include <QByteArray>
#include <QString>
#include <optional>

#include "Settingsreply.h"

namespace console {

constexpr int kMaxCommandLength = 100;
constexpr int kModeBitCount = 6;
constexpr int kMotorItems = 15;

constexpr char kNoPortToSend[] = "串口为空，没法发送数据！";
constexpr char kOutOfRange[] = "输入超出范围!";
constexpr char kBadMotorValue[] = "请输入合法的PWM值!";
constexpr char kBaudNotNumber[] = "输入必须为数字!";
constexpr char kNoPortForBaud[] = "必须先打开一号机才能校验！";
constexpr char kMotorError[] = "错误";
constexpr char kSentPrefix[] = "send:";

// At most the first 100 characters, with a..z upper-cased and nothing else changed.
QString CommandText(const QString& typed);
// The command text as it goes on the line: GBK, then CR LF.
QByteArray CommandLine(const QString& commandText);

enum class InputCheck { Ok, NotInteger, OutOfRange };
InputCheck CheckInteger(const QString& text, int min, int max);

// "#D12 " / "#SAR " with the two texts as typed: "#D12 3000 , 100".
QString PairCommand(const char* command, const QString& first, const QString& second);

// The "#sf" value: the selected item's number, else the typed text as an integer.
std::optional<int> MotorFrequency(int selectedIndex, const QString& text);

// The settings page as a "#RS" reply leaves it; fields a reply does not name stay empty.
struct PageValues {
    std::optional<QString> minDistance;
    std::optional<QString> maxDistance;
    std::optional<QString> angleStart;
    std::optional<QString> angleEnd;
    std::optional<int> motorIndex;  // -1: no item selected
    bool motorError = false;        // the combo reads "错误"
    std::optional<uint32_t> modeBits;
};
PageValues ReplyToPage(const SettingsReply& reply);

}  // namespace console
