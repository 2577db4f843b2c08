#include "DecodeCli.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include <unistd.h>

#include "Laserencode.h"

namespace {

using decodecli::Run;

class TempFile {
public:
    explicit TempFile(const std::vector<uint8_t>& bytes) {
        char name[] = "/tmp/vyk-decode-XXXXXX";
        const int fd = mkstemp(name);
        path_ = name;
        close(fd);
        std::ofstream(path_, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    ~TempFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result RunWith(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = Run(args, out, err);
    return {code, out.str(), err.str()};
}

std::vector<uint8_t> Stream() {
    std::vector<uint8_t> bytes;
    const auto add = [&](const auto& packet) {
        bytes.insert(bytes.end(), packet.begin(), packet.end());
    };
    add(laserencode::EncodePacket4(7, 5768));
    add(laserencode::EncodePacket4(1500, 0));
    add(laserencode::EncodePacket4(3000, 2880));
    add(laserencode::EncodePacket3(159, 2));
    add(laserencode::EncodePacket5(9, 0x8000));
    const std::string line = "#CARTF4,12,0x1A,7,9\r\n";
    bytes.insert(bytes.end(), line.begin(), line.end());
    add(laserencode::EncodePacket3(20));
    return bytes;
}

TEST(DecodeCli, PrintsOneLinePerRecord) {
    const TempFile file(Stream());
    const Result r = RunWith({file.path()});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "laser,angle,distance,aux1,aux2,aux3\n"
              "0,5768,7,0,0,0\n"
              "0,0,1500,0,0,0\n"
              "0,2880,3000,0,0,0\n"
              "2,7,159,0,0,0\n"
              "0,-32768,9,0,0,0\n"
              "0,244,12,26,9,7\n"
              "0,7,20,0,0,0\n");
}

TEST(DecodeCli, LimitAppliesPerPacketKind) {
    const TempFile file(Stream());
    const Result r = RunWith({"--limit", "1500", file.path()});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out,
              "laser,angle,distance,aux1,aux2,aux3\n"
              "0,5768,7,0,0,0\n"
              "2,7,159,0,0,0\n"
              "0,-32768,9,0,0,0\n"
              "0,244,12,26,9,7\n"
              "0,7,20,0,0,0\n");
}

TEST(DecodeCli, ChunksLosePacketsCutInTwo) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 10; ++i) {
        const auto packet = laserencode::EncodePacket4(100 + i, i);
        bytes.insert(bytes.end(), packet.begin(), packet.end());
    }
    const TempFile file(bytes);
    const auto lines = [](const std::string& out) {
        return std::count(out.begin(), out.end(), '\n') - 1;
    };
    EXPECT_EQ(lines(RunWith({file.path()}).out), 10);
    EXPECT_EQ(lines(RunWith({"--chunk", "4", file.path()}).out), 10);
    // Six-byte pieces cut every packet that straddles a boundary.
    const Result cut = RunWith({"--chunk", "6", file.path()});
    EXPECT_EQ(cut.code, 0);
    EXPECT_LT(lines(cut.out), 10);
    EXPECT_EQ(lines(RunWith({"--chunk", "1", file.path()}).out), 0);
}

// Standard input made a pipe for the test's life, written by a thread of its own.
class StdinPipe {
public:
    explicit StdinPipe(std::vector<uint8_t> bytes) : saved_(dup(STDIN_FILENO)) {
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        dup2(fds[0], STDIN_FILENO);
        close(fds[0]);
        writer_ = std::thread([fd = fds[1], bytes = std::move(bytes)] {
            size_t done = 0;
            while (done < bytes.size()) {
                const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
                if (put <= 0)
                    break;
                done += static_cast<size_t>(put);
            }
            close(fd);
        });
    }
    ~StdinPipe() {
        // Whatever the decoder left unread must not keep the writer waiting.
        dup2(saved_, STDIN_FILENO);
        close(saved_);
        writer_.join();
        clearerr(stdin);
    }

private:
    int saved_;
    std::thread writer_;
};

std::vector<uint8_t> Packets(int n) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < n; ++i) {
        const auto packet = laserencode::EncodePacket4(100 + i % 3000, i % 5760);
        bytes.insert(bytes.end(), packet.begin(), packet.end());
    }
    return bytes;
}

