#include "Tick.h"

#include <time.h>

uint32_t GetTickCount() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + now.tv_nsec / 1000000;
    return static_cast<uint32_t>(ms);
}
