#include "model/collision_truncation.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

#include "model/collision_weights.h"
#include "model/excitation_calculation.h"

namespace {

// A term below e^-70 (4e-31) of its own largest value is left out.
constexpr double kNegligibleLog = 70.0;
// Collision numbers whose loss density lies beyond this many standard
// deviations above a loss add nothing to it, nor do weights this far above
// the deepest point's mean number of collisions.
constexpr double kFarDeviations = 12.0;
// However deep the profile, no more collision numbers than this are added.
constexpr int kMostMissingCollisions = 200000;

constexpr double kHalfLogTwoPi = 0.918938533204672741780329736405617639861;

double logGamma(double x) {
  int sign = 0;  // the reentrant form: std::lgamma writes a global
  return ::lgamma_r(x, &sign);
}

// The loss after n collisions when the set does not hold it: a gamma shifted
// so that its mean, variance and third cumulant are n times those of one
// collision (entry 1), as the cumulants of a sum of n independent losses are.
// A single-collision spectrum without a positive third cumulant gets the
// Gaussian of the same mean and variance instead.
class MissingLoss {
 public:
  explicit MissingLoss(const SampledCurve& single) {
    double mass = 0.0;
    double first = 0.0;
    for (std::size_t i = 0; i < single.size(); ++i) {
      mass += single.values[i];
      first += single.values[i] * (i * single.step - single.origin);
    }
    if (!(mass > 0.0)) return;
    const double mean = first / mass;
    double second = 0.0;
    double third = 0.0;
    for (std::size_t i = 0; i < single.size(); ++i) {
      const double d = i * single.step - single.origin - mean;
      second += single.values[i] * d * d;
      third += single.values[i] * d * d * d;
    }
    m_mean = mean;
    m_variance = second / mass;
    third /= mass;
    m_usable =
        m_mean > 0.0 && m_variance > 0.0 && std::isfinite(m_mean) && std::isfinite(m_variance);
    // A gamma of shape k and scale theta has skewness 2/sqrt(k).
    m_gamma = m_usable && third > 1e-9 * m_variance * std::sqrt(m_variance) && std::isfinite(third);
    if (m_gamma) {
      m_scale = third / (2.0 * m_variance);
      m_shapePerCollision = m_variance / (m_scale * m_scale);
      m_shiftPerCollision = m_mean - m_shapePerCollision * m_scale;
    }
  }

  bool usable() const { return m_usable; }

  // The first collision number whose density is negligible at every loss up
  // to highestEv.
  double firstBeyond(double highestEv) const {
    // n*mean - kFarDeviations*sqrt(n*variance) > highestEv, solved for sqrt(n).
    const double b = kFarDeviations * std::sqrt(m_variance);
    const double root =
        (b + std::sqrt(b * b + 4.0 * m_mean * std::max(highestEv, 0.0))) / (2.0 * m_mean);
    double beyond = std::floor(root * root) + 1.0;
    if (m_gamma && m_shiftPerCollision > 0.0) {
      beyond = std::min(beyond, std::floor(std::max(highestEv, 0.0) / m_shiftPerCollision) + 1.0);
    }
    return beyond;
  }

  // Adds weight times the density of n collisions at every grid point where
  // it is not negligible, x(i) = i*step - origin; returns the points changed,
  // [first, end).
  std::pair<std::size_t, std::size_t> addTo(std::vector<double>& sums, int n, double weight,
                                            double step, double origin) const {
    if (weight == 0.0 || sums.empty()) return {0, 0};
    const double count = n;
    const long last = static_cast<long>(sums.size()) - 1;
    const auto x = [&](long i) { return i * step - origin; };
    double start = 0.0;         // the loss where the density is largest
    double lowest = -HUGE_VAL;  // no density at or below this loss
    double shape = 0.0;
    double logNorm = 0.0;
    if (m_gamma) {
      shape = count * m_shapePerCollision;
      lowest = count * m_shiftPerCollision;
      start = lowest + std::max(shape - 1.0, 0.0) * m_scale;
      logNorm = -logGamma(shape) - shape * std::log(m_scale);
    } else {
      start = count * m_mean;
      logNorm = -kHalfLogTwoPi - 0.5 * std::log(count * m_variance);
    }
    const auto logDensity = [&](double loss) {
      if (!m_gamma) {
        const double d = loss - count * m_mean;
        return logNorm - d * d / (2.0 * count * m_variance);
      }
      const double y = loss - lowest;
      if (!(y > 0.0)) return -HUGE_VAL;
      return logNorm + (shape - 1.0) * std::log(y) - y / m_scale;
    };
    long from = std::lround((start + origin) / step);
    from = std::clamp(from, 0L, last);
    while (from <= last && !(x(from) > lowest)) ++from;
    if (from > last) return {0, 0};
    // The log density is concave (or, for a shape below 1, falling), so once
    // a walk away from the start falls this far below the largest value it has
    // met, it only falls further.
    double largest = -HUGE_VAL;
    long end = from;
    for (; end <= last; ++end) {
      const double l = logDensity(x(end));
      largest = std::max(largest, l);
      if (l < largest - kNegligibleLog) break;
      sums[static_cast<std::size_t>(end)] += weight * std::exp(l);
    }
    long first = from;
    for (long i = from - 1; i >= 0; --i) {
      const double l = logDensity(x(i));
      largest = std::max(largest, l);
      if (l < largest - kNegligibleLog) break;
      sums[static_cast<std::size_t>(i)] += weight * std::exp(l);
      first = i;
    }
    return {static_cast<std::size_t>(first), static_cast<std::size_t>(end)};
  }

