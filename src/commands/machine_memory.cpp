#include "commands/machine_memory.h"

#include <unistd.h>

std::uint64_t physicalMemoryBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

bool exceedsHalfOfMemory(long double bytes) {
  const std::uint64_t total = physicalMemoryBytes();
  // Without a figure, 8 GiB stands in for the machine.
  const long double limit = total == 0 ? 4.0L * (1ULL << 30) : static_cast<long double>(total) / 2;
  return bytes > limit;
}
