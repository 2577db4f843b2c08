#include "Lasernode.h"

#include <array>
#include <cstring>

#include "ScannerInterface.h"

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

bool IsBlank(uint8_t c) { return c == ' '; }
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

int HexValue(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads through a status line without ever passing its end.
class LineReader {
public:
    LineReader(const uint8_t* line, int length, int start) : line_(line), length_(length), pos_(start) {}

    // Unsigned decimal: digits accumulate, blanks are skipped, anything else ends it.
    int32_t ReadDecimal() {
        uint32_t value = 0;
        for (; pos_ < length_; ++pos_) {
            const uint8_t c = line_[pos_];
            if (IsDigit(c)) {
                value = value * 10 + (c - '0');
            } else if (!IsBlank(c)) {
                break;
            }
        }
        return static_cast<int32_t>(value);
    }

    // Up to ten characters of a hex-or-decimal integer text; anything invalid reads as 0.
    int32_t ReadInteger() {
        constexpr int kMaxChars = 10;
        char text[kMaxChars];
        int n = 0;
        for (; pos_ < length_ && n < kMaxChars; ++pos_) {
            const uint8_t c = line_[pos_];
            if (HexValue(c) >= 0 || c == 'x' || c == 'X') {
                text[n++] = static_cast<char>(c);
            } else if (!IsBlank(c)) {
                break;
            }
        }
        return ParseInteger(text, n);
    }

    void SkipPastComma() {
        while (pos_ < length_ && line_[pos_] != ',') ++pos_;
        if (pos_ < length_) ++pos_;
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
            if (n == prefix) return 0;
            uint32_t value = 0;
            for (int i = prefix; i < n; ++i) {
                const int digit = text[i] == 'x' || text[i] == 'X' ? -1 : HexValue(text[i]);
                if (digit < 0) return 0;
                value = value * 16 + digit;
            }
            return static_cast<int32_t>(value);
        }
        if (n == 0) return 0;
        int64_t value = 0;
        for (int i = 0; i < n; ++i) {
            if (!IsDigit(text[i])) return 0;
            value = value * 10 + (text[i] - '0');
        }
        return value > INT32_MAX ? 0 : static_cast<int32_t>(value);
    }

    const uint8_t* line_;
    int length_;
    int pos_;
};

}  // namespace

int TLaserDecode::PacketCheck(const uint8_t* bytes, int length) {
    int sum = 0;
    for (int i = 1; i < length; ++i) sum += cbit[bytes[i]];
    return sum & 7;
}

int TLaserDecode::FindPacketEnd(const uint8_t* bytes, int count) {
    for (int i = 0; i < count; ++i) {
        if (bytes[i] & kEndMark) return i;
    }
    return count;
}

static int SentCheck(const uint8_t* bytes) { return (bytes[0] >> 4) & 7; }

bool TLaserDecode::DecodePacket3(ScanPoint& point, const uint8_t* b, uint32_t distanceLimit) {
    if (PacketCheck(b, 3) != SentCheck(b)) return false;
    const int32_t distance = ((b[0] & 1) << 14) + ((b[1] & 127) << 7) + (b[2] & 127);
    if (static_cast<uint32_t>(distance) > distanceLimit) return false;
    point.distance = distance;
    point.angle = scanner::kPacket3Angle;
    point.laser = (b[0] >> 1) & 7;
    return true;
}

bool TLaserDecode::DecodePacket4(ScanPoint& point, const uint8_t* b, int32_t distanceLimit) {
    if (PacketCheck(b, 4) != SentCheck(b)) return false;
    point.distance = ((((b[0] & 15) << 7) + (b[1] & 127)) << 1) + ((b[2] & 0x40) ? 1 : 0);
    point.angle = static_cast<int16_t>(((b[2] & 63) << 7) + (b[3] & 127));
    point.laser = 0;
    return point.distance < distanceLimit || point.angle >= scanner::kInfoFirst;
}

