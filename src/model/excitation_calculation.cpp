#include "model/excitation_calculation.h"

#include "model/curve_arithmetic.h"
#include "model/poisson_weights.h"

std::vector<double> collisionWeights(const DepthProfile& profile, int count, double collisionRate) {
  std::vector<double> weights(count > 0 ? static_cast<std::size_t>(count) : 0);
  for (int n = 0; n < count; ++n) weights[n] = computeKn(profile, n, collisionRate);
  return weights;
}

SampledCurve weightedAutoconvolutionSum(const AutoconvolutionSet& set,
                                        const std::vector<double>& weights) {
  SampledCurve sum(set.at(1).size(), set[1].step);
  for (std::size_t n = 0; n < set.size(); ++n) {
    const SampledCurve& entry = set[n];
    const double weight = weights[n];
    // A zero weight adds +0 to every point, which changes nothing.
    if (weight == 0.0) {
      if (entry.size() != sum.size() || entry.step != sum.step) sum = addCurves(scaleCurve(entry, weight), sum);
      continue;
    }
    const std::size_t points = entry.size();
    if (points == sum.size() && entry.step == sum.step) {
      double* out = sum.values.data();
      const double* in = entry.values.data();
      for (std::size_t i = 0; i < points; ++i) out[i] = out[i] + weight * in[i];
      sum.origin = 0.0;
    } else {
      sum = addCurves(scaleCurve(entry, weight), sum);
    }
  }
  return sum;
}

SampledCurve lewisLineShape(const AutoconvolutionSet& set, double collisionDensity) {
  SampledCurve sum(set.at(1).size(), set[1].step);
  for (const SampledCurve& entry : set) sum = addCurves(entry, sum);
  return scaleCurve(sum, 1 / collisionDensity);
}
