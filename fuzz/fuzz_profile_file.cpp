// libFuzzer target for the .pro reader: any byte string either loads as a
// profile whose values match its point count, and which saves and loads
// again, or is refused with a FileError.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "files/file_error.h"
#include "files/profile_file.h"

namespace {

// Small enough that a hostile header cannot make a run slow or run out of
// memory, and still more than one read chunk of values (16384).
constexpr std::uint64_t kMemoryLimit = std::uint64_t{256} << 10;

bool sameBits(double value, const std::uint8_t* stored) {
  return std::memcmp(&value, stored, sizeof value) == 0;
}

bool sameBits(double a, double b) {
  return sameBits(a, reinterpret_cast<const std::uint8_t*>(&b));
}

// A loaded profile saved again reads back with the same grid and values; its
// point count may grow by one, as the stored maximum depth is a rounded
// product, and the extra point repeats the last. Only a maximum depth that
// overflows to infinity on the way is refused.
void checkSavedAgain(const ProfileFile& file) {
  const DepthProfile& profile = file.profile;
  std::istringstream in(profileFileBytes(profile, file.constants));
  ProfileFile again;
  try {
    // The extra point may just pass the limit that the first load kept to.
    again = readProfileStream(in, "again.pro", 2 * kMemoryLimit);
  } catch (const FileError&) {
    if (std::isfinite(profile.pointCount * profile.step)) std::abort();
    return;
  }
  const DepthProfile& reread = again.profile;
  if (!sameBits(reread.step, profile.step) ||
      !sameBits(reread.contaminationDepth, profile.contaminationDepth)) {
    std::abort();
  }
  const std::size_t count = profile.values.size();
  if (reread.values.size() != count && (count == 0 || reread.values.size() != count + 1)) {
    std::abort();
  }
  for (std::size_t i = 0; i < reread.values.size(); ++i) {
    const double expected = i < count ? profile.values[i] : profile.values[count - 1];
    if (!sameBits(reread.values[i], expected)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  try {
    const ProfileFile file = readProfileStream(in, "fuzz.pro", kMemoryLimit);
    const DepthProfile& profile = file.profile;
    if (profile.pointCount < 0) std::abort();
    if (profile.values.size() != static_cast<std::size_t>(profile.pointCount)) std::abort();
    if (!(std::isfinite(profile.step) && profile.step > 0.0)) std::abort();
    if (!(std::isfinite(profile.contaminationDepth) && profile.contaminationDepth >= 0.0)) {
      std::abort();
    }
    if (profile.values.size() * sizeof(double) > kMemoryLimit) std::abort();
    // Concentrations pass through single precision on their way in.
    for (const double value : profile.values) {
      if (!std::isnan(value) && static_cast<double>(static_cast<float>(value)) != value) {
        std::abort();
      }
    }
    // The display constants are handed over untouched (x86-64 is little-endian).
    if (!sameBits(file.constants.background, data + 24) ||
        !sameBits(file.constants.multiplier, data + 32) ||
        !sameBits(file.constants.energyShift, data + 40)) {
      std::abort();
    }
    checkSavedAgain(file);
  } catch (const FileError&) {
  }
  return 0;
}
