#include "ReceivedText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

QStringList Lines(const std::string& bytes) {
    return ReceivedTextLines(reinterpret_cast<const uint8_t*>(bytes.data()),
                             static_cast<int>(bytes.size()));
}

TEST(ReceivedText, LinesOfAPackage) {
    const struct {
        const char* name;
        std::string bytes;
        QStringList lines;
    } cases[] = {
        {"a single character continues into the next line", "OK\r\nX\r\nYZ", {"OK", "XYZ"}},
        {"boot loader message", "#BOOTIN\r\n", {"#BOOTIN"}},
        {"empty lines are not shown", "\r\n\r\nAB\n\n", {"AB"}},
        {"a short rest is dropped", "AB\r\nC", {"AB"}},
        {"a rest of two is shown", "AB\r\nCD", {"AB", "CD"}},
        {"bytes outside printable ASCII are blanks",
         std::string("a\xB2\x01\x7F"
                     "b",
                     5),
         {"a   b"}},
        {"a zero byte is a blank too", std::string("x\0y", 3), {"x y"}},
        {"nothing", "", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(Lines(c.bytes), c.lines) << c.name;
}

TEST(ReceivedText, LongLinesAreCutAt101Characters) {
    std::string bytes;
    for (int i = 0; i < 250; ++i) bytes += static_cast<char>('A' + i % 26);
    const QStringList lines = Lines(bytes);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].size(), 101);
    EXPECT_EQ(lines[1].size(), 101);
    EXPECT_EQ(lines[2].size(), 48);
    EXPECT_EQ(lines.join(QString()).toStdString(), bytes);
}

}  // namespace
