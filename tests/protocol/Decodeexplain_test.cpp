#include "Decodeexplain.h"

#include <gtest/gtest.h>

// Readable failures.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

using decodetool::TypedBytes;

QString U(const char* text) {
    return QString::fromUtf8(text);
}

QStringList Explain(const char* typed, int count) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(decodetool::ReadTypedBytes(typed, count, bytes), TypedBytes::Ok) << typed;
    return decodetool::ExplainPacket(bytes);
}

TEST(DecodeExplain, TheDefaultThreeBytesLineByLine) {
    const QStringList expected = {
        U("6.2.2.1 每个距离测试数据包有3个字节(依次标号为A，B，C)，前面2个字节高位为0，最 "
          "后一个字节高位为1，标示此数据包的结束。"),
        U("每个字节分别有8位，分别对应7,6，… "
          "1,0。每个数据包中：A7，B7为0，C7为1。有效数据共21位。"),
        U("6.2.2.2 A6，A5,A4校验位，具体算法见校验算法。每个数据包只有 3*7 = 21位有效数据，"),
        U("A6，A5,A4校验位，A3为0，A2,A1为激光器编号(0~2)，VXR-10始终为0。A0， "
          "B6,...B0,C6...C0为距离，范围0~32767cm。"),
        "",
        U("A B C分别为:70,01,9F"),
        "A7...A0:01110000",
        "B7...B0:00000001",
        "C7...C0:10011111",
        U("原始校验 A6A5A4:111 = 7"),
        U("计算校验:7 与原始校验一致"),
        U("距离A0B6..B0C6..C0:000000010011111"),
        U("解析距离:159"),
    };
    EXPECT_EQ(Explain("70 01 9F", 3), expected);
}

TEST(DecodeExplain, TheDefaultFourBytesLineByLine) {
    const QStringList expected = {
        U("10.1.2.1每个距离测试数据包有4个字节(依次标号为A，B，C，D)"
          "，前面ABC字节高位为0，D字节高位为1，"),
        U("A6,A5,A4校验位，A3，A2,A1,A0，B6,...B0,C6为距离，共12位，范围0~4000cm。"),
        U("C5...C0,D6,...D0共13位，为角度值，范围0~5759，角度精度为十六分之一度。"),
        "",
        U("A B C D 分别为:30,09,00,80"),
        "A7...A0:00110000",
        "B7...B0:00001001",
        "C7...C0:00000000",
        "D7...D0:10000000",
        U("原始校验 A6A5A4:011 = 3"),
        U("计算校验:3 与原始校验一致"),
        U("距离A3，A2,A1,A0，B6,...B0,C6:000000010010"),
        U("角度 C5...C0,D6,...D0:0000000000000"),
        U("解析距离:18 角度 0"),
    };
    EXPECT_EQ(Explain("30 09 00 80", 4), expected);
}

TEST(DecodeExplain, EachPacketIsExplainedUpToWhereItFails) {
    const struct {
        const char* typed;
        int count;
        QStringList tail;  // the lines after the bit lines
    } cases[] = {
        {"13 74 16 C0",
         4,
         {U("原始校验 A6A5A4:001 = 1"), U("计算校验:1 与原始校验一致"),
          U("距离A3，A2,A1,A0，B6,...B0,C6:001111101000"), U("角度 C5...C0,D6,...D0:0101101000000"),
          U("解析距离:1000 角度 2880")}},
        {"70 01 1F", 3, {U("A7,B7必须为0，C7必须为1")}},
        {"F0 01 9F", 3, {U("A7,B7必须为0，C7必须为1")}},
        {"30 09 80 80", 4, {U("A7,B7,C7必须为0，D7必须为1")}},
        {"30 09 00 00", 4, {U("A7,B7,C7必须为0，D7必须为1")}},
        {"70 01 9E", 3, {U("原始校验 A6A5A4:111 = 7"), U("计算校验:6 与原始校验不一致")}},
        {"62 09 D2",
         3,
         {U("原始校验 A6A5A4:110 = 6"), U("计算校验:6 与原始校验一致"),
          U("距离A0B6..B0C6..C0:000010011010010"), U("解析距离:1234")}},
        {"70-01-9F",
         3,
         {U("原始校验 A6A5A4:111 = 7"), U("计算校验:7 与原始校验一致"),
          U("距离A0B6..B0C6..C0:000000010011111"), U("解析距离:159")}},
        {"70 01 9f",
         3,
         {U("原始校验 A6A5A4:111 = 7"), U("计算校验:7 与原始校验一致"),
          U("距离A0B6..B0C6..C0:000000010011111"), U("解析距离:159")}},
    };
    for (const auto& c : cases) {
        const QStringList lines = Explain(c.typed, c.count);
        const int header = c.count == 3 ? 6 : 5;
        EXPECT_EQ(lines.mid(header + c.count), c.tail) << c.typed;
    }
    EXPECT_EQ(Explain("70 01 9f", 3)[5], U("A B C分别为:70,01,9F")) << "shown in upper case";
}

