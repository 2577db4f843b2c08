#pragma once

// Faults on the sent bytes: bit flips and stray bytes, drawn from their own seeded generator.

#include <cstdint>
#include <random>
#include <string>

class TLineFaults {
public:
    TLineFaults(double corruptRate, double garbageRate, uint32_t seed);
    std::string Apply(const std::string& bytes);

    int64_t StrayBytes() const { return stray_; }
    int64_t FlippedBits() const { return flipped_; }

private:
    int64_t stray_ = 0;
    int64_t flipped_ = 0;
    double corrupt_;
    double garbage_;
    std::mt19937 random_;
};
