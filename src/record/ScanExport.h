#pragma once

// The one-revolution text export: the newest complete revolution of the point buffer as
// "vykdata.txt" in the temporary folder, opened with the desktop's default program.

#include <QByteArray>
#include <QString>
#include <functional>

#include "FileReplace.h"
#include "Lasernode.h"

namespace record {

constexpr int kRevolutionMarker = 5768;

// The samples [start, end) between the two newest markers after index 0; false when there is
// nothing to export.
bool FindExportRange(const ScanPoint* points, int count, int& start, int& end);

// The file's text (CR LF lines) of the exported samples; empty when none has a distance.
QString ExportText(const ScanPoint* points, int count);
// The same of one revolution given whole, such as a replay shows it.
QString RevolutionText(const ScanPoint* samples, int count);

// QDir::tempPath() + "/vykdata.txt".
QString ExportPath();

// Replaces path by a file of bytes written beside it, unless the name is taken by anything but
// a plain file of this user without further hard links (the temporary folder is shared). On
// failure the old file is kept and the reason says why.
[[nodiscard]] WriteResult ReplaceOwnFile(const QString& path, const QByteArray& bytes);

enum class ExportResult { Nothing, Opened, Failed };

struct ExportOutcome {
    ExportResult result = ExportResult::Nothing;
    QString path;
    QString reason;  // why the file could not be written
};

// The whole export: text in the locale's encoding, written and handed to open.
ExportOutcome ExportScan(const ScanPoint* points, int count,
                         const std::function<bool(const QString&)>& open);
// The export of one revolution given whole; the last of a recording has no closing marker.
ExportOutcome ExportRevolution(const ScanPoint* samples, int count,
                               const std::function<bool(const QString&)>& open);

// The message of an export that could not be written.
QString ExportFailedText(const ExportOutcome& outcome);

}  // namespace record
