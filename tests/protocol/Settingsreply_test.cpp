#include "Settingsreply.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace {

TEST(SettingsReply, KindsAndNumbers) {
    using N = std::array<uint32_t, 4>;
    const struct {
        const char* line;
        ReplyKind kind;
        N numbers;
    } cases[] = {
        {"#RSDIS,100,3000", ReplyKind::Distances, {100, 3000, 0, 0}},
        {"#RSADR,16", ReplyKind::Frequency, {16, 0, 0, 0}},
        {"#RSMS,35", ReplyKind::ModeBits, {35, 0, 0, 0}},
        {"#RSAR,0,360", ReplyKind::Angles, {0, 360, 0, 0}},
        {"#RSPR,4,3,258,4291690596", ReplyKind::ZoneReport, {4, 3, 258, 4291690596u}},
        {"#RSOL,12", ReplyKind::OutputLevels, {12, 0, 0, 0}},
        // Blanks are skipped inside a number; the first other character ends it and the
        // rest of its field is passed over.
        {"#RSDIS, 1 2 ,3x4,5", ReplyKind::Distances, {12, 3, 5, 0}},
        {"#RSDIS,", ReplyKind::Distances, {0, 0, 0, 0}},
        {"#RSAR,-5,10", ReplyKind::Angles, {0, 10, 0, 0}},
        {"#RSPR,4294967297", ReplyKind::ZoneReport, {1, 0, 0, 0}},  // wraps as 32 bits
        {"#RS", ReplyKind::None, {}},
        {"#RSXY,1,2", ReplyKind::None, {}},
        {"#rsdis,1,2", ReplyKind::None, {}},
        {" #RSDIS,1,2", ReplyKind::None, {}},
        {"#CARTF4,12", ReplyKind::None, {}},
    };
    for (const auto& c : cases) {
        const SettingsReply reply =
            ParseSettingsReply(c.line, static_cast<int>(std::strlen(c.line)));
        EXPECT_EQ(reply.kind, c.kind) << c.line;
        EXPECT_EQ(N({reply.numbers[0], reply.numbers[1], reply.numbers[2], reply.numbers[3]}),
                  c.numbers)
            << c.line;
    }
}

TEST(SettingsReply, ReadsNothingBeyondTheGivenLength) {
    const char line[] = "#RSDIS,100,3000";
    const SettingsReply cut = ParseSettingsReply(line, 9);
    EXPECT_EQ(cut.kind, ReplyKind::Distances);
    EXPECT_EQ(cut.numbers[0], 10u);
    EXPECT_EQ(cut.numbers[1], 0u);
    EXPECT_EQ(ParseSettingsReply(line, 6).kind, ReplyKind::None) << "shorter than its prefix";
}

}  // namespace
