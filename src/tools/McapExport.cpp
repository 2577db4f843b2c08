#include "McapExport.h"

#include <signal.h>
#include <unistd.h>
#include <algorithm>
#include <cstring>
#include <iterator>
#include <ostream>

#include "ArchiveInput.h"
#include "ScannerInterface.h"
#include "ZipArchive.h"

namespace decodecli {
namespace {

constexpr uint8_t kEndMark = 0x80;
constexpr size_t kLongestPacket = 5;
constexpr uint64_t kNanosecondsPerSecond = 1000000000;
constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};

char unfinished[4096];  // the file to remove when a signal ends the conversion

void RemoveUnfinished(int signal) {
    unlink(unfinished);
    ::signal(signal, SIG_DFL);
    raise(signal);  // delivered when the handler returns
}

// While it lives, an interrupt removes the unfinished file before it ends the tool; a signal
// that was ignored stays ignored.
class InterruptCleanup {
public:
    explicit InterruptCleanup(const std::string& path) {
        if (path.size() >= sizeof unfinished)
            return;
        std::memcpy(unfinished, path.c_str(), path.size() + 1);
        struct sigaction action = {};
        action.sa_handler = RemoveUnfinished;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(kInterrupts); ++i) {
            sigaction(kInterrupts[i], nullptr, &old_[i]);
            if (old_[i].sa_handler != SIG_IGN)
                sigaction(kInterrupts[i], &action, nullptr);
        }
        installed_ = true;
    }
    ~InterruptCleanup() {
        if (!installed_)
            return;
        for (size_t i = 0; i < std::size(kInterrupts); ++i)
            sigaction(kInterrupts[i], &old_[i], nullptr);
        unfinished[0] = '\0';
    }
    InterruptCleanup(const InterruptCleanup&) = delete;
    InterruptCleanup& operator=(const InterruptCleanup&) = delete;

private:
    struct sigaction old_[std::size(kInterrupts)] = {};
    bool installed_ = false;
};

}  // namespace

ScanFeed::ScanFeed(int32_t distanceLimit, record::LaserScanMcap& mcap)
    : distanceLimit_(distanceLimit),
      mcap_(mcap),
      decoder_(distanceLimit, 0,
               [this](const ScanPoint* records, size_t count) { Take(records, count); }) {}

void ScanFeed::Append(const uint8_t* bytes, size_t count) {
    size_t run = 0;        // the first byte not yet given to the decoder
    size_t unitStart = 0;  // where the bytes since the last end mark begin in this piece
    for (size_t i = 0; i < count; ++i) {
        ++unitLength_;
        if (!(bytes[i] & kEndMark)) {
            // Longer than any packet: text. What came before is decoded first, so that every
            // record of the text comes while inText_ is set.
            if (unitLength_ == kLongestPacket + 1) {
                decoder_.Append(bytes + run, unitStart - run);
                decoder_.EndBuffer();
                inText_ = true;
                ReleaseHeld();
                run = unitStart;
            }
            continue;
        }
        if (inText_) {
            decoder_.Append(bytes + run, i + 1 - run);
            decoder_.EndBuffer();
            inText_ = false;
            run = i + 1;
        } else {
            if (unitLength_ >= 4) {
                const uint64_t start = position_ + i + 1 - unitLength_;
                bool marker;
                if (held_.empty()) {
                    marker = IsMarker(bytes + i + 1 - unitLength_, unitLength_);
                } else {
                    std::vector<uint8_t> packet = held_;
                    packet.insert(packet.end(), bytes, bytes + i + 1);
                    marker = IsMarker(packet.data(), packet.size());
                }
                if (marker)
                    markers_.push_back(start);
            }
            ReleaseHeld();
        }
        unitLength_ = 0;
        unitStart = i + 1;
    }
    if (inText_) {
        decoder_.Append(bytes + run, count - run);
    } else {
        decoder_.Append(bytes + run, unitStart - run);
        held_.insert(held_.end(), bytes + unitStart, bytes + count);
    }
    position_ += count;
}

void ScanFeed::End() {
    ReleaseHeld();
    decoder_.EndBuffer();
}

void ScanFeed::ReleaseHeld() {
    if (held_.empty())
        return;
    decoder_.Append(held_.data(), held_.size());
    held_.clear();
}

// A packet that starts right after an end mark is always decoded whole, so this packet is a
// marker exactly when the codec makes one of it.
bool ScanFeed::IsMarker(const uint8_t* packet, size_t length) const {
    ScanPoint point{};
    const bool accepted = length == 4 ? TLaserDecode::DecodePacket4(point, packet, distanceLimit_)
                                      : TLaserDecode::DecodePacket5(
                                            point, packet, static_cast<uint32_t>(distanceLimit_));
    return accepted && point.angle == scanner::kInfoZeroDegree;
}

void ScanFeed::Take(const ScanPoint* records, size_t count) {
    for (size_t i = 0; i < count && !failed_; ++i) {
        const ScanPoint& r = records[i];
        if (inText_) {
            // Only the packet at the text's end is a sample; the rest are status lines.
            if (r.angle == scanner::kPacket3Angle)
                mcap_.Sample(r.angle, r.distance);
        } else if (r.angle == scanner::kInfoZeroDegree && !markers_.empty()) {
            failed_ = !mcap_.Marker(markers_.front());
            markers_.pop_front();
        } else {
            mcap_.Sample(r.angle, r.distance);
        }
    }
}

uint64_t EstimatedStart(const std::string& path, bool archive, int baud) {
    if (!archive)
        return 0;
    record::ZipReader reader(path);
    if (!reader.IsOpen() || reader.EntryCount() == 0)
        return 0;
    const uint64_t end =
        static_cast<uint64_t>(std::max<time_t>(reader.ModifiedTime(0), 0)) * kNanosecondsPerSecond;
    const uint64_t duration = record::LaserScanMcap::StampOf(0, reader.DeclaredSize(0), baud);
    return end > duration ? end - duration : 0;
}

int ConvertToMcap(const Options& options, std::ostream& err, bool showProgress) {
    const bool archive = IsArchive(options.file);
    record::LaserScanMcapOptions scan;
    scan.bins = options.bins;
    scan.distanceLimit = options.distanceLimit;
    scan.frameId = options.frame;
    scan.baud = options.baud;
    scan.start =
        options.haveStart ? options.start : EstimatedStart(options.file, archive, options.baud);
    record::LaserScanMcap mcap;
    if (!mcap.Open(options.mcap, scan)) {
        err << "vyk-decode: " << mcap.Error() << '\n';
        return kFileError;
    }
    const InterruptCleanup cleanup(mcap.TemporaryPath());
    ScanFeed feed(options.distanceLimit, mcap);
    ProgressBar progress(err, showProgress);
    std::string error;
    const bool read = FeedInput(options.file, feed, progress, error);
    progress.Finish();
    if (!read) {
        mcap.Discard();
        err << "vyk-decode: cannot read " << options.file << ": " << error << '\n';
        return kFileError;
    }
    feed.End();
    if (feed.Failed() || !mcap.Close()) {
        err << "vyk-decode: " << mcap.Error() << '\n';
        return kFileError;
    }
    if (mcap.Revolutions() == 0)
        err << "vyk-decode: " << options.file << " holds no complete revolution\n";
    return kOk;
}

}  // namespace decodecli
