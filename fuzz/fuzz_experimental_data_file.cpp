// libFuzzer target for the measured-data reader: every text either loads,
// with the list ending in its spare entry, or is refused with FileError; the
// export table of finite points reads back as as many points.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "files/experimental_data_file.h"
#include "files/file_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ExperimentalData points;
  try {
    points = parseExperimentalData(std::string_view(reinterpret_cast<const char*>(data), size),
                                   "fuzz.dat");
  } catch (const FileError&) {
    return 0;
  }
  if (points.size() < 2) std::abort();
  // Six digits lose bits, so only the count is compared; "inf" and "nan" are
  // no numbers to the reader.
  bool finite = true;
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    finite = finite && std::isfinite(points[i].energy) && std::isfinite(points[i].yield);
  }
  if (!finite) return 0;
  const ExperimentalData again = parseExperimentalData(measuredDataText(points, 0.0), "again");
  if (again.size() != points.size()) std::abort();
  return 0;
}
