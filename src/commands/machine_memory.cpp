#include "commands/machine_memory.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

// Without a figure, 8 GiB stands in for the machine.
constexpr std::uint64_t kUnknownMachineBytes = std::uint64_t{8} << 30;

}  // namespace

std::uint64_t physicalMemoryBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

std::uint64_t availableMemoryBytes() {
  // Free pages alone undercount: the page cache gives way to a new allocation.
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::uint64_t kib = 0;
  std::string unit;
  while (meminfo >> key >> kib >> unit) {
    if (key == "MemAvailable:") return kib * 1024;
  }
  const long pages = sysconf(_SC_AVPHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

std::uint64_t MemoryLimits::installed() const {
  if (installedBytes != 0) return installedBytes;
  const std::uint64_t bytes = physicalMemoryBytes();
  return bytes != 0 ? bytes : kUnknownMachineBytes;
}

std::uint64_t MemoryLimits::available() const {
  if (availableBytes != 0) return availableBytes;
  const std::uint64_t bytes = availableMemoryBytes();
  return bytes != 0 ? bytes : installed() / 2;
}

bool exceedsHalfOfMemory(long double bytes, const MemoryLimits& limits) {
  return bytes > static_cast<long double>(limits.installed()) / 2;
}

bool exceedsAvailableMemory(long double bytes, const MemoryLimits& limits) {
  return bytes > static_cast<long double>(limits.available());
}

std::string mebibyteText(long double bytes) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1Lf MiB", bytes / (1024.0L * 1024.0L));
  return text;
}
