#include "ScannerState.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <fstream>

namespace {

class StateFile : public testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/vyksim-stateXXXXXX";
        const int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        path_ = name;
    }
    void TearDown() override { std::remove(path_.c_str()); }
    void Write(const std::string& text) { std::ofstream(path_) << text; }

    std::string path_;
};

TEST_F(StateFile, SavedStateReadsBackEqual) {
    ScannerState state;
    state.frequency = 12;
    state.ioLevel = 0x5A5;
    state.zones[7].count = 5;
    state.zones[7].sensitivity = 200;
    state.zones[7].x = {-500, 1, 2, 3, 4};
    state.zones[7].y = {5, 6, 7, 8, -32768};
    ASSERT_TRUE(SaveState(path_, state));
    ScannerState loaded;
    EXPECT_TRUE(LoadState(path_, loaded));
    EXPECT_TRUE(loaded == state);
}

// A hand-edited file cannot set what no command could: such lines are skipped, the rest read.
TEST_F(StateFile, BadLinesAreSkipped) {
    Write(
        "frequency 0\nmax 3500\nmode 99\nzone 12 3 1 0 0 0 0 0 0 0 0 0 0\n"
        "zone 2 7 1 0 0 0 0 0 0 0 0 0 0\nzone 3 2 5 300\nwhatever 1\nangleend 180\n");
    ScannerState state;
    EXPECT_FALSE(LoadState(path_, state));
    ScannerState expected;
    expected.maxDistance = 3500;
    expected.angleEnd = 180;
    EXPECT_TRUE(state == expected);
}

TEST_F(StateFile, MissingFileKeepsTheDefaults) {
    std::remove(path_.c_str());
    ScannerState state;
    EXPECT_TRUE(LoadState(path_, state));
    EXPECT_TRUE(state == ScannerState{});
}

}  // namespace
