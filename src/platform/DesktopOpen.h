#pragma once

// Opens a file with the desktop's default program for its type, as the shell's "open" verb.

#include <QString>

bool OpenWithDesktop(const QString& path);
