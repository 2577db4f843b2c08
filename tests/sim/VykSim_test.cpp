// The real program on its pseudo-terminal, driven the way the programs and tools use it.

#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "BootProtocol.h"
#include "ScanStream.h"
#include "SimProcess.h"
#include "Turns.h"

namespace {

constexpr double kPatience = 10;  // seconds; generous for sanitizer builds on a busy machine

class VykSim : public testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/vyksim-testXXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string File(const std::string& name) const { return dir_ + "/" + name; }

    static std::string ReadFile(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }

    static auto Contains(const std::string& text) {
        return [text](const std::string& data) { return data.find(text) != std::string::npos; };
    }

    // Answers the boot loader's request with image and sends it; what the boot loader said after.
    static std::string Upgrade(SimProcess& sim, const std::string& image, const char* verdict) {
        std::string data;
        EXPECT_TRUE(sim.ReadUntil(kPatience, Contains(scanner::kBootRequestInfo), data));
        const uint32_t size = static_cast<uint32_t>(image.size());
        const scanner::FileInfo info = scanner::FileInfoReply(
            size, scanner::FirmwareCrc(reinterpret_cast<const uint8_t*>(image.data()), size));
        EXPECT_TRUE(sim.Send(std::string(info.begin(), info.end())));
        data.clear();
        EXPECT_TRUE(sim.ReadUntil(kPatience, Contains(scanner::kBootStart), data));
        for (size_t at = 0; at < image.size(); at += 50)
            EXPECT_TRUE(sim.Send(image.substr(at, 50)));
        data.clear();
        EXPECT_TRUE(sim.ReadUntil(kPatience, Contains(verdict), data));
        return data;
    }

    static bool Exists(const std::string& path) {
        struct stat info {};
        return lstat(path.c_str(), &info) == 0;
    }

    std::string dir_;
};

TEST_F(VykSim, PrintsItsPathLinksItAndRemovesTheLinkAtExit) {
    const std::string link = File("scanner");
    SimProcess sim({"--link", link, "--fast"});
    ASSERT_EQ(sim.Path().rfind("/dev/pts/", 0), 0u) << sim.Path();
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(sim.Path(), target);
    sim.Terminate();
    EXPECT_EQ(sim.WaitExit(kPatience), 0);
    EXPECT_FALSE(Exists(link));
}

TEST_F(VykSim, StreamHoldsWholeTurnsAndFollowsTheFrequency) {
    SimProcess sim({"--fast", "--duration", "30"});
    ASSERT_TRUE(sim.Connect());
    std::string data;
    ASSERT_TRUE(sim.ReadUntil(
        kPatience, [](const std::string& d) { return d.size() > 60000; }, data));
    auto turns = Turns(Decode(data));
    ASSERT_GE(turns.size(), 20u);
    const int at10 = TScanStream::SamplesPerTurn(230400, 10, 4, ScannerModel::Vyk10);
    // The first whole turn may have lost its head to the flush; the rest are complete.
    for (size_t t = 1; t < turns.size(); ++t) {
        ASSERT_EQ(turns[t].counter, (turns[t - 1].counter + 1) % 2048) << t;
        ASSERT_EQ(static_cast<int>(turns[t].samples.size()), at10) << t;
    }

    ASSERT_TRUE(sim.Send("#SF 4\r\n"));
    data.clear();
    ASSERT_TRUE(sim.ReadUntil(kPatience, Contains("#SF ok"), data));
    data.clear();
    ASSERT_TRUE(sim.ReadUntil(
        kPatience, [](const std::string& d) { return d.size() > 200000; }, data));
    turns = Turns(Decode(data));
    ASSERT_GE(turns.size(), 5u);
    const int at4 = TScanStream::SamplesPerTurn(230400, 4, 4, ScannerModel::Vyk10);
    EXPECT_EQ(static_cast<int>(turns.back().samples.size()), at4);
    EXPECT_EQ(InfoValue(turns.back(), scanner::kInfoFrequency), 500);
}

