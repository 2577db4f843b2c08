#pragma once

// What the zone tool takes from the scanner's text lines: the acknowledgements of its queued
// commands, and the "#RS" replies that carry zones and output levels back into the model.

#include <cstdint>

#include "Settingsreply.h"
#include "Textlines.h"
#include "Zonetable.h"

// A line closed by CR or LF that ends in "ok" acknowledges the queue's head; a piece cut off a
// longer line does not.
bool IsAcknowledgement(const char* line, int length, TTextLineAssembler::LineEnd end);

struct ZoneReport {
    uint32_t zone = 0;
    uint32_t count = 0;
    uint32_t third = 0;   // sensitivity, and for a polygon point number × 256
    uint32_t fourth = 0;  // the point word
};

// The numbers of a "#RSPR," reply.
ZoneReport ZoneReportOf(const SettingsReply& reply);
// The level of a "#RSOL," reply: its second number.
int32_t OutputLevelsOf(const SettingsReply& reply);

struct ZoneReportOutcome {
    enum class Kind { Ignored, Removed, Sector, PolygonPoint, SensitivityOnly };
    Kind kind = Kind::Ignored;
    int zone = -1;
    int point = 0;         // PolygonPoint: its number
    bool last = false;     // PolygonPoint: the polygon's last point
    int16_t x = 0, y = 0;  // PolygonPoint: its coordinates
};

// Stores one zone report in the table; what changed tells the window what to show.
ZoneReportOutcome ApplyZoneReport(ZoneTable& table, const ZoneReport& report);
