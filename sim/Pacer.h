#pragma once

// Paces the sent bytes to what the line carries: baud / 10 bytes per second (a start bit, eight
// data bits and a stop bit each).

#include <cstddef>

class TPacer {
public:
    // A late wake-up shorter than this costs no rate; a reader that paused longer gets no
    // more than this much as a burst.
    static constexpr double kMaxCreditSeconds = 0.2;

    void SetBaud(int baud, double now);
    // Bytes the line can take at now.
    size_t Allowance(double now);
    void Spent(size_t bytes) { credit_ -= static_cast<double>(bytes); }
    // Seconds until at least one byte may go.
    double Wait() const;

private:
    double bytesPerSecond_ = 0;
    double credit_ = 0;
    double last_ = 0;
};
