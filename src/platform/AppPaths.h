#pragma once

// Where a program keeps its INI file: named like the executable with ".ini", in the user's
// configuration folder (XDG) when the program runs from its installed folder, else beside the
// executable when that folder is writable (a build or a copied folder), else in XDG too.

#include <QString>

// The folder the programs are installed to, fixed when they are built.
QString InstalledProgramFolder();
QString IniPathFor(const QString& executablePath,
                   const QString& installedFolder = InstalledProgramFolder());
// A file beside the INI file, e.g. the change history text.
QString BesideIni(const QString& iniPath, const QString& fileName);
