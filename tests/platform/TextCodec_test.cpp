#include "TextCodec.h"

#include <gtest/gtest.h>

TEST(TextCodecTest, ChineseTextRoundTripsThroughCodePage936) {
    const QByteArray gbk("\xD6\xD0\xCE\xC4 ok", 7);
    EXPECT_EQ(ToGbk(QString::fromUtf8("中文 ok")), gbk);
    EXPECT_EQ(FromGbk(gbk), QString::fromUtf8("中文 ok"));
    EXPECT_EQ(FromGbk(ToGbk("打开串口申请内存失败!")), "打开串口申请内存失败!");
}
