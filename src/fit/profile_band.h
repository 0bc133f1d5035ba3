#pragma once

#include <vector>

#include "state/depth_profile.h"

// The value below which `fraction` of the values lie, interpolated linearly
// between order statistics (the sample's (n-1)*fraction-th element); NaN for
// no values.
double percentile(std::vector<double> values, double fraction);

// Pointwise 16th, 50th and 84th percentiles of a family of profiles on one
// grid (bootstrap replicas or posterior samples): the 68% band a reader
// compares with a 1-sigma error. Point i lies at depth i*step (ug/cm2).
struct ProfileBand {
  double step = 0.0;  // ug/cm2
  std::vector<double> low;
  std::vector<double> median;
  std::vector<double> high;
  bool empty() const { return median.empty(); }
};

// All profiles share the grid of the first; none gives an empty band.
ProfileBand profileBand(const std::vector<DepthProfile>& profiles);

// Pointwise 16th and 84th percentiles of a family of curves sampled at the
// same points (curves[k][i] is curve k at point i): the band around the
// curve of a free-form profile or a posterior. The curves share their first
// points (one start and step); the band reaches as far as the shortest
// curve. None gives an empty band.
struct PercentileBand {
  std::vector<double> low;
  std::vector<double> high;
};
PercentileBand percentileBand(const std::vector<std::vector<double>>& curves);
