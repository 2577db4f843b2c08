#pragma once

// The command lines that carry one zone and the output levels to the scanner.

#include <QByteArray>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "Zonetable.h"

// One of the scanner's printf-style command texts with its numbers.
template <typename... Numbers>
QByteArray FormatCommand(const char* format, Numbers... numbers) {
    char text[100];
    const int length = std::snprintf(text, sizeof text, format, numbers...);
    return QByteArray(text, length < 0 ? 0 : std::min<int>(length, sizeof text - 1));
}

// Bits 0..3 count, 4..7 point number, 8..11 zone, 12..19 sensitivity.
uint32_t ZoneWord(int zone, int count, int point, int sensitivity);
// Y in the upper and X in the lower 16 bits, each as a 16-bit two's complement value.
uint32_t PointWord(int32_t x, int32_t y);

// "#IOL", the "#SPR" lines of zone z and "#SU", each with CR LF; nothing for z outside 0..11 or
// a count above 5.
std::vector<QByteArray> ZoneCommandLines(const ZoneTable& table, int z);
