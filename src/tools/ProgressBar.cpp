#include "ProgressBar.h"

#include <algorithm>
#include <ostream>
#include <string>

namespace {
constexpr int kWidth = 40;
}

void ProgressBar::Start(uint64_t total) {
    total_ = total;
    Update(0);
}

void ProgressBar::Update(uint64_t done) {
    if (!enabled_ || total_ == 0)
        return;
    const int percent = static_cast<int>(std::min<uint64_t>(done, total_) * 100 / total_);
    if (percent == shown_)
        return;
    shown_ = percent;
    const int filled = percent * kWidth / 100;
    out_ << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, ' ') << "] "
         << percent << '%' << std::flush;
}

void ProgressBar::Finish() {
    if (shown_ >= 0)
        out_ << "\r\033[K" << std::flush;
    shown_ = -1;
}
