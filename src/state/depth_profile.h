#pragma once

#include <cstdint>
#include <vector>

// Concentration on a uniform depth grid: point i lies at depth i*step (ug/cm2).
// values.size() == pointCount is kept by every operation.
struct DepthProfile {
  std::vector<double> values;
  double contaminationDepth = 0.0;  // ug/cm2
  std::int32_t pointCount = 0;
  double step = 0.0;  // ug/cm2 per point

  // ceil(maxDepth/step) zero points; the quotient is an ordinary 64-bit division,
  // so depth 10 at step 0.005 gives 2000 points, not 2001.
  static DepthProfile forMaximumDepth(double maxDepthUgPerCm2, double stepUgPerCm2);

  double maximumDepth() const { return pointCount * step; }
  bool operator==(const DepthProfile&) const = default;
};
