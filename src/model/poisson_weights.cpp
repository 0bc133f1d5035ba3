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

constexpr long double kHalfLogTwoPi = 0.918938533204672741780329736405617639861L;

// ln Gamma(x). std::lgamma also stores the sign of Gamma(x) in the global
// signgam, a data race when the weights are summed on several threads; the
// reentrant form gives the same value and keeps the sign in a local.
long double logGamma(long double x) {
  int sign = 0;
  return ::lgammal_r(x, &sign);
}

// ln n! - ((n + 1/2) ln n - n + ln sqrt(2 pi)) for n >= 1. Up to 35 the direct
// difference loses no more than a few units of 1e-17; beyond, the asymptotic
// series is exact to below 1e-22 with the terms kept.
long double stirlingRemainder(long double n) {
  if (n <= 35.0L) return logGamma(n + 1.0L) - (n + 0.5L) * std::log(n) + n - kHalfLogTwoPi;
  const long double nn = n * n;
  return (1.0L / 12 -
          (1.0L / 360 -
           (1.0L / 1260 - (1.0L / 1680 - (1.0L / 1188 - (691.0L / 360360) / nn) / nn) / nn) / nn) /
              nn) /
         n;
}

// x ln(x/mean) + mean - x >= 0 for x >= 1, mean > 0. Near x = mean both terms
// nearly cancel, so there the series in v = (x - mean)/(x + mean) is summed.
long double deviance(long double x, long double mean) {
  const long double d = x - mean;
  if (std::fabs(d) < 0.1L * (x + mean)) {
    const long double v = d / (x + mean);
    const long double v2 = v * v;
    long double sum = d * v;
    long double power = 2.0L * x * v;
    for (int j = 1; j < 200; ++j) {
      power = power * v2;
      const long double next = sum + power / (2 * j + 1);
      if (next == sum) break;
      sum = next;
    }
    return sum;
  }
  return x * std::log(x / mean) + mean - x;
}

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
  const long double logKFactorial = logGamma(static_cast<long double>(k) + 1.0L);
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

long double poissonProbability(int n, long double mean) {
  if (n < 0 || !(mean >= 0.0L)) return 0.0L;
  if (n == 0) return std::exp(-mean);
  if (mean == 0.0L || std::isinf(mean)) return 0.0L;
  const long double x = n;
  return std::exp(-(stirlingRemainder(x) + deviance(x, mean)) -
                  0.5L * std::log(2.0L * 3.141592653589793238462643383279502884L * x));
}

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
