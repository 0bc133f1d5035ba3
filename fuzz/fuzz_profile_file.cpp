// libFuzzer target for the .pro reader: any byte string either loads as a
// profile whose values match its point count or is refused with a FileError.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "files/file_error.h"
#include "files/profile_file.h"

namespace {

// Small enough that a hostile header cannot make a run slow or run out of memory.
constexpr std::uint64_t kMemoryLimit = std::uint64_t{8} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  try {
    const ProfileFile file = readProfileStream(in, "fuzz.pro", kMemoryLimit);
    const DepthProfile& profile = file.profile;
    if (profile.pointCount < 0) std::abort();
    if (profile.values.size() != static_cast<std::size_t>(profile.pointCount)) std::abort();
    if (!(std::isfinite(profile.step) && profile.step > 0.0)) std::abort();
  } catch (const FileError&) {
  }
  return 0;
}
