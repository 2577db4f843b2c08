#include "Bootloader.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ScannerInterface.h"

namespace {

// Bit by bit, to check the table-driven form against the definition.
uint32_t Crc32Mpeg2(const std::vector<uint8_t>& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t byte : bytes) {
        crc ^= static_cast<uint32_t>(byte) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x80000000u ? crc << 1 ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

uint32_t Crc(const std::vector<uint8_t>& image) {
    return TBootLoader::ImageCrc(image.data(), static_cast<uint32_t>(image.size()));
}

TEST(BootLoader, ImageCrcAsTheUpgradeDefinesIt) {
    EXPECT_EQ(Crc32Mpeg2({'1', '2', '3', '4', '5', '6', '7', '8', '9'}), 0x0376E6E7u);
    EXPECT_EQ(Crc({1, 2, 3, 4}), 497805135u);
    EXPECT_EQ(Crc({1, 2, 3, 4, 5, 6, 7, 8}), Crc32Mpeg2({4, 3, 2, 1, 8, 7, 6, 5}));
    // A last partial word is completed with 0xFF before it is reversed.
    EXPECT_EQ(Crc({1, 2, 3, 4, 5, 6, 7}), Crc32Mpeg2({4, 3, 2, 1, 0xFF, 7, 6}));
    EXPECT_EQ(Crc({1, 2, 3, 4, 5}), Crc32Mpeg2({4, 3, 2, 1, 0xFF}));
}

std::string Info(uint32_t size, uint32_t crc) {
    std::string reply(1, static_cast<char>(scanner::kFileInfoHead));
    reply += scanner::kFileInfoTag;
    for (uint32_t value : {size, crc}) {
        for (int i = 0; i < 4; ++i) reply += static_cast<char>(value >> (8 * i) & 0xFF);
    }
    return reply;
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
                {2.0, "", scanner::kBootFinished},
                {5.0, "", ""}});
    EXPECT_EQ(boot.CurrentPhase(), TBootLoader::Phase::Finished);
    EXPECT_EQ(Written(), Text(image));
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
