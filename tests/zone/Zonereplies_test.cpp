#include "Zonereplies.h"

#include <gtest/gtest.h>

#include <QByteArrayList>

#include "Zonecommands.h"

namespace {

struct Emitted {
    QByteArrayList lines;
    QByteArrayList acks;
};

Emitted Assemble(TTextLineAssembler& assembler, const QByteArray& bytes) {
    Emitted out;
    assembler.AssembleTextLines(
        reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<int>(bytes.size()),
        [&out](const char* line, int length, TTextLineAssembler::LineEnd end) {
            out.lines << QByteArray(line, length);
            if (IsAcknowledgement(line, length, end))
                out.acks << QByteArray(line, length);
        });
    return out;
}

TEST(ZoneAcknowledgement, ALineEndedAfterOk) {
    const struct {
        QByteArray bytes;
        QByteArrayList acks;
    } cases[] = {
        {"ok\r\n", {}},  // 2 characters acknowledge nothing
        {"#SUok\r\n", {"#SUok"}},
        {"#IOL ok\r\n#SPR ok\n", {"#IOL ok", "#SPR ok"}},
        {"#ERR ok?\r\n", {}},
        {"#SPR OK\r\n", {}},
        // Text after a non-text byte still makes a line, the partial line before it is lost.
        {"#RSP\x85#SU ok\r\n", {"#SU ok"}},
        {"#IOL\x01 ok\r\n", {}},
    };
    for (const auto& c : cases) {
        TTextLineAssembler assembler;
        EXPECT_EQ(Assemble(assembler, c.bytes).acks, c.acks)
            << c.bytes.toPercentEncoding().constData();
    }
}

TEST(ZoneAcknowledgement, PiecesOfALongLineDoNotAcknowledge) {
    TTextLineAssembler assembler;
    const QByteArray text = QByteArray(150, 'a') + QByteArray(47, 'b') + "ok";
    const Emitted out = Assemble(assembler, text + "\r\n");
    EXPECT_EQ(out.lines, (QByteArrayList{text.left(100), text.mid(100)}));
    EXPECT_EQ(out.acks, QByteArrayList{text.mid(100)});
    // A piece cut at 100 characters does not acknowledge, even when a line end follows it.
    EXPECT_TRUE(Assemble(assembler, QByteArray(98, 'd') + "ok\r\n").acks.isEmpty());
    // Exactly 100 characters then "ok": the "ok" left over is too short to be a line.
    const Emitted cut = Assemble(assembler, QByteArray(100, 'c') + "ok\r\n");
    EXPECT_EQ(cut.lines, QByteArrayList{QByteArray(100, 'c')});
    EXPECT_TRUE(cut.acks.isEmpty());
}

SettingsReply Parse(const QByteArray& line) {
    return ParseSettingsReply(line.constData(), static_cast<int>(line.size()));
}

TEST(ZoneReplies, MissingNumbersCountAsZero) {
    EXPECT_EQ(OutputLevelsOf(Parse("#RSOL,12,4095")), 4095);
    EXPECT_EQ(OutputLevelsOf(Parse("#RSOL,12")), 0);
    ZoneTable table;
    table.zones[7] = ProtectZone{3, 9, {1, 2, 3, 0, 0}, {4, 5, 6, 0, 0}};
    const ZoneReportOutcome outcome = ApplyZoneReport(table, ZoneReportOf(Parse("#RSPR,7")));
    EXPECT_EQ(outcome.kind, ZoneReportOutcome::Kind::Removed);
    EXPECT_EQ(table.zones[7].count, 0);
}

TEST(ApplyZoneReport, EachCount) {
    using Kind = ZoneReportOutcome::Kind;
    const ProtectZone before{4, 9, {1, 2, 3, 4, 0}, {5, 6, 7, 8, 0}};
    const struct {
        ZoneReport report;
        Kind kind;
        ProtectZone after;
    } cases[] = {
        {{3, 0, 0, 0}, Kind::Removed, {0, 9, {1, 2, 3, 4, 0}, {5, 6, 7, 8, 0}}},
        {{3, 1, 7, 1}, Kind::Ignored, before},
        {{3, 6, 7, 1}, Kind::Ignored, before},
        {{12, 3, 7, 1}, Kind::Ignored, before},
        // A sector's halves are unsigned.
        {{3, 2, 0x10A, PointWord(-1, 45)},
         Kind::Sector,
         {2, 10, {65535, 2, 3, 4, 0}, {45, 6, 7, 8, 0}}},
        // Point 0 opens the polygon and zeroes the other points.
        {{3, 3, 20, PointWord(-50, -7)},
         Kind::PolygonPoint,
         {3, 20, {-50, 0, 0, 0, 0}, {-7, 0, 0, 0, 0}}},
        {{3, 5, 4 * 256 + 30, PointWord(499, -499)},
         Kind::PolygonPoint,
         {5, 30, {1, 2, 3, 4, 499}, {5, 6, 7, 8, -499}}},
        // A point number not below the count still sets the sensitivity.
        {{3, 3, 3 * 256 + 44, PointWord(1, 1)},
         Kind::SensitivityOnly,
         {4, 44, {1, 2, 3, 4, 0}, {5, 6, 7, 8, 0}}},
    };
    for (const auto& c : cases) {
        ZoneTable table;
        table.zones[3] = before;
        const ZoneReportOutcome outcome = ApplyZoneReport(table, c.report);
        const std::string name =
            std::to_string(c.report.count) + "/" + std::to_string(c.report.third);
        EXPECT_EQ(outcome.kind, c.kind) << name;
        const ProtectZone& zone = table.zones[3];
        EXPECT_EQ(zone.count, c.after.count) << name;
        EXPECT_EQ(zone.IOTCount, c.after.IOTCount) << name;
        for (int k = 0; k < ProtectZone::kPairs; ++k) {
            EXPECT_EQ(zone.x[k], c.after.x[k]) << name << " x" << k;
            EXPECT_EQ(zone.y[k], c.after.y[k]) << name << " y" << k;
        }
    }
}

TEST(ApplyZoneReport, PolygonSentAndReadBackIsUnchanged) {
    ZoneTable sent;
    sent.zones[8] = ProtectZone{4, 200, {-50, 300, -400, 0, 0}, {-300, 0, 100, -1, 0}};
    ZoneTable back;
    ZoneReportOutcome last;
    // The scanner reports the points it was sent, point 0 first, as "#SPR" carried them.
    for (int m = 0; m < 4; ++m) {
        const ProtectZone& zone = sent.zones[8];
        const QByteArray line = FormatCommand("#RSPR,8,4,%d,%u", m * 256 + zone.IOTCount,
                                              PointWord(zone.x[m], zone.y[m]));
        last = ApplyZoneReport(back, ZoneReportOf(Parse(line)));
    }
    EXPECT_TRUE(last.last);
    EXPECT_EQ(last.point, 3);
    EXPECT_EQ(back.zones[8].count, 4);
    EXPECT_EQ(back.zones[8].IOTCount, 200);
    for (int k = 0; k < ProtectZone::kPairs; ++k) {
        EXPECT_EQ(back.zones[8].x[k], sent.zones[8].x[k]);
        EXPECT_EQ(back.zones[8].y[k], sent.zones[8].y[k]);
    }
}

}  // namespace
