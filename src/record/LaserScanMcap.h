#pragma once

// Writes a scan as an MCAP file of the ROS 2 profile: one LaserScan message on "/scan" per
// complete revolution, the samples between two consecutive 0-degree markers, stamped by the
// byte position of its opening marker at the line's byte rate.

#include <cstdint>
#include <optional>
#include <string>

#include "LaserScan.h"
#include "McapWriter.h"
#include "ScanFeed.h"
#include "ScannerInterface.h"

namespace record {

constexpr char kDefaultScanFrame[] = "laser";
constexpr char kScanTopic[] = "/scan";

struct LaserScanMcapOptions {
    int bins = kDefaultScanBins;
    int32_t distanceLimit = 6000;  // cm
    std::string frameId = kDefaultScanFrame;
    uint64_t start = 0;                // nanoseconds since the epoch of the stream's first byte
    int baud = scanner::kConsoleBaud;  // ten bits a byte on the line
};

class LaserScanMcap : public ScanReceiver {
public:
    bool Open(const std::string& path, const LaserScanMcapOptions& options);
    // A 0-degree marker at this byte of the stream: the revolution it closes becomes a message.
    bool Marker(uint64_t bytePosition) override;
    // A measurement in stream order; those before the first marker belong to no revolution.
    void Sample(int angle, int32_t distance) override {
        if (open_)
            scan_->Add(angle, distance);
    }
    // The partial revolution after the last marker is left out.
    bool Close();
    void Discard() { writer_.Discard(); }

    uint64_t Revolutions() const { return writer_.MessageCount(); }
    const std::string& Error() const { return writer_.Error(); }
    const std::string& TemporaryPath() const { return writer_.TemporaryPath(); }

    // Nanoseconds since the epoch of the stream's byte at position.
    static uint64_t StampOf(uint64_t start, uint64_t position, int baud);
    // The nanoseconds since the epoch of the stream's first byte as the file tells it: the first
    // archive entry's modification time less its duration at the byte rate; 0 for a raw file.
    static uint64_t EstimatedStart(const std::string& path, bool archive, int baud);

private:
    LaserScanMcapOptions options_;
    McapWriter writer_;
    std::optional<LaserScanMessage> scan_;
    uint16_t channel_ = 0;
    bool open_ = false;  // a marker has opened a revolution
    uint64_t openedAt_ = 0;
};

}  // namespace record
