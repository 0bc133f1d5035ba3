#pragma once

#include <cstdint>

// Physical memory of this machine in bytes (0 when it cannot be told).
std::uint64_t physicalMemoryBytes();
// True when an allocation of `bytes` would take more than half of it.
bool exceedsHalfOfMemory(long double bytes);
