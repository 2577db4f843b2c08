#include "LineFaults.h"

TLineFaults::TLineFaults(double corruptRate, double garbageRate, uint32_t seed)
    : corrupt_(corruptRate), garbage_(garbageRate), random_(seed ^ 0x5A5A5A5Au) {}

std::string TLineFaults::Apply(const std::string& bytes) {
    if (corrupt_ <= 0 && garbage_ <= 0)
        return bytes;
    std::uniform_real_distribution<double> chance(0, 1);
    std::uniform_int_distribution<int> bit(0, 7);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes) {
        if (garbage_ > 0 && chance(random_) < garbage_) {
            out += static_cast<char>(byte(random_));
            ++stray_;
        }
        if (corrupt_ > 0 && chance(random_) < corrupt_) {
            c = static_cast<char>(c ^ (1 << bit(random_)));
            ++flipped_;
        }
        out += c;
    }
    return out;
}
