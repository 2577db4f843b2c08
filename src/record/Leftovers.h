#pragma once

// Segment files that a crashed recording or a failed pack left beside their archive: found for
// a recording's name (or any of its archives) and packed into the archive they belong to.

#include <QString>
#include <QStringList>

namespace record {

struct Leftovers {
    QString base;          // the recording's path without extension
    int archiveIndex = 0;  // of archive among the recording's archives
    QString archive;       // where they go: the newest archive of the recording, else its first
    QStringList segments;  // in segment order
};

// The recording's path without extension, for the name a user chose or any of its archives
// (run, run.Zip, run.003.Zip give run, when run.Zip exists beside run.003.Zip).
QString RecordingBase(const QString& fileName);

// The name of archive index (0..kArchiveCount-1) of the recording whose path without
// extension is base.
QString ArchiveName(const QString& base, int index);

Leftovers FindLeftovers(const QString& fileName);

// Packs each segment and deletes it; one already in the archive with the same bytes is only
// deleted. A segment whose name the archive holds with other bytes belongs to the next pass
// and goes to the next archive. False at the first failure, with the file and reason in error.
bool PackLeftovers(const Leftovers& leftovers, QString& error);

}  // namespace record
