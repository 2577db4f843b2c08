#include "ScanStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "Lasernode.h"
#include "ScannerInterface.h"
#include "Turns.h"

namespace {

std::string Stream(TScanStream& stream, const ScannerState& state, size_t bytes, int group = 0) {
    std::string out;
    stream.Produce(out, bytes, state, group);
    return out;
}

struct StreamCase {
    ScannerModel model;
    int packet;
    int hz;
    int baud;
};

class WholeTurns : public testing::TestWithParam<StreamCase> {};

// Every turn opens with its marker, counts on by one and holds exactly the samples the line
// rate gives at that frequency, spread from 0 towards 360 degrees; text lines cost no packet.
TEST_P(WholeTurns, ConsecutiveMarkersAndFullSampleCount) {
    const StreamCase c = GetParam();
    ScannerState state;
    state.frequency = c.hz;
    state.baud = c.baud;
    TScanStream stream(c.model, c.packet, 7);
    const int expected = TScanStream::SamplesPerTurn(c.baud, c.hz, c.packet, c.model);
    const size_t turnBytes = static_cast<size_t>(c.baud / 10 / c.hz);
    // Long enough for a second "#CART" line in the middle of the stream.
    const size_t bytes = std::max(turnBytes * 8, static_cast<size_t>(c.baud / 10 * 6));
    int statusLines = 0;
    const auto turns = Turns(Decode(Stream(stream, state, bytes)), &statusLines);

    ASSERT_GE(turns.size(), 7u);
    EXPECT_GE(statusLines, 1);
    EXPECT_EQ(turns[0].counter, 0);
    for (size_t t = 0; t < turns.size(); ++t) {
        SCOPED_TRACE(testing::Message() << "turn " << t);
        if (t > 0) {
            EXPECT_EQ(turns[t].counter, turns[t - 1].counter + 1);
        }
        ASSERT_EQ(static_cast<int>(turns[t].samples.size()), expected);
        EXPECT_EQ(InfoValue(turns[t], scanner::kInfoFrequency),
                  scanner::kFrequencyInfoScale / c.hz);
        EXPECT_EQ(InfoValue(turns[t], scanner::kInfoT1) >= 0, c.model == ScannerModel::Vyk05);
        int lastAngle = -1;
        for (const ScanPoint& p : turns[t].samples) {
            EXPECT_LE(p.distance, scanner::kMaxRangeCm);
            if (c.packet == 3) {
                EXPECT_EQ(p.angle, scanner::kPacket3Angle);
                continue;
            }
            EXPECT_GT(p.angle, lastAngle);
            EXPECT_LT(p.angle, scanner::kAnglesPerTurn);
            lastAngle = p.angle;
        }
    }
    // The first turn starts at second 0; the seconds then count the turns' time.
    EXPECT_EQ(InfoValue(turns[0], scanner::kInfoSeconds), 0);
}

INSTANTIATE_TEST_SUITE_P(Models, WholeTurns,
                         testing::Values(StreamCase{ScannerModel::Vyk10, 4, 10, 230400},
                                         StreamCase{ScannerModel::Vyk10, 3, 5, 115200},
                                         StreamCase{ScannerModel::Vyk10, 5, 15, 230400},
                                         StreamCase{ScannerModel::Vyk05, 4, 10, 115200},
                                         StreamCase{ScannerModel::Vyk05, 5, 1, 9600}));

TEST(ScanStream, SamplesPerTurnFillTheLine) {
    EXPECT_EQ(TScanStream::SamplesPerTurn(230400, 10, 4, ScannerModel::Vyk10), (2304 - 8) / 4);
    EXPECT_EQ(TScanStream::SamplesPerTurn(115200, 10, 4, ScannerModel::Vyk05), (1152 - 12) / 4);
    EXPECT_EQ(TScanStream::SamplesPerTurn(230400, 5, 5, ScannerModel::Vyk10), (4608 - 10) / 5);
    EXPECT_EQ(TScanStream::SamplesPerTurn(50, 15, 5, ScannerModel::Vyk05), 1);
}

// The views show the seconds with the next frequency point, so the seconds come first.
TEST(ScanStream, SecondsComeJustBeforeTheFrequency) {
    for (const ScannerModel model : {ScannerModel::Vyk10, ScannerModel::Vyk05}) {
        ScannerState state;
        TScanStream stream(model, 4, 3);
        const auto turns = Turns(Decode(Stream(stream, state, state.baud / 10 * 3)));
        int seconds = 0;
        for (const Turn& turn : turns) {
            std::vector<int> codes;
            for (const ScanPoint& p : turn.info) codes.push_back(p.angle);
            const auto at = std::find(codes.begin(), codes.end(), scanner::kInfoSeconds);
            if (at == codes.end())
                continue;
            ++seconds;
            ASSERT_NE(at + 1, codes.end());
            EXPECT_EQ(at[1], scanner::kInfoFrequency) << "turn " << turn.counter;
        }
        EXPECT_GE(seconds, 2);
    }
}

TEST(ScanStream, CounterWrapsAt2048) {
    ScannerState state;
    state.frequency = 15;
    state.baud = 9600;
    TScanStream stream(ScannerModel::Vyk10, 4, 1);
    const auto turns = Turns(Decode(Stream(stream, state, 64 * 2100)));
    ASSERT_GT(turns.size(), 2050u);
    for (size_t t = 1; t < turns.size(); ++t) {
        ASSERT_EQ(turns[t].counter, (turns[t - 1].counter + 1) % scanner::kRevolutionCounterModulo)
            << "turn " << t;
    }
    EXPECT_EQ(turns[2048].counter, 0);
}

// The room is there: a wall 600 cm ahead, one 750 cm to the right, a few returns missing.
TEST(ScanStream, SamplesSeeTheRoom) {
    ScannerState state;
    TScanStream stream(ScannerModel::Vyk10, 4, 3);
    const auto turns = Turns(Decode(Stream(stream, state, 23040 * 2)));
    ASSERT_GE(turns.size(), 10u);
    int samples = 0, missing = 0;
    for (const Turn& turn : turns) {
        for (const ScanPoint& p : turn.samples) {
            ++samples;
            if (p.distance == 0) {
                ++missing;
            } else if (p.angle == 0) {
                EXPECT_NEAR(p.distance, 600, 8);
            } else if (p.angle == scanner::kAnglesPerTurn / 4) {
                EXPECT_NEAR(p.distance, 750, 8);
            }
        }
    }
    const double missingShare = static_cast<double>(missing) / samples;
    EXPECT_GT(missingShare, 0.005);
    EXPECT_LT(missingShare, 0.05);
}

TEST(ScanStream, SameSeedSameStream) {
    ScannerState state;
    TScanStream a(ScannerModel::Vyk10, 4, 11), b(ScannerModel::Vyk10, 4, 11),
        c(ScannerModel::Vyk10, 4, 12);
    const std::string first = Stream(a, state, 20000);
    EXPECT_EQ(first, Stream(b, state, 20000));
    EXPECT_NE(first, Stream(c, state, 20000));
}

TEST(ScanStream, ModeBitsFilterDistancesAndAngles) {
    ScannerState state;
    state.modeBits = 1 | 8 | 32;  // farthest distance and angle filters
    state.maxDistance = 650;
    state.angleStart = 0;
    state.angleEnd = 90;
    TScanStream stream(ScannerModel::Vyk10, 4, 5);
    const auto turns = Turns(Decode(Stream(stream, state, 23040)));
    ASSERT_GE(turns.size(), 5u);
    int kept = 0;
    for (const Turn& turn : turns) {
        for (const ScanPoint& p : turn.samples) {
            EXPECT_LE(p.distance, 650);
            if (p.angle >= 91 * 16) {
                EXPECT_EQ(p.distance, 0) << "angle " << p.angle;
            }
            kept += p.distance > 0;
        }
    }
    EXPECT_GT(kept, 0);
}

// The outputs' info point follows the zones of the chosen group over the last turn.
TEST(ScanStream, OutputStateFollowsTheGroupsZones) {
    ScannerState state;
    const int group = 2;
    SimZone everything;
    everything.count = 2;
    everything.sensitivity = 5;
    everything.x[0] = 2000;  // radius
    everything.y[0] = 180;   // full circle
    SimZone nothing = everything;
    nothing.x[0] = 50;  // nothing stands that close
    state.zones[group * 3 + 0] = everything;
    state.zones[group * 3 + 2] = nothing;
    state.zones[0] = everything;  // another group: no effect
    state.zones[0 * 3 + 1] = everything;
    TScanStream stream(ScannerModel::Vyk05, 4, 9);
    const auto turns = Turns(Decode(Stream(stream, state, 23040, group)));
    ASSERT_GE(turns.size(), 3u);
    EXPECT_EQ(InfoValue(turns[0], scanner::kInfoT1), group << 6);  // no turn seen yet
    for (size_t t = 1; t < turns.size(); ++t) {
        EXPECT_EQ(InfoValue(turns[t], scanner::kInfoT1), (group << 6) | 1) << "turn " << t;
    }
}

}  // namespace
