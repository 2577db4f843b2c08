#include "Lasernode.h"

#include <array>
#include <cstring>

#include "PacketLayout.h"
#include "ScannerInterface.h"
#include "Textfields.h"

namespace {

constexpr std::array<uint8_t, 256> MakeBitCounts() {
    std::array<uint8_t, 256> counts{};
    for (int i = 0; i < 256; ++i) {
        counts[i] = static_cast<uint8_t>((i & 1) + counts[i / 2]);
    }
    return counts;
}

constexpr std::array<uint8_t, 256> cbit = MakeBitCounts();

constexpr uint8_t kEndMark = 0x80;
bool IsBlank(uint8_t c) {
    return c == ' ';
}
bool IsDigit(uint8_t c) {
    return c >= '0' && c <= '9';
}

int HexValue(uint8_t c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A status line's fields, with the second one's hex-or-decimal integer text.
class LineReader : public TextFieldReader {
public:
    using TextFieldReader::TextFieldReader;

    // Up to ten characters of a hex-or-decimal integer text; anything invalid reads as 0.
    int32_t ReadInteger() {
        constexpr int kMaxChars = 10;
        char text[kMaxChars];
        int n = 0;
        for (; !AtEnd() && n < kMaxChars; Next()) {
            const uint8_t c = Peek();
            if (HexValue(c) >= 0 || c == 'x' || c == 'X') {
                text[n++] = static_cast<char>(c);
            } else if (!IsBlank(c)) {
                break;
            }
        }
        return ParseInteger(text, n);
    }

private:
    static int32_t ParseInteger(const char* text, int n) {
        int prefix = 0;
        if (n >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
            prefix = 2;
        } else if (n >= 1 && (text[0] == 'x' || text[0] == 'X')) {
            prefix = 1;
        }
        if (prefix > 0) {
            if (n == prefix)
                return 0;
            uint32_t value = 0;
            for (int i = prefix; i < n; ++i) {
                const int digit = text[i] == 'x' || text[i] == 'X' ? -1 : HexValue(text[i]);
                if (digit < 0)
                    return 0;
                value = value * 16 + digit;
            }
            return static_cast<int32_t>(value);
        }
        if (n == 0)
            return 0;
        int64_t value = 0;
        for (int i = 0; i < n; ++i) {
            if (!IsDigit(text[i]))
                return 0;
            value = value * 10 + (text[i] - '0');
        }
        return value > INT32_MAX ? 0 : static_cast<int32_t>(value);
    }
};

}  // namespace

int TLaserDecode::PacketCheck(const uint8_t* bytes, int length) {
    int sum = 0;
    for (int i = 1; i < length; ++i) sum += cbit[bytes[i]];
    return sum & 7;
}

int TLaserDecode::FindPacketEnd(const uint8_t* bytes, int count) {
    for (int i = 0; i < count; ++i) {
        if (bytes[i] & kEndMark)
            return i;
    }
    return count;
}

bool TLaserDecode::DecodePacket3(ScanPoint& point, const uint8_t* b, uint32_t distanceLimit) {
    return PacketCheck(b, 3) == packetlayout::SentCheck(b) &&
           packetlayout::DecodeChecked3(point, b, distanceLimit);
}

bool TLaserDecode::DecodePacket4(ScanPoint& point, const uint8_t* b, int32_t distanceLimit) {
    return PacketCheck(b, 4) == packetlayout::SentCheck(b) &&
           packetlayout::DecodeChecked4(point, b, distanceLimit);
}

bool TLaserDecode::DecodePacket5(ScanPoint& point, const uint8_t* b, uint32_t distanceLimit) {
    return PacketCheck(b, 5) == packetlayout::SentCheck(b) &&
           packetlayout::DecodeChecked5(point, b, distanceLimit);
}

bool TLaserDecode::DecodeStatusLine(ScanPoint& point, const uint8_t* line, int length) {
    constexpr int kMinLength = 9;
    constexpr int kX = 5;
    constexpr int kY = 6;
    if (length < kMinLength || std::memcmp(line, scanner::kStatusLinePrefix, 5) != 0)
        return false;
    const uint8_t x = line[kX];
    const uint8_t y = line[kY];
    if (x != 'F' && x != 'E')
        return false;
    if (!IsDigit(y) && !(y >= 'A' && y <= 'F'))
        return false;
    const int code = (x == 'F' ? 15 : 14) * 16 + HexValue(y);

    const void* comma = std::memchr(line + kX, ',', length - kX);
    if (comma == nullptr)
        return false;
    LineReader reader(line, length,
                      static_cast<int>(static_cast<const uint8_t*>(comma) - line) + 1);
    const auto n1 = static_cast<int32_t>(reader.ReadDecimal());
    reader.SkipPastComma();
    const int32_t n2 = reader.ReadInteger();
    reader.SkipPastComma();
    const auto n3 = static_cast<int32_t>(reader.ReadDecimal());
    reader.SkipPastComma();
    const auto n4 = static_cast<int32_t>(reader.ReadDecimal());

    point.angle = static_cast<int16_t>(code);
    point.distance = n1;
    point.aux3 = n3;
    if (code == scanner::kStatusCodeF4) {
        point.aux1 = n2;
        point.aux2 = n4;
    } else {
        point.aux1 = n4;
        point.aux2 = n2;
    }
    return true;
}

int TLaserDecode::ScanTextLines(ScanPoint* points, int capacity, const uint8_t* bytes, int count,
                                int* linesRead) {
    constexpr int kMaxIgnoredLine = 8;
    if (count < kMinTextSegment)
        return 0;
    int index = 0;
    int accepted = 0;
    while (accepted < capacity) {
        const void* hash = std::memchr(bytes + index, scanner::kCommandStart, count - index);
        if (hash == nullptr)
            return accepted;
        const int start = static_cast<int>(static_cast<const uint8_t*>(hash) - bytes);
        int last = start;
        while (last + 1 < count && bytes[last] != '\r' && bytes[last] != '\n' &&
               bytes[last + 1] != scanner::kCommandStart) {
            ++last;
        }
        index = last + 1;
        const int length = index - start;
        if (length > kMaxIgnoredLine) {
            if (linesRead)
                ++*linesRead;
            accepted += DecodeStatusLine(points[accepted], bytes + start, length);
        }
        if (index >= count)
            return accepted;
    }
    return accepted;
}
