#include "ReceivedText.h"

namespace {

constexpr int kShortestLine = 2;
constexpr int kLongestLine = 101;

}  // namespace

QStringList ReceivedTextLines(const uint8_t* bytes, int count) {
    QStringList lines;
    QString line;
    for (int i = 0; i < count; ++i) {
        const uint8_t byte = bytes[i];
        if (byte == '\r' || byte == '\n') {
            // A lone character is kept: it continues into the next line.
            if (line.size() >= kShortestLine) {
                lines << line;
                line.clear();
            }
        } else {
            line += byte < 0x20 || byte > 0x7E ? QChar(' ') : QChar(byte);
        }
        if (line.size() >= kLongestLine) {
            lines << line;
            line.clear();
        }
    }
    if (line.size() >= kShortestLine)
        lines << line;
    return lines;
}
