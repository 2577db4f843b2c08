#include "LaserScan.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "ScannerInterface.h"

namespace record {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kRangeMin = 0.01f;
constexpr int kHalfTurn = scanner::kAnglesPerTurn / 2;
constexpr uint8_t kCdrLittleEndian[] = {0x00, 0x01, 0x00, 0x00};
constexpr uint64_t kNanosecondsPerSecond = 1000000000;

constexpr char kSeparator[] =
    "================================================================================\n";

constexpr char kLaserScanText[] =
    "std_msgs/Header header\n"
    "float32 angle_min\n"
    "float32 angle_max\n"
    "float32 angle_increment\n"
    "float32 time_increment\n"
    "float32 scan_time\n"
    "float32 range_min\n"
    "float32 range_max\n"
    "float32[] ranges\n"
    "float32[] intensities\n";
constexpr char kHeaderText[] =
    "builtin_interfaces/Time stamp\n"
    "string frame_id\n";
constexpr char kTimeText[] =
    "int32 sec\n"
    "uint32 nanosec\n";

// CDR aligns each value to its size, counted from the end of the encapsulation header.
class Cdr {
public:
    explicit Cdr(std::vector<uint8_t>& out) : out_(out) {
        out_.assign(std::begin(kCdrLittleEndian), std::end(kCdrLittleEndian));
    }
    template <typename T>
    void Put(T value) {
        while ((out_.size() - sizeof kCdrLittleEndian) % sizeof(T) != 0) out_.push_back(0);
        uint8_t bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));  // the machine is little-endian, as CDR_LE
        out_.insert(out_.end(), bytes, bytes + sizeof(T));
    }
    void PutString(const std::string& text) {
        Put(static_cast<uint32_t>(text.size() + 1));
        out_.insert(out_.end(), text.begin(), text.end());
        out_.push_back(0);
    }

private:
    std::vector<uint8_t>& out_;
};

}  // namespace

const std::string& LaserScanDefinition() {
    static const std::string text = std::string(kLaserScanText) + kSeparator +
                                    "MSG: std_msgs/Header\n" + kHeaderText + kSeparator +
                                    "MSG: builtin_interfaces/Time\n" + kTimeText;
    return text;
}

int ScanBin(int angle, int bins) {
    const int rosFromMinusPi =
        ((kHalfTurn - angle) % scanner::kAnglesPerTurn + scanner::kAnglesPerTurn) %
        scanner::kAnglesPerTurn;
    return static_cast<int>(int64_t{rosFromMinusPi} * bins / scanner::kAnglesPerTurn);
}

LaserScanMessage::LaserScanMessage(int bins, int32_t distanceLimit, std::string frameId)
    : bins_(bins),
      rangeMax_(static_cast<float>(distanceLimit / 100.0)),
      frameId_(std::move(frameId)),
      nearest_(static_cast<size_t>(bins), -1) {}

void LaserScanMessage::Clear() {
    std::fill(nearest_.begin(), nearest_.end(), -1);
}

void LaserScanMessage::Add(int angle, int32_t distance) {
    if (angle < 0 || angle > scanner::kMaxMeasurementAngle || distance <= 0)
        return;
    int32_t& bin = nearest_[static_cast<size_t>(ScanBin(angle, bins_))];
    if (bin < 0 || distance < bin)
        bin = distance;
}

const std::vector<uint8_t>& LaserScanMessage::Encode(uint64_t stamp, double scanTime) {
    const double increment = 2 * kPi / bins_;
    Cdr cdr(bytes_);
    cdr.Put(static_cast<int32_t>(stamp / kNanosecondsPerSecond));
    cdr.Put(static_cast<uint32_t>(stamp % kNanosecondsPerSecond));
    cdr.PutString(frameId_);
    cdr.Put(static_cast<float>(-kPi));
    cdr.Put(static_cast<float>(-kPi + (bins_ - 1) * increment));
    cdr.Put(static_cast<float>(increment));
    cdr.Put(static_cast<float>(scanTime / bins_));
    cdr.Put(static_cast<float>(scanTime));
    cdr.Put(kRangeMin);
    cdr.Put(rangeMax_);
    cdr.Put(static_cast<uint32_t>(bins_));
    for (const int32_t cm : nearest_)
        cdr.Put(cm < 0 ? std::numeric_limits<float>::infinity() : static_cast<float>(cm / 100.0));
    cdr.Put(uint32_t{0});  // no intensities
    return bytes_;
}

}  // namespace record
