#pragma once

// What the simulator's --log tells of the command lines it got.

#include <QByteArray>
#include <string>
#include <vector>

// The command lines received, in order.
inline std::vector<std::string> ReceivedLines(const QByteArray& log) {
    std::vector<std::string> lines;
    for (const QByteArray& entry : log.split('\n')) {
        const int mark = entry.indexOf(" < ");
        if (mark >= 0)
            lines.push_back(entry.mid(mark + 3).toStdString());
    }
    return lines;
}

// The command lines carried out, in order, each repeat right after a line counted once: what
// was received less what was dropped or not stored.
inline std::vector<std::string> StoredLines(const QByteArray& log) {
    std::vector<std::string> received;
    for (const QByteArray& entry : log.split('\n')) {
        const int mark = entry.indexOf(" < ");
        if (mark >= 0)
            received.push_back(entry.mid(mark + 3).toStdString());
        else if (entry.endsWith("* dropped") || entry.endsWith("* not stored"))
            received.pop_back();
    }
    std::vector<std::string> stored;
    for (const std::string& line : received) {
        if (stored.empty() || stored.back() != line)
            stored.push_back(line);
    }
    return stored;
}
