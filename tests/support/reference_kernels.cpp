#include "support/reference_kernels.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <sstream>
#include <vector>

#include "model/curve_arithmetic.h"

namespace reference {
namespace {

double integral(const SampledCurve& curve) {
  double sum = 0.0;
  for (std::size_t i = 0; i < curve.values.size(); ++i) sum = sum + curve.values[i];
  return sum * curve.step;
}

void scaleToIntegral(SampledCurve& curve, double target) {
  double sum = 0.0;
  for (std::size_t i = 0; i < curve.values.size(); ++i) sum = sum + curve.values[i];
  const double divisor = sum * curve.step / target;
  for (std::size_t i = 0; i < curve.values.size(); ++i) {
    curve.values[i] = curve.values[i] / divisor;
  }
}

long double factorial(int k) {
  long double product = 1.0L;
  for (int i = 1; i <= k; ++i) product = product * i;
  return product;
}

}  // namespace

SampledCurve convolveCurves(const SampledCurve& a, const SampledCurve& b) {
  const std::size_t n = a.values.size();
  SampledCurve r(n, a.step);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j <= i; ++j) {
      r.values[i] = r.values[i] + b.values[j] * a.values[i - j] * b.step;
    }
  }
  return r;
}

void convolveGaussian(SampledCurve& curve, double w) {
  const double s = curve.step;
  const double before = integral(curve);
  const std::size_t n = static_cast<std::size_t>(std::ceil(8 * w / s) + curve.values.size());
  curve.values.resize(n, 0.0);
  const double g = 4 * w / s;
  std::vector<double> t(n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j <= i; ++j) {
      const double x = (static_cast<double>(i - j) - g) * s;
      t[i] = t[i] + std::exp(-2 * (x * x) / (w * w)) * curve.values[j];
    }
  }
  curve.values = t;
  scaleToIntegral(curve, before);
  curve.origin = curve.origin + 4 * w;
}

void convolveLorentzian(SampledCurve& curve, double w) {
  const double s = curve.step;
  const double before = integral(curve);
  const std::size_t n = static_cast<std::size_t>(std::ceil(20 * w / s) + curve.values.size());
  curve.values.resize(n, 0.0);
  const double g = 10 * w / s;
  std::vector<double> t(n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j <= i; ++j) {
      const double x = (static_cast<double>(i - j) - g) * s;
      t[i] = t[i] + curve.values[j] / (4 * (x * x) + w * w);
    }
  }
  curve.values = t;
  scaleToIntegral(curve, before);
  curve.origin = curve.origin + 10 * w;
}

double computeKn(const DepthProfile& profile, int k, double collisionRate) {
  const long double s = profile.step;
  const long double lambda = collisionRate;
  long double sum = 0.0L;
  if (k == 0) {
    for (int i = 0; i < profile.pointCount; ++i) {
      const long double x = i * s;
      sum = sum + profile.values[i] * expl(-(lambda * x));
    }
    return static_cast<double>(sum * s);
  }
  const long double inverseStep = 1.0L / s;
  for (int i = 0; i < profile.pointCount; ++i) {
    const long double x = i / inverseStep;
    sum = sum + powl(x, k) * expl(-(lambda * x)) * profile.values[i];
  }
  return static_cast<double>(sum * powl(lambda, k) * s / factorial(k));
}

SampledCurve weightedAutoconvolutionSum(const AutoconvolutionSet& set,
                                        const std::vector<double>& weights) {
  SampledCurve curve(set.at(1).values.size(), set[1].step);
  for (std::size_t n = 0; n < set.size() && n < weights.size(); ++n) {
    curve = addCurves(scaleCurve(set[n], weights[n]), curve);
  }
  return curve;
}

std::string bitDifference(const std::vector<double>& fast, const std::vector<double>& literal) {
  std::ostringstream out;
  if (fast.size() != literal.size()) {
    out << "sizes " << fast.size() << " and " << literal.size();
    return out.str();
  }
  for (std::size_t i = 0; i < fast.size(); ++i) {
    if (std::isnan(fast[i]) && std::isnan(literal[i])) continue;
    if (std::memcmp(&fast[i], &literal[i], sizeof(double)) != 0) {
      out << std::hexfloat << "point " << i << ": " << fast[i] << " instead of " << literal[i];
      return out.str();
    }
  }
  return {};
}

}  // namespace reference
