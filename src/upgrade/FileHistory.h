#pragma once

// The upgrade window's list of recent firmware files, newest first, and its menu captions.

#include <QString>
#include <QStringList>

class TFileHistory {
public:
    // A new file pushes the oldest out once the list holds this many.
    static constexpr int kKeptEntries = 10;

    const QStringList& Entries() const { return entries_; }
    // Entries read back from the settings, in their order.
    void Append(const QString& path) { entries_ << path; }

    // Puts path at the top (a known path, in any case, moves there). False when it already
    // stood at the top, so the menu needs no rebuilding.
    bool AddHistoryFile(const QString& path);
    // Moves a listed path to the top; false when it is at the top or not listed.
    bool MoveToTop(const QString& path);

    // "&", the key (0..9, then A, B, ...), three blanks and the path.
    static QString MenuCaption(int index, const QString& path);

private:
    int IndexOf(const QString& path) const;

    QStringList entries_;
};
