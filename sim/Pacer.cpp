#include "Pacer.h"

#include <algorithm>

void TPacer::SetBaud(int baud, double now) {
    Allowance(now);
    bytesPerSecond_ = baud / 10.0;
}

size_t TPacer::Allowance(double now) {
    credit_ =
        std::min(credit_ + (now - last_) * bytesPerSecond_, bytesPerSecond_ * kMaxCreditSeconds);
    last_ = now;
    return credit_ >= 1 ? static_cast<size_t>(credit_) : 0;
}

double TPacer::Wait() const {
    return credit_ >= 1 || bytesPerSecond_ <= 0 ? 0 : (1 - credit_) / bytesPerSecond_;
}
