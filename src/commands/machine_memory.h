#pragma once

#include <cstdint>
#include <string>

// Physical memory of this machine in bytes (0 when it cannot be told).
std::uint64_t physicalMemoryBytes();
// Memory that can be allocated now without pushing other programs out (the
// kernel's estimate of available memory), 0 when it cannot be told.
std::uint64_t availableMemoryBytes();

// The figures the memory guards compare with; a figure left 0 is read from
// the machine at the moment of the check. Tests give small figures to reach
// the guards' boundaries.
struct MemoryLimits {
  std::uint64_t installedBytes = 0;
  std::uint64_t availableBytes = 0;
  std::uint64_t installed() const;
  std::uint64_t available() const;
};

// True when an allocation of `bytes` would take more than half of the installed memory.
bool exceedsHalfOfMemory(long double bytes, const MemoryLimits& limits = {});
// True when an allocation of `bytes` would not fit in the memory available now.
bool exceedsAvailableMemory(long double bytes, const MemoryLimits& limits = {});

// "12.3 MiB", for messages.
std::string mebibyteText(long double bytes);