TEST(DecodeExplain, TypedBytesThatCannotBeRead) {
    const struct {
        const char* typed;
        int count;
        TypedBytes result;
    } cases[] = {
        {" 7 01 9F", 3, TypedBytes::Stopped},  // a one-digit byte
        {"70 01 9G", 3, TypedBytes::Stopped},    {"70 0  9F", 3, TypedBytes::Stopped},
        {"70 01 9", 3, TypedBytes::TooShort},  // seven characters
        {"", 3, TypedBytes::TooShort},           {"30 09 00 8", 4, TypedBytes::TooShort},
        {"30 09 00 8x", 4, TypedBytes::Stopped}, {"70 01 9F trailing text", 3, TypedBytes::Ok},
        {"30,09;00|80", 4, TypedBytes::Ok},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes;
        EXPECT_EQ(decodetool::ReadTypedBytes(c.typed, c.count, bytes), c.result) << c.typed;
    }
    EXPECT_EQ(decodetool::TooShortMessage(3), U("三个字节用空格隔开"));
    EXPECT_EQ(decodetool::TooShortMessage(4), U("四个字节用空格隔开"));
}

TEST(DecodeExplain, TheReferenceListsTheFunctionsInOrder) {
    const QString text = decodetool::ReferenceText();
    const char* const order[] = {
        "//校验函数",
        "const unsigned char cbit[256] = {\n0,1,1,2,1,2,2,3,1,2,2,3,2,3,3,4,\n",
        "\n4,5,5,6,5,6,6,7,5,6,6,7,6,7,7,8\n};",
        "GetCrcPackage3Byte(unsigned char *buf)",
        "(cbit[buf[1]] + cbit[buf[2]]) & 0x07",
        "GetCrcPackage4Byte(unsigned char *buf)",
        "(cbit[buf[1]] + cbit[buf[2]] + cbit[buf[3]]) & 0x07",
        "//buf为一个数据包指针，依次存放A，B，C三个字节",
        "//返回距离值，校验不对返回-1",
        "DecodeLaseData(unsigned char *buf)",
        "(buf[0]>>4)&0x07",
        "//计算距离,A0,B6..B0,C6...C0",
        "((buf[0] & 0x1) << 14) + ((buf[1] & 0x7F) << 7) + (buf[2] & 0x7F)",
        "//buf为一个数据包指针，依次存放A，B，C,D四个字节",
        "VYKNode;",
        "DecodeVYK10(VYKNode *nodelist, unsigned char *buf)",
        "crcdata1 = (buf[0] >> 4) & 0x07",
        "//计算距离",
        "if (buf[2] & 0x40)",
        "nodelist->distance = uitemp;",
        "//计算角度",
        "uitemp = buf[2] & 0x3F;",
        "nodelist->Angle = uitemp;",
    };
    qsizetype at = 0;
    for (const char* piece : order) {
        const qsizetype found = text.indexOf(U(piece), at);
        EXPECT_GE(found, 0) << piece;
        if (found >= 0)
            at = found;
    }
    EXPECT_EQ(text.count('\n') > 60, true);
    EXPECT_LT(text.toUtf8().size(), 4000);
}

}  // namespace
