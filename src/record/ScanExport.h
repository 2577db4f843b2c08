#pragma once

// The one-revolution text export: the newest complete revolution of the point buffer as
// "vykdata.txt" in the temporary folder, opened with the desktop's default program.

#include <QByteArray>
#include <QString>
#include <functional>

#include "Lasernode.h"

namespace record {

constexpr int kRevolutionMarker = 5768;

// The samples [start, end) between the two newest markers after index 0; false when there is
// nothing to export.
bool FindExportRange(const ScanPoint* points, int count, int& start, int& end);

// The file's text (CR LF lines) of the exported samples; empty when none has a distance.
QString ExportText(const ScanPoint* points, int count);

// QDir::tempPath() + "/vykdata.txt".
QString ExportPath();

// Writes bytes into path, creating or truncating it, but never through a symbolic link, into a
// file of another user, a file with further hard links or anything but a plain file. False
// (and nothing written) when refused.
bool WriteOwnFile(const QString& path, const QByteArray& bytes);

enum class ExportResult { Nothing, Opened, Refused };

// The whole export: text in the locale's encoding, written and handed to open.
ExportResult ExportScan(const ScanPoint* points, int count,
                        const std::function<bool(const QString&)>& open);

}  // namespace record
