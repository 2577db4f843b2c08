#pragma once

// How much memory the machine can still give, so that a huge allocation is refused with a
// message instead of the process being killed when the memory runs out.

#include <cstdint>

// MemAvailable of /proc/meminfo in bytes, else the free physical memory.
uint64_t AvailableMemory();
