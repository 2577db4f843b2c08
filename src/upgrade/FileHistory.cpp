#include "FileHistory.h"

int TFileHistory::IndexOf(const QString& path) const {
    for (int i = 0; i < entries_.size(); ++i) {
        if (entries_[i].compare(path, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool TFileHistory::AddHistoryFile(const QString& path) {
    const int at = IndexOf(path);
    if (at == 0)
        return false;
    if (at > 0) {
        entries_.move(at, 0);
        return true;
    }
    if (entries_.size() >= kKeptEntries)
        entries_.removeLast();
    entries_.prepend(path);
    return true;
}

bool TFileHistory::MoveToTop(const QString& path) {
    const int at = IndexOf(path);
    if (at <= 0)
        return false;
    entries_.move(at, 0);
    return true;
}

QString TFileHistory::MenuCaption(int index, const QString& path) {
    const QChar key = index <= 9 ? QChar('0' + index) : QChar('A' + index - 10);
    // A '&' of the path is shown as it is, not taken as a shortcut.
    return QStringLiteral("&") + key + QStringLiteral("   ") +
           QString(path).replace('&', QStringLiteral("&&"));
}
