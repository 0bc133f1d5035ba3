#include "model/poisson_weights.h"

#include <algorithm>
#include <cmath>
#include <optional>

long double factorial(int k) {
  long double product = 1.0L;
  for (int i = 2; i <= k; ++i) product = product * i;
  return product;
}

namespace {

// A power (or k!) that overflowed, or lost bits by underflow from a nonzero
// base, makes the literal form meaningless.
bool outOfRange(long double power, long double base) {
  if (std::isinf(power) || std::isnan(power)) return true;
  if (base == 0.0L) return false;
  return power == 0.0L || std::fpclassify(power) == FP_SUBNORMAL;
}

// The weight in its defining order, all in extended precision: the sum over depth first, then
// lambda^k * s / k!. Nothing when some factor leaves the extended range.
std::optional<long double> literalKn(const DepthProfile& profile, int k, double collisionRate,
                                     std::size_t n) {
  const long double s = profile.step;
  const long double lambda = collisionRate;
  const std::vector<double>& c = profile.values;
  long double sum = 0.0L;
  long double kn = 0.0L;
  if (k == 0) {
    for (std::size_t i = 0; i < n; ++i) {
      const long double x = static_cast<long double>(i) * s;
      sum = sum + c[i] * std::exp(-(lambda * x));
    }
    kn = sum * s;
  } else {
    const long double inverseStep = 1.0L / s;
    for (std::size_t i = 0; i < n; ++i) {
      const long double x = static_cast<long double>(i) / inverseStep;
      const long double power = std::pow(x, static_cast<long double>(k));
      if (outOfRange(power, x)) return std::nullopt;
      sum = sum + power * std::exp(-(lambda * x)) * c[i];
    }
    const long double rateToTheK = std::pow(lambda, static_cast<long double>(k));
    const long double kFactorial = factorial(k);
    if (outOfRange(rateToTheK, lambda) || std::isinf(kFactorial)) return std::nullopt;
    kn = ((sum * rateToTheK) * s) / kFactorial;
  }
  if (!std::isfinite(kn)) return std::nullopt;
  return kn;
}

// The same weight with every Poisson factor (lambda x)^k e^(-lambda x) / k!
// formed as one exponential of its logarithm, which stays in range for any k
// whose weight is representable at all.
long double logarithmicKn(const DepthProfile& profile, int k, double collisionRate, std::size_t n) {
  const long double s = profile.step;
  const long double lambda = collisionRate;
  const long double inverseStep = 1.0L / s;
  const long double logKFactorial = std::lgamma(static_cast<long double>(k) + 1.0L);
  const std::vector<double>& c = profile.values;
  long double sum = 0.0L;
  for (std::size_t i = 0; i < n; ++i) {
    if (c[i] == 0.0) continue;
    const long double x =
        k == 0 ? static_cast<long double>(i) * s : static_cast<long double>(i) / inverseStep;
    const long double t = lambda * x;
    long double poisson = 0.0L;
    if (t == 0.0L) {
      poisson = k == 0 ? 1.0L : 0.0L;
    } else {
      poisson = std::exp(k * std::log(std::fabs(t)) - t - logKFactorial);
      if (t < 0.0L && k % 2 == 1) poisson = -poisson;
    }
    sum = sum + c[i] * poisson;
  }
  return sum * s;
}

}  // namespace

double computeKn(const DepthProfile& profile, int k, double collisionRate) {
  if (k < 0) return 0.0;
  const std::size_t n =
      profile.pointCount > 0
          ? std::min(profile.values.size(), static_cast<std::size_t>(profile.pointCount))
          : 0;
  if (const std::optional<long double> kn = literalKn(profile, k, collisionRate, n)) {
    return static_cast<double>(*kn);
  }
  return static_cast<double>(logarithmicKn(profile, k, collisionRate, n));
}
