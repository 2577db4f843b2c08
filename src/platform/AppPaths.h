#pragma once

// Where a program keeps its INI file: named like the executable with ".ini", beside it when
// that folder is writable, else in the user's configuration folder (XDG).

#include <QString>

QString IniPathFor(const QString& executablePath);
// A file beside the INI file, e.g. the change history text.
QString BesideIni(const QString& iniPath, const QString& fileName);