// The input was opened twice (once to tell an archive), so a pipe lost its first 4096 bytes
// and the run still ended with 0.
TEST(DecodeCli, APipeIsReadOnceFromItsFirstByte) {
    const std::vector<uint8_t> bytes = Packets(5000);
    const TempFile file(bytes);
    const std::string want = RunWith({file.path()}).out;
    for (const char* name : {"/dev/stdin", "-"}) {
        const StdinPipe input(bytes);
        const Result r = RunWith({name});
        EXPECT_EQ(r.code, 0) << name << ": " << r.err;
        EXPECT_TRUE(r.out == want) << name << ": " << std::count(r.out.begin(), r.out.end(), '\n')
                                   << " lines of " << std::count(want.begin(), want.end(), '\n');
    }
}

TEST(DecodeCli, AnArchiveOnAPipeIsRefusedWithItsReason) {
    const StdinPipe input({'P', 'K', 3, 4, 0, 0, 0, 0});
    const Result r = RunWith({"-"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("archive"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("file"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

TEST(DecodeCli, EmptyFilePrintsTheHeaderOnly) {
    const TempFile file({});
    const Result r = RunWith({file.path()});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "laser,angle,distance,aux1,aux2,aux3\n");
}

TEST(DecodeCli, MissingFileNamesIt) {
    const Result r = RunWith({"/nonexistent/recording.bin"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("/nonexistent/recording.bin"), std::string::npos);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

TEST(DecodeCli, UnreadableInputsGiveAMessageAndExitOne) {
    const Result directory = RunWith({"/tmp"});
    EXPECT_EQ(directory.code, 1);
    EXPECT_EQ(directory.out, "");
    EXPECT_NE(directory.err.find("/tmp"), std::string::npos);
    EXPECT_NE(directory.err.find(std::strerror(EISDIR)), std::string::npos);
}

TEST(DecodeCli, HelpGoesToStandardOutput) {
    for (const auto& args : std::vector<std::vector<std::string>>{{"--help"}, {"x", "--help"}}) {
        const Result r = RunWith(args);
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out.rfind("usage: vyk-decode", 0), 0u);
        EXPECT_NE(r.out.find("--chunk"), std::string::npos);
    }
}

TEST(DecodeCli, AFullDiskIsReported) {
    const TempFile file(Stream());
    for (const auto& args : std::vector<std::vector<std::string>>{{file.path()}, {"--help"}}) {
        std::ofstream full("/dev/full", std::ios::binary);
        ASSERT_TRUE(full.is_open());
        std::ostringstream err;
        EXPECT_EQ(decodecli::Run(args, full, err), 1) << args[0];
        EXPECT_NE(err.str().find(std::strerror(ENOSPC)), std::string::npos) << err.str();
    }
}

TEST(DecodeCli, ProgressGoesToStderrAndIsClearedAtTheEnd) {
    const TempFile file(Stream());
    std::ostringstream out, err;
    EXPECT_EQ(decodecli::Run({file.path()}, out, err, true), 0);
    EXPECT_EQ(out.str(), RunWith({file.path()}).out);
    EXPECT_NE(err.str().find("100%"), std::string::npos);
    EXPECT_EQ(err.str().substr(err.str().size() - 4), "\r\033[K");
}

TEST(DecodeCli, BadArgumentsGiveUsage) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--limit"},
        {"--limit", "abc", "f"},
        {"--limit", "2147483648", "f"},
        {"--limit", "12x", "f"},
        {"--chunk", "0", "f"},
        {"--chunk", "-3", "f"},
        {"--bogus", "f"},
        {"a", "b"},
    };
    for (const auto& args : cases) {
        const Result r = RunWith(args);
        EXPECT_EQ(r.code, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(r.err.rfind("usage: vyk-decode", 0), 0u);
    }
}

TEST(DecodeCli, AcceptsTheWholeSignedRange) {
    const TempFile file(Stream());
    EXPECT_EQ(RunWith({"--limit", "-2147483648", file.path()}).code, 0);
    EXPECT_EQ(RunWith({"--limit", "2147483647", file.path()}).code, 0);
}

}  // namespace
