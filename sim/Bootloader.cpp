#include "Bootloader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <utility>

#include "BootProtocol.h"
#include "ScannerInterface.h"

namespace {

uint32_t ReadLe32(const uint8_t* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

}  // namespace

TBootLoader::TBootLoader(std::string firmwarePath, double programmingPause,
                         std::function<void(const std::string&)> note)
    : firmwarePath_(std::move(firmwarePath)), pause_(programmingPause), note_(std::move(note)) {}

void TBootLoader::Receive(const char* bytes, size_t count, double now) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes);
    if (count > 0)
        lastByte_ = now;
    switch (phase_) {
        case Phase::Requesting:
            input_.insert(input_.end(), data, data + count);
            TakeInfo();
            break;
        case Phase::Receiving: {
            const size_t take = std::min<size_t>(count, size_ - image_.size());
            image_.insert(image_.end(), data, data + take);
            break;
        }
        default:
            break;
    }
}

void TBootLoader::TakeInfo() {
    const size_t kSize = scanner::kFileInfoReplySize;
    size_t at = 0;
    for (; at + kSize <= input_.size(); ++at) {
        if (input_[at] == scanner::kFileInfoHead &&
            std::memcmp(&input_[at + 1], scanner::kFileInfoTag, 5) == 0) {
            break;
        }
    }
    if (at + kSize > input_.size()) {
        // Keep only what could still be the start of a reply.
        if (input_.size() >= kSize)
            input_.erase(input_.begin(), input_.end() - (kSize - 1));
        return;
    }
    size_ = ReadLe32(&input_[at + 6]);
    crc_ = ReadLe32(&input_[at + 10]);
    const std::vector<uint8_t> after(input_.begin() + at + kSize, input_.end());
    input_.clear();
    char text[64];
    std::snprintf(text, sizeof text, "file information: size %u crc %u", size_, crc_);
    if (note_)
        note_(text);
    if (size_ == 0 || size_ > static_cast<uint32_t>(scanner::kMaxFirmwareSize)) {
        pendingOut_ += scanner::kBootCheckError;
        return;
    }
    pendingOut_ += scanner::kBootStart;
    phase_ = Phase::Receiving;
    image_.clear();
    Receive(reinterpret_cast<const char*>(after.data()), after.size(), lastByte_);
}

void TBootLoader::Fail(std::string& out) {
    out += scanner::kBootCheckError;
    phase_ = Phase::Requesting;
    nextRequest_ = 0;
    input_.clear();
}

void TBootLoader::Tick(double now, std::string& out) {
    out += pendingOut_;
    pendingOut_.clear();
    switch (phase_) {
        case Phase::Requesting:
            if (now >= nextRequest_) {
                out += scanner::kBootRequestInfo;
                nextRequest_ = now + kRequestInterval;
            }
            break;
        case Phase::Receiving:
            if (image_.size() == size_) {
                if (note_)
                    note_("image: " + std::to_string(size_) + " bytes");
                out += scanner::kBootProgramming;
                phase_ = Phase::Programming;
                programmed_ = now + pause_;
            } else if (now - lastByte_ > kReceiveTimeout) {
                if (note_)
                    note_("image incomplete: " + std::to_string(image_.size()) + " bytes");
                Fail(out);
            }
            break;
        case Phase::Programming:
            if (now >= programmed_) {
                if (scanner::FirmwareCrc(image_.data(), size_) != crc_) {
                    Fail(out);
                    break;
                }
                std::ofstream file(firmwarePath_, std::ios::binary | std::ios::trunc);
                file.write(reinterpret_cast<const char*>(image_.data()), size_);
                if (!file.flush()) {
                    Fail(out);
                    break;
                }
                out += scanner::kBootFinished;
                phase_ = Phase::Restarting;
                restarted_ = now + kRestartPause;
            }
            break;
        case Phase::Restarting:
            if (now >= restarted_)
                phase_ = Phase::Finished;
            break;
        case Phase::Finished:
            break;
    }
}
