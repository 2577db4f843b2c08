#pragma once

// The scanner's packet codec and stream decoder: raw bytes in, ScanPoint records out.

#include <cstdint>
#include <functional>

struct LinkCounts;

// One decoded sample. Which fields mean something follows from the values (see angle).
struct ScanPoint {
    uint8_t laser;     // 3-byte: laser number; 5-byte: flag bit; 4-byte: 0
    int16_t angle;     // 1/16 degree; 7 for 3-byte packets; >= 5760 info code; 224..255 status code
    int32_t distance;  // cm; the info value; the first number of a status line
    int32_t aux1;      // status lines only
    int32_t aux2;
    int32_t aux3;
};

class TLaserDecode {
public:
    // Called with the label text (UTF-8), the current step and the number of steps.
    using ProgressReport = std::function<void(const char* label, int step, int steps)>;

    static constexpr char kProgressLabel[] = "解析数据文件...";
    static constexpr int kProgressStepShift = 18;  // a step is 262,144 bytes
    static constexpr int kMinTextSegment = 11;     // ScanTextLines never searches a shorter one

    static int PacketCheck(const uint8_t* bytes, int length);
    static int FindPacketEnd(const uint8_t* bytes, int count);
    static bool DecodePacket3(ScanPoint& point, const uint8_t* bytes, uint32_t distanceLimit);
    static bool DecodePacket4(ScanPoint& point, const uint8_t* bytes, int32_t distanceLimit);
    static bool DecodePacket5(ScanPoint& point, const uint8_t* bytes, uint32_t distanceLimit);
    static bool DecodeStatusLine(ScanPoint& point, const uint8_t* line, int length);

    // Decodes exactly this buffer (nothing carries over between calls) into at most
    // capacity records from points on; returns how many were written.
    int DecodeStream(ScanPoint* points, int capacity, const uint8_t* bytes, int count,
                     int32_t distanceLimit) const;
    // The same decode, adding what it saw of the link to counts.
    int DecodeStream(ScanPoint* points, int capacity, const uint8_t* bytes, int count,
                     int32_t distanceLimit, LinkCounts& counts) const;
    // linesRead, when given, grows by each line long enough to be tried as a status line.
    static int ScanTextLines(ScanPoint* points, int capacity, const uint8_t* bytes, int count,
                             int* linesRead = nullptr);

    // The console installs its progress window here; without one nothing is reported.
    void SetProgressReport(ProgressReport report) { progress_ = std::move(report); }

private:
    ProgressReport progress_;
};
