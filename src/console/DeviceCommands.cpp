#include "DeviceCommands.h"

#include "ScannerInterface.h"
#include "TextCodec.h"

namespace console {

QString CommandText(const QString& typed) {
    QString text = typed.left(kMaxCommandLength);
    for (QChar& c : text) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    }
    return text;
}

QByteArray CommandLine(const QString& commandText) {
    return ToGbk(commandText) + scanner::kLineEnd;
}

InputCheck CheckInteger(const QString& text, int min, int max) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        return InputCheck::NotInteger;
    return value < min || value > max ? InputCheck::OutOfRange : InputCheck::Ok;
}

QString PairCommand(const char* command, const QString& first, const QString& second) {
    return QString::fromLatin1(command) + first + QString::fromLatin1(scanner::kArgSeparator) +
           second;
}

std::optional<int> MotorFrequency(int selectedIndex, const QString& text) {
    if (selectedIndex >= 0)
        return selectedIndex + 1;
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

PageValues ReplyToPage(const SettingsReply& reply) {
    const uint32_t* n = reply.numbers;
    PageValues page;
    switch (reply.kind) {
        case ReplyKind::Distances:
            page.minDistance = QString::number(n[0]);
            page.maxDistance = QString::number(n[1]);
            break;
        case ReplyKind::Frequency:
            // Compared unsigned, so a number that wrapped is an error too, never an index.
            page.motorError = n[0] > kMotorItems;
            page.motorIndex = page.motorError ? -1 : static_cast<int>(n[0]) - 1;
            break;
        case ReplyKind::ModeBits:
            page.modeBits = n[0];
            break;
        case ReplyKind::Angles:
            page.angleStart = QString::number(n[0]);
            page.angleEnd = QString::number(n[1]);
            break;
        default:
            break;
    }
    return page;
}

}  // namespace console
