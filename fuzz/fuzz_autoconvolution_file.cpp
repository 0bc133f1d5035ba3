// libFuzzer target for the .flt reader: any byte string either loads as a
// well-formed set or is refused with a FileError.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "files/autoconvolution_file.h"
#include "files/file_error.h"

namespace {

// Small enough that a hostile header cannot make a run slow or run out of memory.
constexpr std::uint64_t kMemoryLimit = std::uint64_t{8} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  try {
    const AutoconvolutionFile file = readAutoconvolutionStream(in, "fuzz.flt", kMemoryLimit);
    if (file.set.size() != static_cast<std::size_t>(file.header.nc) + 1) std::abort();
    for (const Autoconvolution& entry : file.set) {
      if (entry.size() != static_cast<std::size_t>(file.header.pointCount)) std::abort();
    }
  } catch (const FileError&) {
  }
  return 0;
}
