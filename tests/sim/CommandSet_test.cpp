#include "CommandSet.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <string>

#include "ScannerInterface.h"

namespace {

using Lines = std::vector<std::string>;

struct CommandCase {
    const char* line;
    Lines replies;
};

// Each command's answer and the settings report that shows its effect.
TEST(CommandSet, AnswersEachConsoleCommand) {
    const CommandCase cases[] = {
        {"#RS", {"#RSDIS,100,3000", "#RSADR,10", "#RSMS,1", "#RSAR,0,360"}},
        {"#D12 3000 , 100", {"#D12 ok"}},
        {"#D12 4000 , 1", {"#D12 ok"}},
        {"#RS", {"#RSDIS,1,4000", "#RSADR,10", "#RSMS,1", "#RSAR,0,360"}},
        {"#SF 7", {"#SF ok"}},
        {"#SMS 35", {"#SMS ok"}},
        {"#SAR 10 , 350", {"#SAR ok"}},
        {"#RS", {"#RSDIS,1,4000", "#RSADR,7", "#RSMS,35", "#RSAR,10,350"}},
        {"#BR 460800", {"#BR ok"}},
        {"#ID", {"#ID,VYK-10 SIM 0001"}},
        {"#ST", {"#ST,7HZ,MOTOR ON,OUTPUT ON"}},
        {"#PM 1 ", {"#PM ok"}},
        {"#SU", {"#SU ok"}},
        {"#sf 0", {"#SF ok"}},
        {"#ST", {"#ST,7HZ,MOTOR OFF,OUTPUT ON"}},
        {"#SF 1000", {"#SF ok"}},
        {"#ST", {"#ST,7HZ,MOTOR ON,OUTPUT ON"}},
        {"noise without a command", {}},
    };
    ScannerState state;
    TCommandSet commands(ScannerModel::Vyk10, state, "");
    for (const CommandCase& c : cases) EXPECT_EQ(commands.Execute(c.line), c.replies) << c.line;
    EXPECT_EQ(state.baud, 460800);
}

// Each line gets one error line, never an acknowledgement, and the state stays as it was.
template <size_t N>
void ExpectRefusedWithoutChange(TCommandSet& commands, const ScannerState& state,
                                const char* const (&lines)[N]) {
    const ScannerState before = state;
    for (const char* line : lines) {
        const Lines replies = commands.Execute(line);
        ASSERT_EQ(replies.size(), 1u) << line;
        EXPECT_EQ(replies[0].rfind(TCommandSet::kErrorPrefix, 0), 0u) << line << ": " << replies[0];
        EXPECT_NE(replies[0].substr(replies[0].size() - 2), scanner::kAckSuffix) << line;
    }
    EXPECT_TRUE(state == before);
}

// Whatever is wrong with a command, the answer is an error line and nothing changes.
TEST(CommandSet, RefusesBadCommandsWithoutChange) {
    const char* const lines[] = {
        "#XYZ",
        "#SF",
        "#SF 16",
        "#SF -1",
        "#SF 5 , 6",
        "#SF five",
        "#SF5",
        "#SF 99999999999999",
        "#D12 4001 , 100",
        "#D12 100 , 0",
        "#D12 100 , 3000",
        "#D12 3000",
        "#D12 3000 , , 100",
        "#SAR 0 , 361",
        "#SAR -1 , 10",
        "#SMS 64",
        "#BR 1234",
        "#PM 2",
        "#RS 1",
        "#ID 5",
        "#IOL 5",
        "#SPR 1,2",
        "#",
        "#SF 1 0",
    };
    ScannerState state;
    TCommandSet commands(ScannerModel::Vyk10, state, "");
    ExpectRefusedWithoutChange(commands, state, lines);
    EXPECT_TRUE(commands.Streaming());
}

// The worked transfer of the zone tool's protocol, read back as "#RSPR," reports.
TEST(CommandSet, ZoneRoundTripsThroughSprAndRspr) {
    ScannerState state;
    TCommandSet commands(ScannerModel::Vyk05, state, "");
    for (const char* line : {"#IOL 16", "#SPR 21507,6553600", "#SPR 21523,6553700",
                             "#SPR 21539,4291690596", "#SU", "#SPR 40962,2949420"}) {
        const Lines replies = commands.Execute(line);
        ASSERT_EQ(replies.size(), 1u) << line;
        EXPECT_EQ(replies[0].substr(replies[0].size() - 2), scanner::kAckSuffix) << line;
    }
    const SimZone& triangle = state.zones[4];
    EXPECT_EQ(triangle.count, 3);
    EXPECT_EQ(triangle.sensitivity, 5);
    EXPECT_EQ(triangle.x, (std::array<int32_t, 5>{0, 100, 100, 0, 0}));
    EXPECT_EQ(triangle.y, (std::array<int32_t, 5>{100, 100, -50, 0, 0}));

    const Lines report = commands.Execute("#RS");
    ASSERT_EQ(report.size(), 4u + 1 + 3 + 3 + 7 + 1);
    EXPECT_EQ(report[4], "#RSPR,0,2,10,2949420");  // sector radius 300 angle 45
    EXPECT_EQ(report[8], "#RSPR,4,3,5,6553600");   // third = point * 256 + sensitivity
    EXPECT_EQ(report[9], "#RSPR,4,3,261,6553700");
    EXPECT_EQ(report[10], "#RSPR,4,3,517,4291690596");
    EXPECT_EQ(report[11], "#RSPR,5,0,0,0");
    EXPECT_EQ(report.back(), "#RSOL,12,16");

    // A removed zone, and a new point 0 that starts the polygon afresh.
    EXPECT_EQ(commands.Execute("#SPR 2816,0"), Lines{"#SPR ok"});
    EXPECT_EQ(state.zones[11].count, 0);
    EXPECT_EQ(commands.Execute("#SPR 21508,0"), Lines{"#SPR ok"});
    EXPECT_EQ(state.zones[4].count, 4);
    EXPECT_EQ(state.zones[4].x[1], 0);
}

TEST(CommandSet, RefusesBadZoneCommands) {
    const char* const lines[] = {
        "#SPR 3075,0",     // zone 12
        "#SPR 1,0",        // count 1
        "#SPR 6,0",        // count 6
        "#SPR 21555,0",    // point 3 of a triangle
        "#SPR 1048576,0",  // more than a zone word
        "#SPR 3,4294967296", "#IOL", "#IOL 1,2", "#SPR 3",
    };
    ScannerState state;
    TCommandSet commands(ScannerModel::Vyk05, state, "");
    ExpectRefusedWithoutChange(commands, state, lines);
}

// Only the low twelve bits of the output levels are used; a zone tool may send more.
TEST(CommandSet, OutputLevelsKeepTheirLowTwelveBits) {
    const struct {
        const char* line;
        int ioLevel;
    } cases[] = {
        {"#IOL 4095", 4095}, {"#IOL 4096", 0},          {"#IOL 4097", 1},
        {"#IOL -1", 4095},   {"#IOL 2147483647", 4095}, {"#IOL 9999999999", 9999999999LL & 0xFFF},
    };
    for (const auto& c : cases) {
        ScannerState state;
        state.ioLevel = 7;
        TCommandSet commands(ScannerModel::Vyk05, state, "");
        EXPECT_EQ(commands.Execute(c.line), Lines{"#IOL ok"}) << c.line;
        EXPECT_EQ(state.ioLevel, c.ioLevel) << c.line;
    }
}

TEST(CommandSet, DropsEveryNthZoneCommand) {
    ScannerState state;
    TCommandSet commands(ScannerModel::Vyk05, state, "", ZoneFaults{3});
    EXPECT_EQ(commands.Execute("#IOL 1"), Lines{"#IOL ok"});
    EXPECT_EQ(commands.Execute("#RS").size(), 4u + 12 + 1);  // not a zone command
    EXPECT_EQ(commands.Execute("#IOL 2"), Lines{"#IOL ok"});
    EXPECT_EQ(commands.Execute("#IOL 3"), Lines{});
    EXPECT_EQ(state.ioLevel, 2);
    EXPECT_EQ(commands.Execute("#IOL 3"), Lines{"#IOL ok"});
    EXPECT_EQ(state.ioLevel, 3);
}

TEST(CommandSet, LateAnswersAreCarriedOutAndForgottenPointsAnswered) {
    ScannerState state;
    TCommandSet commands(ScannerModel::Vyk05, state, "", ZoneFaults{0, 2, 2});
    EXPECT_EQ(commands.Execute("#IOL 1"), Lines{"#IOL ok"});
    EXPECT_EQ(commands.LastFate(), TCommandSet::Fate::Handled);
    EXPECT_EQ(commands.Execute("#SPR 21507,6553600"), Lines{"#SPR ok"});
    EXPECT_EQ(commands.LastFate(), TCommandSet::Fate::Late);
    EXPECT_EQ(state.zones[4].y[0], 100);
    EXPECT_EQ(commands.Execute("#SPR 21523,6553700"), Lines{"#SPR ok"});
    EXPECT_EQ(commands.LastFate(), TCommandSet::Fate::NotStored);
    EXPECT_EQ(state.zones[4].x[1], 0);
    EXPECT_EQ(commands.Execute("#RS").size(), 4u + 3 + 11 + 1);
    EXPECT_EQ(commands.LastFate(), TCommandSet::Fate::Handled);
}

TEST(CommandSet, StoreKeepsZonesForTheNextStart) {
    char path[] = "/tmp/vyksim-stateXXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    {
        ScannerState state;
        TCommandSet commands(ScannerModel::Vyk05, state, path);
        commands.Execute("#SPR 21507,6553600");
        commands.Execute("#IOL 7");
        commands.Execute("#SF 3");
        EXPECT_EQ(commands.Execute("#SU"), Lines{"#SU ok"});
        commands.Execute("#IOL 9");  // not stored
    }
    ScannerState restarted;
    EXPECT_TRUE(LoadState(path, restarted));
    EXPECT_EQ(restarted.ioLevel, 7);
    EXPECT_EQ(restarted.frequency, 3);
    EXPECT_EQ(restarted.zones[4].count, 3);
    EXPECT_EQ(restarted.zones[4].y[0], 100);
    std::remove(path);
}

TEST(LineAssembler, CutsLinesAndFlagsOverlongOnes) {
    TLineAssembler assembler;
    auto lines = assembler.Feed("#R", 2);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(assembler.Pending(), "#R");
    lines = assembler.Feed("S\r\n\n#ID\r", 8);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "#RS");
    EXPECT_EQ(lines[1].text, "#ID");

    const std::string longLine(300, 'A');
    lines = assembler.Feed(longLine.data(), longLine.size());
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(assembler.Pending().size(), TLineAssembler::kMaxLine);
    lines = assembler.Feed("\r#RS\n", 5);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].tooLong);
    EXPECT_FALSE(lines[1].tooLong);
    EXPECT_EQ(lines[1].text, "#RS");
}

}  // namespace
