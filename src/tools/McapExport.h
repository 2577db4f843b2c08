#pragma once

// vyk-decode --mcap: a recording, all its entries as one continuous stream, converted into an
// MCAP file of LaserScan messages, one per complete revolution.

#include <cstdint>
#include <deque>
#include <iosfwd>
#include <string>

#include "DecodeCli.h"
#include "LaserScanMcap.h"
#include "RecordFeed.h"
#include "StreamSink.h"

namespace decodecli {

// Decodes the stream and hands its revolutions to the MCAP file with the byte position of
// each 0-degree marker. Text lines are decoded apart from the packets around them (a cut
// right after an end mark changes nothing in the decode), so that a status line's record,
// whose code looks like a bearing, is never taken for a sample.
class ScanFeed : public StreamSink {
public:
    ScanFeed(int32_t distanceLimit, record::LaserScanMcap& mcap);

    void Append(const uint8_t* bytes, size_t count) override;
    void EndEntry() override {}  // entries run on: a packet split between two is decoded whole
    bool Failed() const override { return failed_; }
    // The stream ends here.
    void End();

private:
    void Take(const ScanPoint* records, size_t count);
    void ReleaseHeld();
    bool IsMarker(const uint8_t* packet, size_t length) const;

    const int32_t distanceLimit_;
    record::LaserScanMcap& mcap_;
    RecordFeed decoder_;
    uint64_t position_ = 0;         // of the next byte given to Append
    size_t unitLength_ = 0;         // bytes since the last end mark
    std::vector<uint8_t> held_;     // a packet's first bytes from an earlier Append
    bool inText_ = false;           // the bytes since the last end mark hold text
    std::deque<uint64_t> markers_;  // positions of markers not yet decoded
    bool failed_ = false;
};

// The nanoseconds since the epoch of the stream's first byte as the file tells it: the first
// archive entry's modification time less its duration at the byte rate; 0 for a raw file.
uint64_t EstimatedStart(const std::string& path, bool archive, int baud);

int ConvertToMcap(const Options& options, std::ostream& err, bool showProgress);

}  // namespace decodecli
