// libFuzzer target for the measured-data reader: every text loads, the list
// always ends with its spare entry, and the export table of finite points
// reads back as as many points.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "files/experimental_data_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ExperimentalData points =
      parseExperimentalData(std::string_view(reinterpret_cast<const char*>(data), size));
  if (points.empty()) std::abort();
  // Six digits lose bits, so only the count is compared; "inf" and "nan" are
  // no numbers to the reader and end the list early.
  const ExperimentalData again = parseExperimentalData(measuredDataText(points, 0.0));
  bool finite = true;
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    finite = finite && std::isfinite(points[i].energy) && std::isfinite(points[i].yield);
  }
  if (finite && again.size() != points.size()) std::abort();
  return 0;
}
