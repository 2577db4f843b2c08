#pragma once

// What the simulator's --log tells of the command lines it got.

#include <QByteArray>
#include <optional>
#include <string>
#include <vector>

// The command line a log entry tells was received; none for other entries.
inline std::optional<std::string> ReceivedLine(const QByteArray& entry) {
    const int mark = entry.indexOf(" < ");
    if (mark < 0)
        return std::nullopt;
    return entry.mid(mark + 3).toStdString();
}

// The command lines received, in order.
inline std::vector<std::string> ReceivedLines(const QByteArray& log) {
    std::vector<std::string> lines;
    for (const QByteArray& entry : log.split('\n')) {
        if (auto line = ReceivedLine(entry))
            lines.push_back(std::move(*line));
    }
    return lines;
}

// The command lines carried out, in order, each repeat right after a line counted once: what
// was received less what was dropped or not stored.
inline std::vector<std::string> StoredLines(const QByteArray& log) {
    std::vector<std::string> received;
    for (const QByteArray& entry : log.split('\n')) {
        if (auto line = ReceivedLine(entry))
            received.push_back(std::move(*line));
        else if (!received.empty() &&
                 (entry.endsWith("* dropped") || entry.endsWith("* not stored")))
            received.pop_back();
    }
    std::vector<std::string> stored;
    for (const std::string& line : received) {
        if (stored.empty() || stored.back() != line)
            stored.push_back(line);
    }
    return stored;
}
