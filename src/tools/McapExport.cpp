#include "McapExport.h"

#include <signal.h>
#include <unistd.h>
#include <cstring>
#include <iterator>
#include <ostream>

#include "ArchiveInput.h"
#include "LaserScanMcap.h"
#include "ScanFeed.h"

namespace decodecli {
namespace {

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

int ConvertToMcap(const Options& options, std::ostream& err, bool showProgress) {
    const bool archive = IsArchive(options.file);
    record::LaserScanMcapOptions scan;
    scan.bins = options.bins;
    scan.distanceLimit = options.distanceLimit;
    scan.frameId = options.frame;
    scan.baud = options.baud;
    scan.start = options.haveStart
                     ? options.start
                     : record::LaserScanMcap::EstimatedStart(options.file, archive, options.baud);
    record::LaserScanMcap mcap;
    if (!mcap.Open(options.mcap, scan)) {
        err << "vyk-decode: " << mcap.Error() << '\n';
        return kFileError;
    }
    const InterruptCleanup cleanup(mcap.TemporaryPath());
    record::ScanFeed feed(options.distanceLimit, mcap);
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
