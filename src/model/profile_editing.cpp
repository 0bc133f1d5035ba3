#include "model/profile_editing.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// A ceil or floor of a depth quotient as a point index. The quotients are
// ordinary doubles, so a depth that is a whole number of steps gives exactly
// that number: a layer set and then removed puts every point back.
std::int64_t toIndex(double wholeNumber) {
  if (std::isnan(wholeNumber)) return 0;
  if (wholeNumber > 2e9) return 2000000000;
  if (wholeNumber < -2e9) return -2000000000;
  return static_cast<std::int64_t>(wholeNumber);
}

std::int64_t pointCountOf(const DepthProfile& profile) {
  return std::min<std::int64_t>(profile.pointCount,
                                static_cast<std::int64_t>(profile.values.size()));
}

}  // namespace

void resizeToDepth(DepthProfile& profile, double maxDepthUgPerCm2) {
  const std::int64_t count = toIndex(std::ceil(maxDepthUgPerCm2 / profile.step));
  profile.pointCount = static_cast<std::int32_t>(count > 0 ? count : 0);
  profile.values.resize(static_cast<std::size_t>(profile.pointCount), 0.0);
}

void clearProfile(DepthProfile& profile) {
  for (double& c : profile.values) c = 0.0;
}

void setProfilePoint(DepthProfile& profile, std::size_t index, float value) {
  if (index < profile.values.size()) profile.values[index] = static_cast<double>(value);
}

void drawProfileLine(DepthProfile& profile, double x1, double c1, double x2, double c2) {
  const double s = profile.step;
  const std::int64_t n = pointCountOf(profile);
  const double maxDepth = profile.pointCount * s;
  if (x2 >= maxDepth) x2 = maxDepth;
  if (x1 < 0) x1 = 0;
  if (x1 >= maxDepth) x1 = maxDepth;
  if (x2 < 0) x2 = 0;

  const double slope = (c2 - c1) / (x2 - x1);
  const double intercept = c1 - slope * x1;
  double shallow = 0;
  double deep = 0;
  if (x1 < x2) {
    shallow = x1;
    deep = x2;
  } else if (x1 > x2) {
    shallow = x2;
    deep = x1;
  } else {
    return;
  }
  const double deepCell = std::floor(deep / s);
  // Cells in the contamination layer, and its last cell, are never drawn on.
  const double layerCell = std::floor(profile.contaminationDepth / s);
  for (std::int64_t i = std::max<std::int64_t>(toIndex(std::floor(shallow / s)), 0);
       static_cast<double>(i) < deepCell && i < n; ++i) {
    if (!(static_cast<double>(i) > layerCell)) continue;
    const double y = static_cast<double>(i) * s * slope + intercept;
    profile.values[static_cast<std::size_t>(i)] = y >= 0 ? y : 0;
  }
}

void setContaminationDepth(DepthProfile& profile, double depthUgPerCm2) {
  const double s = profile.step;
  const double d = depthUgPerCm2;
  const double change = d - profile.contaminationDepth;
  const std::int64_t shift = toIndex(std::ceil(change / s));
  const std::int64_t n = pointCountOf(profile);
  std::vector<double>& c = profile.values;

  if (change < 0) {
    // Towards the surface: the read index i - shift lies ahead of the write index.
    for (std::int64_t i = 0; i < n + shift; ++i) {
      c[static_cast<std::size_t>(i)] = c[static_cast<std::size_t>(i - shift)];
    }
    resizeToDepth(profile, profile.pointCount * s + change);
    // The new depth can round up to more than n + shift points; nothing moved
    // into those, so they must not keep the old, unshifted values.
    for (std::size_t i = static_cast<std::size_t>(std::max<std::int64_t>(n + shift, 0));
         i < c.size(); ++i) {
      c[i] = 0.0;
    }
  } else if (change > 0) {
    resizeToDepth(profile, profile.pointCount * s + change);
    const std::vector<double> old = c;
    const std::int64_t grown = pointCountOf(profile);
    for (std::int64_t i = std::max<std::int64_t>(toIndex(std::floor(d / s)), shift); i < grown;
         ++i) {
      c[static_cast<std::size_t>(i)] = old[static_cast<std::size_t>(i - shift)];
    }
  }

  profile.contaminationDepth = d;
  const double layerCells = std::ceil(d / s);
  for (std::size_t i = 0; i < c.size() && static_cast<double>(i) < layerCells; ++i) c[i] = 0.0;
}
