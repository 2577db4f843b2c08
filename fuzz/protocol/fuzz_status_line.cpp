// DecodeStatusLine on any line: it must read only the line it was given.

#include <cstdint>
#include <vector>

#include "Lasernode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> line(data, data + size);
    ScanPoint point{};
    TLaserDecode::DecodeStatusLine(point, line.data(), static_cast<int>(line.size()));
    return 0;
}
