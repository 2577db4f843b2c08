// vyk-decode on ZIP recordings: entries in order, each a buffer of its own, under one header.

#include "ArchiveInput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "DecodeCli.h"
#include "Laserencode.h"
#include "ZipArchive.h"

namespace {

using Bytes = std::vector<uint8_t>;

class ArchiveInput : public ::testing::Test {
protected:
    ArchiveInput() {
        char name[] = "/tmp/vyk-decode-zip-XXXXXX";
        folder_ = mkdtemp(name);
    }
    ~ArchiveInput() override { std::filesystem::remove_all(folder_); }

    std::string Path(const std::string& name) const { return folder_ + "/" + name; }
    void Write(const std::string& name, const Bytes& bytes) const {
        std::ofstream(Path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    Bytes Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    // The recorder's way: each segment file appended to the archive, then removed.
    void Pack(const std::string& archive, const std::vector<std::pair<std::string, Bytes>>& files) {
        for (const auto& [name, bytes] : files) {
            Write(name, bytes);
            std::string error;
            ASSERT_TRUE(record::AppendFileToArchive(Path(archive), Path(name), error)) << error;
            std::filesystem::remove(Path(name));
        }
    }

    struct Output {
        int code;
        std::string out;
        std::string err;
    };
    static Output Decode(const std::vector<std::string>& args) {
        std::ostringstream out, err;
        const int code = decodecli::Run(args, out, err);
        return {code, out.str(), err.str()};
    }
    // The records of a raw file, without the header.
    std::string Records(const Bytes& bytes, const std::vector<std::string>& options = {}) {
        Write("raw.bin", bytes);
        std::vector<std::string> args = options;
        args.push_back(Path("raw.bin"));
        const std::string out = Decode(args).out;
        return out.substr(out.find('\n') + 1);
    }

    std::string folder_;
};

Bytes Packets(int n, int first) {
    Bytes bytes;
    for (int i = 0; i < n; ++i) {
        const auto packet = laserencode::EncodePacket4(first + i, (i * 16) % 5760);
        bytes.insert(bytes.end(), packet.begin(), packet.end());
    }
    return bytes;
}

constexpr char kHeader[] = "laser,angle,distance,aux1,aux2,aux3\n";

TEST_F(ArchiveInput, EachEntryIsItsOwnBufferUnderOneHeader) {
    // A packet cut between two entries is lost, as a replay of either entry loses it.
    Bytes first = Packets(300, 100);
    Bytes second = Packets(200, 1000);
    second.insert(second.begin(), first.end() - 2, first.end());
    first.resize(first.size() - 2);
    const Bytes third = Packets(5, 3000);
    Pack("run.bin", {{"run.000", first}, {"run.001", second}, {"run.002", third}});
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, std::vector<std::string>{"--chunk", "100"}}) {
        std::vector<std::string> args = options;
        args.push_back(Path("run.bin"));
        const Output r = Decode(args);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, kHeader + Records(first, options) + Records(second, options) +
                             Records(third, options));
    }
    const std::string out = Decode({Path("run.bin")}).out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1 + 299 + 200 + 5);
}

TEST_F(ArchiveInput, RecognisedByContentNotByName) {
    const Bytes packets = Packets(50, 200);
    Pack("recording.Zip.bak", {{"run.000", packets}});
    Write("raw.Zip", packets);
    EXPECT_EQ(Decode({Path("recording.Zip.bak")}).out, kHeader + Records(packets));
    EXPECT_EQ(Decode({Path("raw.Zip")}).out, kHeader + Records(packets));
    EXPECT_TRUE(decodecli::IsArchive(Path("recording.Zip.bak")));
    EXPECT_FALSE(decodecli::IsArchive(Path("raw.Zip")));
}

TEST_F(ArchiveInput, ReadsArchivesWrittenByZipAndEmptyOnes) {
    const Bytes a = Packets(70, 300);
    const Bytes b = Packets(30, 900);
    Write("run.000", a);
    Write("run.001", b);
    const std::string zip = "cd " + folder_ + " && zip -q byzip.zip run.000 run.001";
    ASSERT_EQ(std::system(zip.c_str()), 0);
    EXPECT_EQ(Decode({Path("byzip.zip")}).out, kHeader + Records(a) + Records(b));

    Bytes empty = {'P', 'K', 5, 6};
    empty.resize(22);
    Write("empty.zip", empty);
    const Output r = Decode({Path("empty.zip")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, kHeader);
}

uint32_t At(const Bytes& bytes, const char* signature) {
    return static_cast<uint32_t>(std::search(bytes.begin(), bytes.end(), signature, signature + 4) -
                                 bytes.begin());
}

TEST_F(ArchiveInput, MalformedArchivesGiveOneLineAndExitOne) {
    Pack("good.zip", {{"abcd", Packets(3000, 100)}});
    const Bytes good = Read("good.zip");
    const uint32_t local = At(good, "PK\x03\x04");
    const uint32_t central = At(good, "PK\x01\x02");
    const auto patched = [&](uint32_t offset, const void* value, size_t size) {
        Bytes zip = good;
        std::memcpy(zip.data() + local + offset, value, size);
        std::memcpy(zip.data() + central + offset + (offset == 30 ? 16 : 2), value, size);
        return zip;
    };
    const uint32_t smaller = 11999;
    const uint32_t bomb = 0xFFFFFF00u;
    const struct {
        const char* what;
        Bytes bytes;
        const char* problem;
    } cases[] = {
        {"truncated", Bytes(good.begin(), good.begin() + good.size() / 2), "not a ZIP archive"},
        {"declared smaller", patched(22, &smaller, 4), "checksum"},
        {"zip bomb", patched(22, &bomb, 4), "sizes disagree"},
        {"named ../x", patched(30, "../x", 4), "outside"},
    };
    // The folder above is shared with other programs; only a file this test makes counts.
    const bool aboveExisted = std::filesystem::exists(folder_ + "/../x");
    for (const auto& c : cases) {
        Write("bad.zip", c.bytes);
        const Output r = Decode({Path("bad.zip")});
        EXPECT_EQ(r.code, 1) << c.what;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find(Path("bad.zip")), std::string::npos) << c.what;
        EXPECT_NE(r.err.find(c.problem), std::string::npos) << c.what << ": " << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(Path("x")));
    EXPECT_EQ(std::filesystem::exists(folder_ + "/../x"), aboveExisted);
}

}  // namespace
