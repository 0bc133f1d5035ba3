#include "model/single_collision_density.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "model/curve_measures.h"

void buildCollisionSpectrum(SampledCurve& curve, std::size_t pointCount, double stepEv,
                            double eminEv, double emaxEv) {
  const double s = stepEv;
  // Bins first .. last lie wholly inside [emin, emax]; the bins holding emin
  // and emax get the share of the bin's 1/T^2 integral that lies inside.
  const double firstBin = std::ceil(eminEv / s);
  const double lastBin = std::floor(emaxEv / s);

  curve.values.assign(pointCount, 0.0);
  const auto n = static_cast<std::int64_t>(pointCount);
  // Writes only on the grid; a grid too small for emax simply loses the tail.
  auto inGrid = [n](std::int64_t i) { return i >= 0 && i < n; };
  auto value = [&curve](std::int64_t i) -> double& {
    return curve.values[static_cast<std::size_t>(i)];
  };
  // Bin numbers far off the grid all act alike; clamping keeps them in range.
  auto binIndex = [n](double bin) -> std::int64_t {
    if (std::isnan(bin)) return -2;
    return static_cast<std::int64_t>(std::clamp(bin, -2.0, static_cast<double>(n) + 2));
  };
  const std::int64_t first = binIndex(firstBin);
  const std::int64_t last = binIndex(lastBin);

  const double inverseStepSquared = 1 / (s * s);
  for (std::int64_t i = std::max<std::int64_t>(first, 0); i <= last && i < n; ++i) {
    const double bin = static_cast<double>(i);
    value(i) = inverseStepSquared * (1 / (bin - 0.5) - 1 / (bin + 0.5));
  }

  const double low = (firstBin - 0.5) * s;
  if (low < eminEv) {
    if (inGrid(first)) value(first) = value(first) - (1 / low - 1 / eminEv) / s;
  } else if (low > eminEv) {
    if (inGrid(first - 1)) value(first - 1) = (1 / eminEv - 1 / low) / s;
  }

  const double high = (lastBin + 0.5) * s;
  if (high > emaxEv) {
    if (inGrid(last)) value(last) = value(last) - (1 / emaxEv - 1 / high) / s;
  } else if (high < emaxEv) {
    if (inGrid(last + 1)) value(last + 1) = (1 / high - 1 / emaxEv) / s;
  }

  normalizeCurve(curve);
}
