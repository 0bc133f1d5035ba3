#include "fit/profile_band.h"

#include <algorithm>
#include <cmath>
#include <limits>

double percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return std::numeric_limits<double>::quiet_NaN();
  const double position = fraction * static_cast<double>(values.size() - 1);
  const std::size_t below = static_cast<std::size_t>(std::floor(position));
  const std::size_t above = std::min(below + 1, values.size() - 1);
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(below),
                   values.end());
  const double low = values[below];
  if (above == below) return low;
  const double high =
      *std::min_element(values.begin() + static_cast<std::ptrdiff_t>(above), values.end());
  return low + (position - static_cast<double>(below)) * (high - low);
}

ProfileBand profileBand(const std::vector<DepthProfile>& profiles) {
  ProfileBand band;
  if (profiles.empty()) return band;
  band.step = profiles.front().step;
  const std::size_t points = profiles.front().values.size();
  band.low.resize(points);
  band.median.resize(points);
  band.high.resize(points);
  std::vector<double> column(profiles.size());
  for (std::size_t i = 0; i < points; ++i) {
    for (std::size_t r = 0; r < profiles.size(); ++r) column[r] = profiles[r].values[i];
    band.low[i] = percentile(column, 0.16);
    band.median[i] = percentile(column, 0.50);
    band.high[i] = percentile(column, 0.84);
  }
  return band;
}

PercentileBand percentileBand(const std::vector<std::vector<double>>& curves) {
  PercentileBand band;
  if (curves.empty()) return band;
  std::size_t points = curves.front().size();
  for (const std::vector<double>& curve : curves) points = std::min(points, curve.size());
  band.low.resize(points);
  band.high.resize(points);
  std::vector<double> column(curves.size());
  for (std::size_t i = 0; i < points; ++i) {
    for (std::size_t k = 0; k < curves.size(); ++k) column[k] = curves[k][i];
    band.low[i] = percentile(column, 0.16);
    band.high[i] = percentile(column, 0.84);
  }
  return band;
}
