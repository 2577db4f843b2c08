#include "LaserScanMcap.h"

#include <algorithm>

#include "ZipArchive.h"

namespace record {
namespace {

constexpr char kProfile[] = "ros2";
constexpr char kLibrary[] = "vyk";
constexpr char kSchemaEncoding[] = "ros2msg";
constexpr char kMessageEncoding[] = "cdr";
constexpr uint64_t kBitsPerByte = 10;  // start, eight data bits, stop
constexpr uint64_t kNanosecondsPerSecond = 1000000000;

}  // namespace

bool LaserScanMcap::Open(const std::string& path, const LaserScanMcapOptions& options) {
    options_ = options;
    scan_.emplace(options.bins, options.distanceLimit, options.frameId);
    open_ = false;
    McapWriter::Options mcap;
    mcap.profile = kProfile;
    mcap.library = kLibrary;
    if (!writer_.Open(path, mcap))
        return false;
    const uint16_t schema =
        writer_.AddSchema(kLaserScanType, kSchemaEncoding, LaserScanDefinition());
    channel_ = writer_.AddChannel(schema, kScanTopic, kMessageEncoding);
    return true;
}

bool LaserScanMcap::Marker(uint64_t bytePosition) {
    if (open_) {
        const uint64_t stamp = StampOf(options_.start, openedAt_, options_.baud);
        const double scanTime =
            static_cast<double>((bytePosition - openedAt_) * kBitsPerByte) / options_.baud;
        const std::vector<uint8_t>& message = scan_->Encode(stamp, scanTime);
        if (!writer_.WriteMessage(channel_, stamp, stamp, message.data(), message.size()))
            return false;
    }
    scan_->Clear();
    open_ = true;
    openedAt_ = bytePosition;
    return true;
}

bool LaserScanMcap::Close() {
    open_ = false;
    return writer_.Close();
}

uint64_t LaserScanMcap::StampOf(uint64_t start, uint64_t position, int baud) {
    const uint64_t bits = position * kBitsPerByte;
    const uint64_t rate = static_cast<uint64_t>(baud);
    return start + bits / rate * kNanosecondsPerSecond + bits % rate * kNanosecondsPerSecond / rate;
}

uint64_t LaserScanMcap::EstimatedStart(const std::string& path, bool archive, int baud) {
    if (!archive)
        return 0;
    ZipReader reader(path);
    if (!reader.IsOpen() || reader.EntryCount() == 0)
        return 0;
    const uint64_t end =
        static_cast<uint64_t>(std::max<time_t>(reader.ModifiedTime(0), 0)) * kNanosecondsPerSecond;
    const uint64_t duration = StampOf(0, reader.DeclaredSize(0), baud);
    return end > duration ? end - duration : 0;
}

}  // namespace record
