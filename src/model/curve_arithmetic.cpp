#include "model/curve_arithmetic.h"

#include <algorithm>

SampledCurve scaleCurve(const SampledCurve& a, double factor) {
  SampledCurve result(a.size(), a.step);
  for (std::size_t i = 0; i < a.size(); ++i) result.values[i] = factor * a.values[i];
  return result;
}

SampledCurve addCurves(const SampledCurve& a, const SampledCurve& b) {
  SampledCurve result(a.size(), a.step);
  // A b shorter than a is read as if it went on with zeros.
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) result.values[i] = b.values[i] + a.values[i];
  for (std::size_t i = common; i < a.size(); ++i) result.values[i] = a.values[i];
  return result;
}

void resizeCurve(SampledCurve& curve, std::size_t pointCount) {
  curve.values.resize(pointCount, 0.0);
}

void setCurvePoint(SampledCurve& curve, std::size_t index, float value) {
  if (index < curve.size()) curve.values[index] = static_cast<double>(value);
}