TEST_F(VykSim, AnswersCommandsAndLogsWhatCrossedTheLine) {
    const std::string log = File("line.log");
    SimProcess sim({"--fast", "--log", log});
    ASSERT_TRUE(sim.Connect());
    ASSERT_TRUE(sim.Send("#RS\r\n#ID\r\n\r\n#SF 0\r\n#NOPE\r\n"));
    std::string data;
    ASSERT_TRUE(sim.ReadUntil(kPatience, Contains("#ERR unknown command #NOPE"), data));
    for (const char* reply : {"#RSDIS,100,3000\r\n", "#RSADR,10\r\n", "#RSMS,1\r\n",
                              "#RSAR,0,360\r\n", "#ID,VYK-10 SIM 0001\r\n", "#SF ok\r\n"}) {
        EXPECT_NE(data.find(reply), std::string::npos) << reply;
    }
    // The motor stopped: once the line has drained, nothing more comes.
    sim.ReadFor(1.0);
    EXPECT_EQ(sim.ReadFor(0.5), "");

    const std::string logged = ReadFile(log);
    for (const char* entry : {" < #RS\n", " > #RSDIS,100,3000\n", " > #RSAR,0,360\n", " < #ID\n",
                              " < #SF 0\n", " > #SF ok\n", " < #NOPE\n"}) {
        EXPECT_NE(logged.find(entry), std::string::npos) << entry;
    }
    EXPECT_EQ(logged.find("#CART"), std::string::npos);  // the stream is not a reply
}

TEST_F(VykSim, ZonesSurviveARestartThroughTheStateFile) {
    const std::string state = File("state");
    {
        SimProcess sim({"--fast", "--model", "vyk05", "--state", state});
        ASSERT_TRUE(sim.Connect());
        for (const char* command : {"#IOL 16", "#SPR 21507,6553600", "#SPR 21523,6553700",
                                    "#SPR 21539,4291690596", "#SU"}) {
            ASSERT_TRUE(sim.Send(std::string(command) + "\r\n"));
            const std::string ack =
                std::string(command).substr(0, std::string(command).find(' ')) + " ok";
            std::string data;
            ASSERT_TRUE(sim.ReadUntil(kPatience, Contains(ack), data)) << command;
        }
    }
    SimProcess sim({"--fast", "--model", "vyk05", "--state", state});
    ASSERT_TRUE(sim.Connect());
    ASSERT_TRUE(sim.Send("#RS\r\n"));
    std::string data;
    ASSERT_TRUE(sim.ReadUntil(kPatience, Contains("#RSOL,12,16\r\n"), data));
    for (const char* line : {"#RSPR,4,3,5,6553600\r\n", "#RSPR,4,3,261,6553700\r\n",
                             "#RSPR,4,3,517,4291690596\r\n", "#RSPR,3,0,0,0\r\n"}) {
        EXPECT_NE(data.find(line), std::string::npos) << line;
    }
}

// Garbage, an endless line and a half command on a closing port: it keeps answering.
TEST_F(VykSim, BadInputNeverCrashesOrHangsIt) {
    SimProcess sim({"--fast", "--seed", "3"});
    ASSERT_TRUE(sim.Connect());
    std::mt19937 random(42);
    std::string garbage(20000, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    const std::string endless(5000, 'S');
    std::string data;
    for (const std::string& bytes :
         {garbage, "\r\n#" + endless + "\r\n", std::string("#SF 1 , ,,\r\n")}) {
        ASSERT_TRUE(sim.Send(bytes));
        data += sim.ReadFor(0.05);
    }
    ASSERT_TRUE(sim.Send("#RS\r\n"));
    EXPECT_TRUE(sim.ReadUntil(kPatience, Contains("#RSAR,0,360"), data));
    EXPECT_NE(data.find("#ERR line too long"), std::string::npos);
    EXPECT_NE(data.find("#ERR SF bad arguments"), std::string::npos);

    ASSERT_TRUE(sim.Send("#SF 1"));
    sim.Disconnect();
    EXPECT_TRUE(sim.Running());
    ASSERT_TRUE(sim.Connect(false));  // a flush could drop the half command still in transit
    ASSERT_TRUE(sim.Send("\r\n#ST\r\n"));
    data.clear();
    // The half command was finished by the line end after the reconnect: "#SF 1" took effect.
    EXPECT_TRUE(sim.ReadUntil(kPatience, Contains("#ST,1HZ,MOTOR ON"), data));
}

TEST_F(VykSim, HangupMakesTheDeviceVanish) {
    const std::string link = File("scanner");
    const std::string log = File("line.log");
    SimProcess sim({"--link", link, "--log", log, "--hangup-after", "1"});
    ASSERT_TRUE(sim.Connect());
    ASSERT_TRUE(sim.Send("#SF 1"));  // half a command when the line goes
    std::string data;
    EXPECT_FALSE(sim.ReadUntil(
        kPatience, [](const std::string&) { return false; }, data));
    EXPECT_TRUE(sim.LineGone());
    EXPECT_GT(data.size(), 0u);
    EXPECT_EQ(sim.WaitExit(kPatience), 0);
    EXPECT_FALSE(Exists(link));
    const std::string logged = ReadFile(log);
    EXPECT_NE(logged.find("* hangup"), std::string::npos) << logged;
    EXPECT_NE(logged.find("* unfinished: #SF 1"), std::string::npos) << logged;
}

TEST_F(VykSim, StallStopsAllSendingButKeepsTheLine) {
    SimProcess sim({"--stall-after", "0.5", "--duration", "20"});
    ASSERT_TRUE(sim.Connect());
    EXPECT_GT(sim.ReadFor(0.3).size(), 1000u);
    sim.ReadFor(1.0);  // past the stall, and what was under way drained
    ASSERT_TRUE(sim.Send("#RS\r\n"));
    EXPECT_EQ(sim.ReadFor(0.5), "");
    EXPECT_FALSE(sim.LineGone());
    EXPECT_TRUE(sim.Running());
}

// One side of a pair handed in with --device: the scanner talks there, the test on the other.
TEST_F(VykSim, TalksOverAGivenDevice) {
    int master = -1, slave = -1;
    char name[256];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    close(slave);
    SimProcess sim({"--device", name, "--fast", "--hangup-after", "2"});
    EXPECT_EQ(sim.Path(), name);
    termios tio{};
    tcgetattr(master, &tio);
    cfmakeraw(&tio);
    tcsetattr(master, TCSANOW, &tio);
    ASSERT_EQ(write(master, "#RS\r\n", 5), 5);
    std::string data;
    char buffer[4096];
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((data.find("#RSAR,0,360") == std::string::npos || data.size() < 20000) &&
           std::chrono::steady_clock::now() < end) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            data.append(buffer, static_cast<size_t>(n));
        }
    }
    EXPECT_NE(data.find("#RSDIS,100,3000"), std::string::npos);
    EXPECT_GE(Turns(Decode(data)).size(), 1u);
    EXPECT_EQ(sim.WaitExit(kPatience), 0);
    close(master);
}

