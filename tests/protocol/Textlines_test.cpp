#include "Textlines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using LineEnd = TTextLineAssembler::LineEnd;

struct Emitted {
    std::string text;
    LineEnd end;
    bool operator==(const Emitted& other) const { return text == other.text && end == other.end; }
};

std::ostream& operator<<(std::ostream& out, const Emitted& e) {
    return out << '"' << e.text << (e.end == LineEnd::Full ? "\" full" : "\" ended");
}

// Feeds each chunk in turn to one assembler and collects what it emits.
std::vector<Emitted> Assemble(TTextLineAssembler& assembler,
                              const std::vector<std::string>& chunks) {
    std::vector<Emitted> lines;
    for (const std::string& chunk : chunks) {
        assembler.AssembleTextLines(reinterpret_cast<const uint8_t*>(chunk.data()),
                                    static_cast<int>(chunk.size()),
                                    [&](const char* line, int length, LineEnd end) {
                                        EXPECT_EQ(line[length], '\0');
                                        lines.push_back({std::string(line, length), end});
                                    });
    }
    return lines;
}

std::vector<Emitted> Assemble(const std::vector<std::string>& chunks) {
    TTextLineAssembler assembler;
    return Assemble(assembler, chunks);
}

const std::string kPacket("\x70\x01\x9f", 3);  // a 3-byte measurement packet

TEST(TextLines, OnlyPrintableLinesOfFiveCharactersAndMoreReachTheLog) {
    const std::string a100(100, 'a');
    const struct {
        const char* what;
        std::vector<std::string> chunks;
        std::vector<Emitted> lines;
    } cases[] = {
        {"4 characters", {"#ABC\r"}, {}},
        {"5 characters", {"#ABCD\r"}, {{"#ABCD", LineEnd::Ended}}},
        {"LF alone ends a line", {"#RSMS,3\n"}, {{"#RSMS,3", LineEnd::Ended}}},
        {"CR LF gives one line",
         {"hello\r\nworld\r\n"},
         {{"hello", LineEnd::Ended}, {"world", LineEnd::Ended}}},
        {"150 characters",
         {std::string(150, 'x') + "\r"},
         {{std::string(100, 'x'), LineEnd::Full}, {std::string(50, 'x'), LineEnd::Ended}}},
        {"exactly 100 then CR", {a100 + "\r"}, {{a100, LineEnd::Full}}},
        {"a line across three chunks",
         {"#RSD", "IS,100,", "3000\r\n"},
         {{"#RSDIS,100,3000", LineEnd::Ended}}},
        {"a packet between two halves of a reply",
         {"#RSDIS,10" + kPacket + "0,3000\r\n"},
         {{"0,3000", LineEnd::Ended}}},
        {"the packet in its own chunk",
         {"#RSDIS,10", kPacket, "0,3000\r\n"},
         {{"0,3000", LineEnd::Ended}}},
        {"DEL is printable, 128 is not",
         {"abc\x7f"
          "defg\r",
          "abcd\x80"
          "efghi\r"},
         {{"abc\x7f"
           "defg",
           LineEnd::Ended},
          {"efghi", LineEnd::Ended}}},
        {"a control byte discards the line",
         {"#RSMS\t35\r", std::string("#RS\0MS,35\r", 10)},
         {{"MS,35", LineEnd::Ended}}},
        {"a line without its end waits", {"#RSMS,35"}, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(Assemble(c.chunks), c.lines) << c.what;
}

TEST(TextLines, ThePartialLineOutlivesEachCall) {
    TTextLineAssembler assembler;
    EXPECT_TRUE(Assemble(assembler, {"#RSAR,", "0,36"}).empty());
    EXPECT_EQ(assembler.PendingLength(), 10);
    EXPECT_EQ(Assemble(assembler, {"0\r"}),
              (std::vector<Emitted>{{"#RSAR,0,360", LineEnd::Ended}}));
    EXPECT_EQ(assembler.PendingLength(), 0);
}

}  // namespace
