#include "Simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>

#include "ScannerInterface.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

constexpr size_t kReadChunk = 4096;
constexpr int kIdleWaitMs = 10;
constexpr int kPacedWaitMs = 2;
constexpr size_t kFastQueue = 4096;
constexpr double kProgrammingPause = 1.0;
constexpr double kFastProgrammingPause = 0.1;
// Longer than the zone tool's 960 ms repeat, so that the line has gone out twice.
constexpr double kLateAnswer = 1.1;

}  // namespace

void TSimulator::RequestStop() {
    stopRequested = 1;
}

TSimulator::TSimulator(const SimOptions& options)
    : options_(options),
      faults_(options.corrupt, options.garbage, options.seed),
      bootFaults_(options.corrupt, 0, options.seed + 1),
      stream_(options.model, options.packet, options.seed, options.dropTurns) {}

TSimulator::~TSimulator() {
    if (tee_ >= 0)
        close(tee_);
}

double TSimulator::Now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

bool TSimulator::Open(std::string& error) {
    if (!options_.state.empty() && !LoadState(options_.state, state_)) {
        std::fprintf(stderr, "vyk-sim: %s: lines not understood were skipped\n",
                     options_.state.c_str());
    }
    // The command line sets the rate the line starts at, whatever was stored.
    state_.baud = options_.baud;
    commands_ = std::make_unique<TCommandSet>(
        options_.model, state_, options_.state,
        ZoneFaults{options_.dropAck, options_.slowAck, options_.forgetPoint});
    if (!options_.log.empty() && !log_.Open(options_.log)) {
        error = "cannot write the log " + options_.log;
        return false;
    }
    if (!options_.tee.empty()) {
        // Unbuffered, so that the copy is whole even when the simulator is killed.
        tee_ = open(options_.tee.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (tee_ < 0) {
            error = "cannot write " + options_.tee;
            return false;
        }
    }
    const bool opened = options_.device.empty()
                            ? device_.OpenPty(options_.link, error)
                            : device_.OpenDevice(options_.device, options_.baud, error);
    if (!opened)
        return false;
    start_ = std::chrono::steady_clock::now();
    if (!options_.boot.empty()) {
        boot_ = std::make_unique<TBootLoader>(
            options_.boot, options_.fast ? kFastProgrammingPause : kProgrammingPause,
            [this](const std::string& text) { log_.Received(Now(), text); });
    }
    return true;
}

void TSimulator::Queue(const std::string& bytes) {
    out_ += faults_.Apply(bytes);
}

void TSimulator::HandleInput(double now, const char* bytes, size_t count) {
    if (boot_ && boot_->CurrentPhase() != TBootLoader::Phase::Finished) {
        // A noisy line damages the image on its way in; the verdict must still come out.
        const std::string damaged = bootFaults_.Apply(std::string(bytes, count));
        boot_->Receive(damaged.data(), damaged.size(), now);
        return;
    }
    for (const TLineAssembler::Line& line : assembler_.Feed(bytes, count)) {
        log_.Received(now, line.text);
        std::vector<std::string> replies;
        if (line.tooLong) {
            replies.push_back(std::string(TCommandSet::kErrorPrefix) + "line too long");
        } else {
            replies = commands_->Execute(line.text);
        }
        switch (commands_->LastFate()) {
            case TCommandSet::Fate::Dropped:
                log_.Note(now, "dropped");
                break;
            case TCommandSet::Fate::NotStored:
                log_.Note(now, "not stored");
                break;
            case TCommandSet::Fate::Late:
                log_.Note(now, "answered late");
                for (const std::string& reply : replies)
                    late_.emplace_back(now + kLateAnswer, reply);
                continue;
            case TCommandSet::Fate::Handled:
                break;
        }
        for (const std::string& reply : replies) SendReply(now, reply);
    }
}

void TSimulator::SendReply(double now, const std::string& reply) {
    log_.Sent(now, reply);
    std::string text;
    AppendTextLine(text, reply);
    Queue(text);
}

void TSimulator::SendLateReplies(double now) {
    // Due in the order they were held back.
    while (!late_.empty() && late_.front().first <= now) {
        SendReply(now, late_.front().second);
        late_.erase(late_.begin());
    }
}

void TSimulator::Produce(double now) {
    if (boot_ && boot_->CurrentPhase() != TBootLoader::Phase::Finished) {
        std::string messages;
        boot_->Tick(now, messages);
        for (size_t at = 0; at + scanner::kBootMessageSize <= messages.size();
             at += scanner::kBootMessageSize) {
            log_.Sent(now, messages.substr(at, scanner::kBootMessageSize - 2));
        }
        out_ += messages;
        return;
    }
    if (!commands_->Streaming())
        return;
    // About 10 ms of line ahead, so a reply waits little behind the stream; after a late
    // wake-up, as much as the line is owed, so the rate holds on a busy machine.
    size_t wanted = options_.fast ? kFastQueue : std::max<size_t>(64, state_.baud / 1000);
    if (!options_.fast)
        wanted = std::max(wanted, pacer_.Allowance(now));
    if (out_.size() >= wanted)
        return;
    if (!options_.fast)
        stream_.AdvanceTo(now);
    std::string slice;
    stream_.Produce(slice, wanted - out_.size(), state_, options_.group);
    Queue(slice);
}

bool TSimulator::Flush(double now) {
    size_t allowed = out_.size();
    if (!options_.fast)
        allowed = std::min(allowed, pacer_.Allowance(now));
    if (allowed == 0)
        return true;
    const long written = device_.Write(out_.data(), allowed);
    if (written < 0)
        return false;
    if (tee_ >= 0 && written > 0 &&
        write(tee_, out_.data(), static_cast<size_t>(written)) != written) {
        std::fprintf(stderr, "vyk-sim: writing to %s failed\n", options_.tee.c_str());
        close(tee_);
        tee_ = -1;
    }
    if (!options_.fast)
        pacer_.Spent(static_cast<size_t>(written));
    out_.erase(0, static_cast<size_t>(written));
    return true;
}

bool TSimulator::ImageReached(long bytes) const {
    return bytes > 0 && boot_ && boot_->CurrentPhase() == TBootLoader::Phase::Receiving &&
           boot_->ImageReceived() >= static_cast<size_t>(bytes);
}

int TSimulator::Run() {
    char buffer[kReadChunk];
    int code = 0;
    while (!stopRequested) {
        const double now = Now();
        if (options_.duration > 0 && now >= options_.duration)
            break;
        if (options_.hangupAfter > 0 && now >= options_.hangupAfter) {
            log_.Note(now, "hangup");
            break;
        }
        const bool stalled = options_.stallAfter > 0 && now >= options_.stallAfter;

        long n = 0;
        while (!deaf_ && (n = device_.Read(buffer, sizeof buffer)) > 0) {
            // A stalled scanner still drains its input, so the writer never blocks on it.
            if (!stalled)
                HandleInput(now, buffer, static_cast<size_t>(n));
            if (ImageReached(options_.imageDeaf)) {
                log_.Note(now, "deaf");
                deaf_ = true;
            }
        }
        if (ImageReached(options_.imageHangup)) {
            log_.Note(now, "hangup");
            break;
        }
        if (n < 0) {
            std::fprintf(stderr, "vyk-sim: the line %s is gone\n", device_.Path().c_str());
            code = 1;
            break;
        }
        if (state_.baud != pacedBaud_) {
            pacedBaud_ = state_.baud;
            pacer_.SetBaud(pacedBaud_, now);
        }
        if (!stalled && !deaf_) {
            SendLateReplies(now);
            Produce(now);
            if (!Flush(now)) {
                std::fprintf(stderr, "vyk-sim: writing to %s failed\n", device_.Path().c_str());
                code = 1;
                break;
            }
        }

        pollfd fd{device_.Fd(), short(deaf_ ? 0 : POLLIN), 0};
        int wait = kIdleWaitMs;
        if (!stalled && !deaf_ && !out_.empty()) {
            if (options_.fast) {
                fd.events |= POLLOUT;
            } else {
                wait = kPacedWaitMs;
            }
        }
        poll(&fd, 1, wait);
    }
    if (!assembler_.Pending().empty())
        log_.Note(Now(), "unfinished: " + assembler_.Pending());
    device_.Close();
    if (options_.corrupt > 0 || options_.garbage > 0 || options_.dropTurns > 0) {
        std::fprintf(stderr,
                     "vyk-sim: left out %lld revolutions, added %lld stray bytes, flipped %lld "
                     "bits\n",
                     static_cast<long long>(stream_.LeftOut()),
                     static_cast<long long>(faults_.StrayBytes()),
                     static_cast<long long>(faults_.FlippedBits()));
    }
    return code;
}
