#include "Decodeexplain.h"

#include <bitset>

#include "Lasernode.h"
#include "PacketLayout.h"

namespace decodetool {

namespace {

constexpr int kMinText3 = 8;
constexpr int kMinText4 = 11;

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

// The bits of a byte from high down to low, as 0 and 1.
QString Bits(uint8_t byte, int high, int low) {
    QString text;
    for (int bit = high; bit >= low; --bit) text += QChar(u'0' + ((byte >> bit) & 1));
    return text;
}

const char* const kHeader3[] = {
    "6.2.2.1 每个距离测试数据包有3个字节(依次标号为A，B，C)，前面2个字节高位为0，最 "
    "后一个字节高位为1，标示此数据包的结束。",
    "每个字节分别有8位，分别对应7,6，… 1,0。每个数据包中：A7，B7为0，C7为1。有效数据共21位。",
    "6.2.2.2 A6，A5,A4校验位，具体算法见校验算法。每个数据包只有 3*7 = 21位有效数据，",
    "A6，A5,A4校验位，A3为0，A2,A1为激光器编号(0~2)，VXR-10始终为0。A0， "
    "B6,...B0,C6...C0为距离，范围0~32767cm。",
    "",
};

const char* const kHeader4[] = {
    "10.1.2.1每个距离测试数据包有4个字节(依次标号为A，B，C，D)，前面ABC字节高位为0，D字节高位为1，",
    "A6,A5,A4校验位，A3，A2,A1,A0，B6,...B0,C6为距离，共12位，范围0~4000cm。",
    "C5...C0,D6,...D0共13位，为角度值，范围0~5759，角度精度为十六分之一度。",
    "",
};

// The listing after the bit-count table.
constexpr char kReferenceFunctions[] = R"(};
//---------------------------------------------------------------------------
unsigned char GetCrcPackage3Byte(unsigned char *buf)
{
    return (cbit[buf[1]] + cbit[buf[2]]) & 0x07;
}
//---------------------------------------------------------------------------
unsigned char GetCrcPackage4Byte(unsigned char *buf)
{
    return (cbit[buf[1]] + cbit[buf[2]] + cbit[buf[3]]) & 0x07;
}
//buf为一个数据包指针，依次存放A，B，C三个字节
//返回距离值，校验不对返回-1
int DecodeLaseData(unsigned char *buf)
{
    if (GetCrcPackage3Byte(buf) != (buf[0] >> 4))  //(buf[0]>>4)&0x07
        return -1;
    //计算距离,A0,B6..B0,C6...C0
    return ((buf[0] & 0x1) << 14) + ((buf[1] & 0x7F) << 7) + (buf[2] & 0x7F);
}
//buf为一个数据包指针，依次存放A，B，C,D四个字节
//返回距离值，校验不对返回-1
typedef struct
{
    int distance;
    int Angle;
} VYKNode;

bool DecodeVYK10(VYKNode *nodelist, unsigned char *buf)
{
    unsigned char crcdata = GetCrcPackage4Byte(buf);
    unsigned char crcdata1 = (buf[0] >> 4) & 0x07;
    if (crcdata != crcdata1)
        return false;
    //计算距离
    unsigned int uitemp = buf[0] & 0x0F;
    uitemp <<= 7;
    uitemp += buf[1] & 0x7F;
    uitemp <<= 1;
    if (buf[2] & 0x40)
        uitemp += 1;
    nodelist->distance = uitemp;
    //计算角度
    uitemp = buf[2] & 0x3F;
    uitemp <<= 7;
    uitemp += buf[3] & 0x7F;
    nodelist->Angle = uitemp;
    return true;
}
)";

}  // namespace

TypedBytes ReadTypedBytes(const QString& text, int count, std::vector<uint8_t>& bytes) {
    if (text.size() < (count == 3 ? kMinText3 : kMinText4))
        return TypedBytes::TooShort;
    bytes.clear();
    for (int i = 0; i < count; ++i) {
        const int high = HexDigit(text[3 * i]);
        const int low = HexDigit(text[3 * i + 1]);
        if (high < 0 || low < 0)
            return TypedBytes::Stopped;
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return TypedBytes::Ok;
}

QString TooShortMessage(int count) {
    return QString::fromUtf8(count == 3 ? "三个字节用空格隔开" : "四个字节用空格隔开");
}

QStringList ExplainPacket(const std::vector<uint8_t>& bytes) {
    const int n = static_cast<int>(bytes.size());
    const uint8_t* b = bytes.data();
    QStringList lines;
    if (n == 3) {
        for (const char* line : kHeader3) lines << QString::fromUtf8(line);
        lines << QString::asprintf("A B C分别为:%02X,%02X,%02X", b[0], b[1], b[2]);
    } else {
        for (const char* line : kHeader4) lines << QString::fromUtf8(line);
        lines << QString::asprintf("A B C D 分别为:%02X,%02X,%02X,%02X", b[0], b[1], b[2], b[3]);
    }
    bool framed = true;
    for (int i = 0; i < n; ++i) {
        const QChar name(u'A' + i);
        lines << name + QStringLiteral("7...") + name + QStringLiteral("0:") + Bits(b[i], 7, 0);
        framed = framed && ((b[i] & 0x80) != 0) == (i == n - 1);
    }
    if (!framed) {
        lines << QString::fromUtf8(n == 3 ? "A7,B7必须为0，C7必须为1"
                                          : "A7,B7,C7必须为0，D7必须为1");
        return lines;
    }
    const int sent = packetlayout::SentCheck(b);
    const int computed = TLaserDecode::PacketCheck(b, n);
    lines << QString::fromUtf8("原始校验 A6A5A4:%1 = %2").arg(Bits(b[0], 6, 4)).arg(sent);
    if (computed != sent) {
        lines << QString::fromUtf8("计算校验:%1 与原始校验不一致").arg(computed);
        return lines;
    }
    lines << QString::fromUtf8("计算校验:%1 与原始校验一致").arg(computed);
    ScanPoint point{};
    if (n == 3) {
        TLaserDecode::DecodePacket3(point, b, UINT32_MAX);
        lines << QString::fromUtf8("距离A0B6..B0C6..C0:") + Bits(b[0], 0, 0) + Bits(b[1], 6, 0) +
                     Bits(b[2], 6, 0);
        lines << QString::fromUtf8("解析距离:%1").arg(point.distance);
    } else {
        TLaserDecode::DecodePacket4(point, b, INT32_MAX);
        lines << QString::fromUtf8("距离A3，A2,A1,A0，B6,...B0,C6:") + Bits(b[0], 3, 0) +
                     Bits(b[1], 6, 0) + Bits(b[2], 6, 6);
        lines << QString::fromUtf8("角度 C5...C0,D6,...D0:") + Bits(b[2], 5, 0) + Bits(b[3], 6, 0);
        lines << QString::fromUtf8("解析距离:%1 角度 %2").arg(point.distance).arg(point.angle);
    }
    return lines;
}

QString ReferenceText() {
    QString text = QString::fromUtf8("//校验函数\nconst unsigned char cbit[256] = {\n");
    for (int row = 0; row < 16; ++row) {
        for (int column = 0; column < 16; ++column) {
            text += QString::number(std::bitset<8>(row * 16 + column).count());
            if (row < 15 || column < 15)
                text += ',';
        }
        text += '\n';
    }
    return text + QString::fromUtf8(kReferenceFunctions);
}

}  // namespace decodetool
