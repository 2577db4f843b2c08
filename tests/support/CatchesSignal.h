#pragma once

// Whether another process has installed its handler for a signal yet, read from /proc.

#include <QFile>

// True once the process catches the signal; a loaded or sanitized start can take seconds.
inline bool CatchesSignal(qint64 pid, int number) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (number - 1)) & 1;
    }
    return false;
}