 private:
  bool m_usable = false;
  bool m_gamma = false;
  double m_mean = 0.0;      // eV per collision
  double m_variance = 0.0;  // eV^2 per collision
  double m_scale = 0.0;     // eV
  double m_shapePerCollision = 0.0;
  double m_shiftPerCollision = 0.0;  // eV
};

}  // namespace

CollisionTruncation collisionTruncation(const AutoconvolutionSet& set, const DepthProfile& profile,
                                        double collisionRate, double highestLossEv) {
  CollisionTruncation result;
  if (set.size() < 2) return result;
  const int nc = static_cast<int>(set.size()) - 1;
  result.holdingCollisions = nc;
  const SampledCurve& single = set[1];
  const double step = single.step;
  const double origin = single.origin;
  if (single.size() == 0 || !(step > 0.0) || !(collisionRate > 0.0) ||
      !std::isfinite(collisionRate) || !(highestLossEv >= -origin)) {
    return result;
  }
  const MissingLoss missing(single);
  if (!missing.usable()) return result;

  const std::size_t points =
      std::min(profile.values.size(), static_cast<std::size_t>(std::max(profile.pointCount, 0)));
  std::size_t deepest = 0;
  for (std::size_t i = 0; i < points; ++i) {
    if (profile.values[i] != 0.0) deepest = i;
  }
  const double deepestMean = collisionRate * (deepest * profile.step);
  if (!std::isfinite(deepestMean)) return result;

  const long lastPoint = static_cast<long>(single.size()) - 1;
  const double highestPoint = std::floor((highestLossEv + origin) / step);
  const long top = highestPoint >= lastPoint ? lastPoint : static_cast<long>(highestPoint);
  result.highestUsedEv = top * step - origin;
  const double gridEnd = lastPoint * step - origin;
  const double beyond =
      std::min({deepestMean + kFarDeviations * std::sqrt(deepestMean) + 30.0,
                missing.firstBeyond(gridEnd), static_cast<double>(nc) + kMostMissingCollisions});
  if (!(beyond > nc + 1)) return result;
  const int count = static_cast<int>(beyond);  // weights K0 .. K(count-1)

  const std::vector<double> weights = collisionWeights(profile, count, collisionRate);
  const SampledCurve kept = weightedAutoconvolutionSum(set, weights);
  const std::size_t size = kept.size();

  std::vector<double> lost(size, 0.0);
  for (int n = nc + 1; n < count; ++n) {
    missing.addTo(lost, n, weights[static_cast<std::size_t>(n)], step, origin);
  }
  std::vector<double> full(size);
  double largest = 0.0;
  for (std::size_t i = 0; i < size; ++i) {
    full[i] = kept.values[i] + lost[i];
    largest = std::max(largest, full[i]);
  }
  const auto judged = [&](std::size_t i) {
    return full[i] > 0.0 && full[i] >= kTruncationTolerance * largest;
  };
  const auto lacks = [&](double missingYield, std::size_t i) {
    return missingYield > kTruncationTolerance * full[i];
  };

  const std::size_t used = static_cast<std::size_t>(top) + 1;
  for (std::size_t i = 0; i < used; ++i) {
    if (judged(i) && lacks(lost[i], i)) {
      result.lacking = true;
      result.lackingFromEv = i * step - origin;
      break;
    }
  }
  if (full[used - 1] > 0.0) result.lackingAtHighest = lost[used - 1] / full[used - 1];
  if (!result.lacking) return result;

  // The yield beyond N, for N from the largest number down: the first N at
  // which some point lacks too much needs entry N + 1 as well. Only the
  // points that entry n reaches can start lacking when it is added.
  result.holdingCollisions = nc + 1;
  std::vector<double> beyondN(size, 0.0);
  for (int n = count - 1; n > nc + 1; --n) {
    const auto [first, end] =
        missing.addTo(beyondN, n, weights[static_cast<std::size_t>(n)], step, origin);
    for (std::size_t i = first; i < std::min(end, used); ++i) {
      if (judged(i) && lacks(beyondN[i], i)) {
        result.holdingCollisions = n;
        return result;
      }
    }
  }
  return result;
}