// The same seed gives the same damaged stream; another seed another one.
TEST_F(VykSim, FaultsAreReproducibleWithTheSeed) {
    auto capture = [](const char* seed) {
        SimProcess sim({"--fast", "--corrupt", "0.002", "--garbage", "0.002", "--seed", seed});
        sim.Connect(false);
        std::string data;
        sim.ReadUntil(
            kPatience, [](const std::string& d) { return d.size() >= 30000; }, data);
        return data.substr(0, 30000);
    };
    const std::string first = capture("5");
    ASSERT_EQ(first.size(), 30000u);
    EXPECT_EQ(first, capture("5"));
    EXPECT_NE(first, capture("6"));

    SimProcess clean({"--fast", "--seed", "5"});
    clean.Connect(false);
    std::string data;
    clean.ReadUntil(
        kPatience, [](const std::string& d) { return d.size() >= 30000; }, data);
    const size_t cleanPoints = Decode(data.substr(0, 30000)).size();
    const size_t damagedPoints = Decode(first).size();
    EXPECT_LT(damagedPoints, cleanPoints);
    EXPECT_GT(damagedPoints, cleanPoints * 9 / 10);
}

std::string FirmwareImage() {
    std::string image(1001, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 13);
    return image;
}

TEST_F(VykSim, BootLoaderTakesAnImageThenTheScanRuns) {
    const std::string firmware = File("firmware.bin");
    SimProcess sim({"--fast", "--boot", firmware});
    ASSERT_TRUE(sim.Connect(false));
    const std::string image = FirmwareImage();
    std::string data = Upgrade(sim, image, scanner::kBootFinished);
    EXPECT_NE(data.find(scanner::kBootProgramming), std::string::npos);
    EXPECT_EQ(ReadFile(firmware), image);

    data.clear();
    ASSERT_TRUE(sim.ReadUntil(
        kPatience, [](const std::string& d) { return d.size() > 20000; }, data));
    EXPECT_GE(Turns(Decode(data)).size(), 3u);
}

// The boot loader's messages come through whole, so its verdict on the damaged image is heard.
TEST_F(VykSim, CorruptDamagesTheImageTheBootLoaderTakes) {
    const std::string firmware = File("firmware.bin");
    SimProcess sim({"--fast", "--boot", firmware, "--corrupt", "0.01"});
    ASSERT_TRUE(sim.Connect(false));
    Upgrade(sim, FirmwareImage(), scanner::kBootCheckError);
    std::string data;
    EXPECT_TRUE(sim.ReadUntil(kPatience, Contains(scanner::kBootRequestInfo), data));
    EXPECT_FALSE(std::filesystem::exists(firmware));
}

}  // namespace
