#pragma once

#include <cstdint>

// Milliseconds of a monotonic clock, wrapping after 2^32 like Windows' tick count; compare two
// ticks only by their unsigned difference.
uint32_t GetTickCount();
