#include "RevolutionTable.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Distances far above what a distance's bits hold (a stream without markers for a while) and
// runs across many blocks must come back as they went in.
TEST(RevolutionTable, GivesBackEveryPositionAndFindsTheRevolutionAtAnyByte) {
    std::vector<uint64_t> positions;
    uint64_t at = 7;
    for (int r = 0; r < 300; ++r) {
        positions.push_back(at);
        at += r % 97 == 5 ? (uint64_t{1} << 33) + r : 1000 + r % 13;
    }
    record::RevolutionTable table;
    for (size_t r = 0; r < positions.size(); ++r)
        table.Append(positions[r], static_cast<int>(r * 3 % 2048));
    ASSERT_EQ(table.Count(), 300);
    EXPECT_EQ(table.At(0), -1);
    EXPECT_EQ(table.At(6), -1);
    for (int r = 0; r < table.Count(); ++r) {
        EXPECT_EQ(table.Position(r), positions[r]) << r;
        EXPECT_EQ(table.Counter(r), r * 3 % 2048) << r;
        EXPECT_EQ(table.At(positions[r]), r) << r;
        EXPECT_EQ(table.At(positions[r] - 1), r - 1) << r;
    }
    EXPECT_EQ(table.At(UINT64_MAX), 299);
}

}  // namespace