bool TLaserDecode::DecodePacket5(ScanPoint& point, const uint8_t* b, uint32_t distanceLimit) {
    if (PacketCheck(b, 5) != SentCheck(b)) return false;
    const int32_t distance = ((b[1] & 127) << 7) + (b[2] & 127);
    if (static_cast<uint32_t>(distance) > distanceLimit) return false;
    const uint16_t angle = ((b[0] & 3) << 14) + ((b[3] & 127) << 7) + (b[4] & 127);
    point.distance = distance;
    point.angle = static_cast<int16_t>(angle);
    point.laser = (b[3] >> 3) & 1;
    return true;
}

bool TLaserDecode::DecodeStatusLine(ScanPoint& point, const uint8_t* line, int length) {
    constexpr int kMinLength = 9;
    constexpr int kX = 5;
    constexpr int kY = 6;
    if (length < kMinLength || std::memcmp(line, scanner::kStatusLinePrefix, 5) != 0) return false;
    const uint8_t x = line[kX];
    const uint8_t y = line[kY];
    if (x != 'F' && x != 'E') return false;
    if (!IsDigit(y) && !(y >= 'A' && y <= 'F')) return false;
    const int code = (x == 'F' ? 15 : 14) * 16 + HexValue(y);

    const void* comma = std::memchr(line + kX, ',', length - kX);
    if (comma == nullptr) return false;
    LineReader reader(line, length, static_cast<int>(static_cast<const uint8_t*>(comma) - line) + 1);
    const int32_t n1 = reader.ReadDecimal();
    reader.SkipPastComma();
    const int32_t n2 = reader.ReadInteger();
    reader.SkipPastComma();
    const int32_t n3 = reader.ReadDecimal();
    reader.SkipPastComma();
    const int32_t n4 = reader.ReadDecimal();

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

int TLaserDecode::DecodeStream(ScanPoint* points, int capacity, const uint8_t* bytes, int count,
                               int32_t distanceLimit) const {
    const uint8_t* pos = bytes;
    int remaining = count;
    int written = 0;
    int lastStep = 0;
    const uint32_t unsignedLimit = static_cast<uint32_t>(distanceLimit);
    auto advance = [&](int n) {
        pos += n;
        remaining -= n;
    };

    while (remaining > 2 && written < capacity) {
        if (*pos & kEndMark) {
            advance(1);
            continue;
        }
        if (progress_) {
            const int step = (count - remaining) >> kProgressStepShift;
            if (step != lastStep) {
                lastStep = step;
                progress_(kProgressLabel, step, count >> kProgressStepShift);
            }
        }
        const int end = FindPacketEnd(pos, remaining);
        if (end == remaining) {
            return written + ScanTextLines(points + written, capacity - written, pos, remaining);
        }
        switch (end) {
            case 1:
                advance(2);
                break;
            case 2:
                written += DecodePacket3(points[written], pos, unsignedLimit);
                advance(3);
                break;
            case 3:
                written += DecodePacket4(points[written], pos, distanceLimit);
                advance(4);
                break;
            case 4:
                written += DecodePacket5(points[written], pos, unsignedLimit);
                advance(5);
                break;
            default:
                written += ScanTextLines(points + written, capacity - written, pos, end - 2);
                advance(end - 2);
                break;
        }
    }
    return written;
}

int TLaserDecode::ScanTextLines(ScanPoint* points, int capacity, const uint8_t* bytes, int count) {
    constexpr int kMinSegment = 11;
    constexpr int kMaxIgnoredLine = 8;
    if (count < kMinSegment) return 0;
    int index = 0;
    int accepted = 0;
    while (accepted < capacity) {
        const void* hash = std::memchr(bytes + index, scanner::kCommandStart, count - index);
        if (hash == nullptr) return accepted;
        const int start = static_cast<int>(static_cast<const uint8_t*>(hash) - bytes);
        int last = start;
        while (last + 1 < count && bytes[last] != '\r' && bytes[last] != '\n' &&
               bytes[last + 1] != scanner::kCommandStart) {
            ++last;
        }
        index = last + 1;
        const int length = index - start;
        if (length > kMaxIgnoredLine && DecodeStatusLine(points[accepted], bytes + start, length)) {
            ++accepted;
        }
        if (index >= count) return accepted;
    }
    return accepted;
}
