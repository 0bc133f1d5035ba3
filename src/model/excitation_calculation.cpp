#include "model/excitation_calculation.h"

#include <algorithm>
#include <thread>

#include "model/curve_arithmetic.h"

namespace {

// Above this many multiply-adds the points are split between the cores.
constexpr std::size_t kParallelTerms = std::size_t{1} << 20;

// Eight doubles at any 8-byte aligned address; each lane is an ordinary IEEE
// operation, so a lane gives exactly what the scalar expression gives.
typedef double Lanes __attribute__((vector_size(64), aligned(8), may_alias));
constexpr std::size_t kLaneCount = 8;

// sum[i] = sum[i] + weight * entry[i]: the order of scaleCurve then addCurves.
[[gnu::target_clones("avx512f", "avx2", "default")]] void addWeighted(double* sum,
                                                                      const double* entry,
                                                                      std::size_t n,
                                                                      double weight) {
  std::size_t i = 0;
  for (; i + kLaneCount <= n; i += kLaneCount) {
    *reinterpret_cast<Lanes*>(sum + i) =
        *reinterpret_cast<Lanes*>(sum + i) + weight * *reinterpret_cast<const Lanes*>(entry + i);
  }
  for (; i < n; ++i) sum[i] = sum[i] + weight * entry[i];
}

// Points [first, last) of the sum, every entry in order of n.
void addEntries(const AutoconvolutionSet& set, const std::vector<double>& weights,
                std::size_t entries, double* sum, std::size_t first, std::size_t last) {
  for (std::size_t n = 0; n < entries; ++n) {
    addWeighted(sum + first, set[n].values.data() + first, last - first, weights[n]);
  }
}

}  // namespace

SampledCurve weightedAutoconvolutionSum(const AutoconvolutionSet& set,
                                        const std::vector<double>& weights) {
  SampledCurve sum(set.at(1).size(), set[1].step);
  const std::size_t entries = std::min(set.size(), weights.size());
  const std::size_t points = sum.size();
  const bool sameSize =
      std::all_of(set.begin(), set.begin() + static_cast<std::ptrdiff_t>(entries),
                  [&](const SampledCurve& entry) { return entry.size() == points; });
  if (!sameSize) {
    for (std::size_t n = 0; n < entries; ++n) sum = addCurves(scaleCurve(set[n], weights[n]), sum);
    return sum;
  }
  // Every point takes its terms in order of n whichever core adds them, and
  // each term is formed even for a zero weight (0 * inf would be NaN).
  if (entries * points >= kParallelTerms && std::thread::hardware_concurrency() > 1) {
    const std::size_t half = points / 2 / kLaneCount * kLaneCount;
    std::thread helper(addEntries, std::cref(set), std::cref(weights), entries, sum.values.data(),
                       half, points);
    addEntries(set, weights, entries, sum.values.data(), 0, half);
    helper.join();
  } else {
    addEntries(set, weights, entries, sum.values.data(), 0, points);
  }
  // addCurves leaves the last entry's step and origin 0.
  if (entries > 0) sum.step = set[entries - 1].step;
  return sum;
}

SampledCurve lewisLineShape(const AutoconvolutionSet& set, double collisionDensity) {
  SampledCurve sum(set.at(1).size(), set[1].step);
  for (const SampledCurve& entry : set) sum = addCurves(entry, sum);
  return scaleCurve(sum, 1 / collisionDensity);
}
