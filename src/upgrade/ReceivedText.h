#pragma once

// How the upgrade window shows a received package: as text lines of printable ASCII.

#include <QStringList>
#include <cstdint>

// The lines of one package: CR and LF end a line of at least 2 characters, a line is cut at
// 101 characters, other bytes outside 0x20..0x7E show as blanks, and a rest shorter than 2
// characters is dropped at the end of the package.
QStringList ReceivedTextLines(const uint8_t* bytes, int count);
