#include "FileHistory.h"

#include <gtest/gtest.h>

namespace {

QString Path(int i) {
    return QStringLiteral("/fw/image%1.bin").arg(i);
}

TEST(FileHistory, NewFilesGoOnTopAndTheListKeepsTen) {
    TFileHistory history;
    for (int i = 1; i <= 10; ++i) EXPECT_TRUE(history.AddHistoryFile(Path(i)));
    EXPECT_EQ(history.Entries().size(), 10);
    EXPECT_TRUE(history.AddHistoryFile(Path(11)));
    EXPECT_EQ(history.Entries().size(), 10);
    EXPECT_EQ(history.Entries().first(), Path(11));
    EXPECT_FALSE(history.Entries().contains(Path(1))) << "the oldest goes";
}

TEST(FileHistory, KnownFilesMoveToTheTopIgnoringCase) {
    TFileHistory history;
    for (int i = 1; i <= 3; ++i) history.AddHistoryFile(Path(i));
    const QStringList before = history.Entries();
    EXPECT_FALSE(history.AddHistoryFile(Path(3))) << "same file twice: menu untouched";
    EXPECT_FALSE(history.AddHistoryFile(Path(3).toUpper()));
    EXPECT_EQ(history.Entries(), before);

    EXPECT_TRUE(history.AddHistoryFile(Path(1).toUpper()));
    EXPECT_EQ(history.Entries(), QStringList({Path(1), Path(3), Path(2)}));

    EXPECT_TRUE(history.MoveToTop(Path(2)));
    EXPECT_FALSE(history.MoveToTop(Path(2)));
    EXPECT_FALSE(history.MoveToTop(Path(9)));
    EXPECT_EQ(history.Entries(), QStringList({Path(2), Path(1), Path(3)}));
}

TEST(FileHistory, MenuKeysRunFromDigitsToLetters) {
    const struct {
        int index;
        QString caption;
    } cases[] = {
        {0, QStringLiteral("&0   /a.bin")},
        {9, QStringLiteral("&9   /a.bin")},
        {10, QStringLiteral("&A   /a.bin")},
        {11, QStringLiteral("&B   /a.bin")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TFileHistory::MenuCaption(c.index, QStringLiteral("/a.bin")), c.caption);
    EXPECT_EQ(TFileHistory::MenuCaption(0, QStringLiteral("/R&D/a.bin")),
              QStringLiteral("&0   /R&&D/a.bin"));
}

// Entries read from the settings are not cut to ten; a new file then replaces the last.
TEST(FileHistory, AppendedEntriesAreKept) {
    TFileHistory history;
    for (int i = 0; i < 12; ++i) history.Append(Path(i));
    history.AddHistoryFile(Path(99));
    EXPECT_EQ(history.Entries().size(), 12);
    EXPECT_EQ(history.Entries().first(), Path(99));
    EXPECT_EQ(history.Entries().last(), Path(10));
}

}  // namespace
