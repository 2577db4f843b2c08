#include "TextCodec.h"

#include <gtest/gtest.h>

TEST(TextCodecTest, ChineseTextRoundTripsThroughCodePage936) {
    const QByteArray gbk("\xD6\xD0\xCE\xC4 ok", 7);
    EXPECT_EQ(ToGbk(QString::fromUtf8("中文 ok")), gbk);
    EXPECT_EQ(FromGbk(gbk), QString::fromUtf8("中文 ok"));
    EXPECT_EQ(FromGbk(ToGbk("打开串口申请内存失败!")), "打开串口申请内存失败!");
}

// Files for people to read follow the locale; a locale that cannot carry Chinese gets UTF-8.
TEST(TextCodecTest, TextForPeopleIsInTheLocalesEncoding) {
    const QString text = QString::fromUtf8("更新历史 ok");
    const struct {
        const char* codeset;
        QByteArray expected;
    } cases[] = {
        {"UTF-8", text.toUtf8()},
        {"utf8", text.toUtf8()},
        {"ANSI_X3.4-1968", text.toUtf8()},
        {"", text.toUtf8()},
        {"GBK", ToGbk(text)},
        {"GB18030", ToGbk(text)},
        {"NO-SUCH-CODESET", text.toUtf8()},
    };
    for (const auto& c : cases) EXPECT_EQ(ToTextEncoding(text, c.codeset), c.expected) << c.codeset;
}
