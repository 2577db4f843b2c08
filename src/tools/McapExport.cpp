#include "McapExport.h"

#include <signal.h>
#include <unistd.h>
#include <algorithm>
#include <cstring>
#include <iterator>
#include <ostream>

#include "ArchiveInput.h"
#include "LaserScanMcap.h"
#include "ScanFeed.h"
#include "ZipArchive.h"

namespace decodecli {
namespace {

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

// Each revolution the feed closes becomes a message.
class McapScans : public ScanReceiver {
public:
    explicit McapScans(record::LaserScanMcap& mcap) : mcap_(mcap) {}
    bool Marker(uint64_t bytePosition) override { return mcap_.Marker(bytePosition); }
    void Sample(int angle, int32_t distance) override { mcap_.Sample(angle, distance); }

private:
    record::LaserScanMcap& mcap_;
};

}  // namespace

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
    McapScans scans(mcap);
    ScanFeed feed(options.distanceLimit, scans);
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
