// DecodeStream on any buffer, capacity and limit: it must stay inside the buffer and the
// array (the sanitizers watch), count no more than capacity, and report steps in order.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Lasernode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6)
        return 0;
    uint16_t capacitySeed;
    int32_t limit;
    std::memcpy(&capacitySeed, data, sizeof capacitySeed);
    std::memcpy(&limit, data + 2, sizeof limit);
    data += 6;
    size -= 6;

    // An exact-size heap array, so that a write past capacity is caught.
    const int capacity = capacitySeed % (size / 2 + 2);
    std::vector<ScanPoint> points(capacity);
    std::vector<uint8_t> bytes(data, data + size);
    TLaserDecode decoder;
    int lastStep = 0;
    decoder.SetProgressReport([&](const char*, int step, int steps) {
        if (step <= lastStep || step > steps)
            std::abort();
        lastStep = step;
    });
    const int written = decoder.DecodeStream(points.data(), capacity, bytes.data(),
                                             static_cast<int>(bytes.size()), limit);
    if (written < 0 || written > capacity)
        std::abort();
    return 0;
}
