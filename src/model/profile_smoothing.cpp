#include "model/profile_smoothing.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

void smoothProfile(DepthProfile& profile, int passCount) {
  const std::int64_t n =
      std::min<std::int64_t>(profile.pointCount, static_cast<std::int64_t>(profile.values.size()));
  // The first cells below the contamination layer keep their values, and so do
  // the last seven; the window never reaches outside the profile.
  const double startCell = std::ceil(profile.contaminationDepth / profile.step) + 5;
  std::int64_t start = 4;
  if (startCell > 4) start = startCell < 2e9 ? static_cast<std::int64_t>(startCell) : n;
  if (start >= n - 7) return;

  std::vector<double>& c = profile.values;
  std::vector<double> smoothed = c;
  const long double ninth = 1.0L / 9;
  for (std::int64_t pass = 0; pass <= passCount; ++pass) {
    for (std::int64_t j = start; j < n - 7; ++j) {
      const double* window = c.data() + (j - 4);
      long double sum = window[0];
      for (int t = 1; t < 9; ++t) sum = sum + window[t];
      smoothed[static_cast<std::size_t>(j)] = static_cast<double>(sum * ninth);
    }
    c = smoothed;
  }
}
