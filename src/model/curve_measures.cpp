#include "model/curve_measures.h"

namespace {

double valueSum(const SampledCurve& curve) {
  double sum = 0.0;
  for (double v : curve.values) sum = sum + v;
  return sum;
}

}  // namespace

double curveIntegral(const SampledCurve& curve) {
  return valueSum(curve) * curve.step;
}

double firstMoment(const SampledCurve& curve) {
  double moment = 0.0;
  for (std::size_t i = 0; i < curve.size(); ++i) {
    moment = moment + (static_cast<double>(i) * curve.step) * curve.values[i];
  }
  return moment / curveIntegral(curve);
}

void normalizeCurve(SampledCurve& curve) {
  const double divisor = valueSum(curve) * curve.step;
  for (double& v : curve.values) v = v / divisor;
}

void normalizeCurveTo(SampledCurve& curve, double target) {
  const double divisor = (valueSum(curve) * curve.step) / target;
  for (double& v : curve.values) v = v / divisor;
}
