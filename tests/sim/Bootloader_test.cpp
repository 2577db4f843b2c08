#include "Bootloader.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "BootProtocol.h"

namespace {

uint32_t Crc(const std::vector<uint8_t>& image) {
    return scanner::FirmwareCrc(image.data(), static_cast<uint32_t>(image.size()));
}

std::string Info(uint32_t size, uint32_t crc) {
    const scanner::FileInfo reply = scanner::FileInfoReply(size, crc);
    return {reply.begin(), reply.end()};
}

std::vector<uint8_t> Image(size_t size) {
    std::vector<uint8_t> image(size);
    for (size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
    return image;
}

std::string Text(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

// One move of the scripted PC: what it sends at a time, then what the boot loader says.
struct Step {
    double time;
    std::string send;
    std::string expect;
};

class BootConversation : public testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/vyksim-firmwareXXXXXX";
        const int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        std::remove(name);
        path_ = name;
    }
    void TearDown() override { std::remove(path_.c_str()); }

    void Play(TBootLoader& boot, const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            boot.Receive(step.send.data(), step.send.size(), step.time);
            std::string out;
            boot.Tick(step.time, out);
            EXPECT_EQ(out, step.expect) << "at " << step.time;
        }
    }

    std::string Written() const {
        std::ifstream file(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }

    std::string path_;
};

TEST_F(BootConversation, GoodImageIsProgrammedAndWritten) {
    const auto image = Image(101);
    const std::string info = Info(101, Crc(image));
    TBootLoader boot(path_, 0.5);
    Play(boot, {{0.0, "", scanner::kBootRequestInfo},
                {0.5, "", ""},
                {1.0, "", scanner::kBootRequestInfo},
                // Line noise before the reply, and the reply in two pieces.
                {1.2, "\x13#XY" + info.substr(0, 5), ""},
                {1.3, info.substr(5), scanner::kBootStart},
                {1.25, Text(image).substr(0, 50), ""},
                {1.375, Text(image).substr(50, 50), ""},
                {1.5, Text(image).substr(100) + "extra", scanner::kBootProgramming},
                {1.75, "", ""},
                {2.0, "", scanner::kBootFinished}});
    EXPECT_EQ(Written(), Text(image));
    // The scan waits for the new firmware's start, so the last message stands alone on the line.
    EXPECT_EQ(boot.CurrentPhase(), TBootLoader::Phase::Restarting);
    Play(boot, {{2.0 + TBootLoader::kRestartPause / 2, "", ""}});
    EXPECT_EQ(boot.CurrentPhase(), TBootLoader::Phase::Restarting);
    Play(boot, {{2.0 + TBootLoader::kRestartPause, "", ""}});
    EXPECT_EQ(boot.CurrentPhase(), TBootLoader::Phase::Finished);
}

TEST_F(BootConversation, BadCrcIsACheckErrorAndStartsOver) {
    const auto image = Image(64);
    TBootLoader boot(path_, 0.5);
    Play(boot, {{0.0, "", scanner::kBootRequestInfo},
                {0.125, Info(64, Crc(image) ^ 1), scanner::kBootStart},
                {0.25, Text(image), scanner::kBootProgramming},
                {0.5, "", ""},
                {0.75, "", scanner::kBootCheckError},
                {1.0, "", scanner::kBootRequestInfo},
                {1.5, "", ""},
                {2.0, "", scanner::kBootRequestInfo}});
    EXPECT_EQ(boot.CurrentPhase(), TBootLoader::Phase::Requesting);
    EXPECT_TRUE(Written().empty());
}

TEST_F(BootConversation, SizeOutsideTheLimitIsRefused) {
    for (uint32_t size : {0u, static_cast<uint32_t>(scanner::kMaxFirmwareSize) + 1}) {
        TBootLoader boot(path_, 0.5);
        Play(boot, {{0.0, "", scanner::kBootRequestInfo},
                    {0.1, Info(size, 0), scanner::kBootCheckError},
                    {1.0, "", scanner::kBootRequestInfo}});
        EXPECT_EQ(boot.CurrentPhase(), TBootLoader::Phase::Requesting) << size;
    }
}

TEST_F(BootConversation, LargestImageIsTaken) {
    const auto image = Image(scanner::kMaxFirmwareSize);
    TBootLoader boot(path_, 0.0);
    Play(boot, {{0.0, Info(scanner::kMaxFirmwareSize, Crc(image)), scanner::kBootStart},
                {0.1, Text(image), scanner::kBootProgramming},
                {0.2, "", scanner::kBootFinished}});
    EXPECT_EQ(Written().size(), image.size());
}

TEST_F(BootConversation, ImageThatStopsHalfwayTimesOut) {
    const auto image = Image(100);
    TBootLoader boot(path_, 0.5);
    Play(boot, {{0.0, "", scanner::kBootRequestInfo},
                {0.1, Info(100, Crc(image)) + Text(image).substr(0, 60), scanner::kBootStart},
                {3.0, "", ""},
                {3.2, "", scanner::kBootCheckError},
                {3.3, "", scanner::kBootRequestInfo}});
    EXPECT_EQ(boot.CurrentPhase(), TBootLoader::Phase::Requesting);
}

}  // namespace
