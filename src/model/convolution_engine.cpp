#include "model/convolution_engine.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace {

// Eight doubles at any 8-byte aligned address; each lane is an ordinary IEEE
// operation, so a lane gives exactly what the scalar expression gives.
typedef double Lanes __attribute__((vector_size(64), aligned(8), may_alias));
constexpr std::size_t kLaneCount = 8;

// Lanes are only touched through these casts inside the cloned functions, so no
// vector crosses a call.
#define TERVANE_LANES(p) (*reinterpret_cast<Lanes*>(p))
#define TERVANE_CONST_LANES(p) (*reinterpret_cast<const Lanes*>(p))
// One copy of each run function per vector width; the widest the processor
// has is picked once at load time. Results do not depend on the choice.
#define TERVANE_VECTOR_CLONES [[gnu::target_clones("avx512f", "avx2", "default")]]

// Outputs handled together: a block of them stays in the first-level cache
// while every outer index adds its run of terms.
constexpr std::size_t kBlockOutputs = 2048;
// Terms between two looks at the cancel flag (well under a millisecond).
constexpr std::size_t kTermsBetweenCancelChecks = std::size_t{1} << 17;

TERVANE_VECTOR_CLONES void addScaledProducts(double* out, const double* in, std::size_t n, double x,
                                             double scale) {
  std::size_t k = 0;
  for (; k + kLaneCount <= n; k += kLaneCount) {
    TERVANE_LANES(out + k) = TERVANE_LANES(out + k) + (x * TERVANE_CONST_LANES(in + k)) * scale;
  }
  for (; k < n; ++k) out[k] = out[k] + (x * in[k]) * scale;
}

TERVANE_VECTOR_CLONES void addScaledProductsSwapped(double* out, const double* in, std::size_t n,
                                                    double x, double scale) {
  std::size_t k = 0;
  for (; k + kLaneCount <= n; k += kLaneCount) {
    TERVANE_LANES(out + k) = TERVANE_LANES(out + k) + (TERVANE_CONST_LANES(in + k) * x) * scale;
  }
  for (; k < n; ++k) out[k] = out[k] + (in[k] * x) * scale;
}

TERVANE_VECTOR_CLONES void addProducts(double* out, const double* in, std::size_t n, double x) {
  std::size_t k = 0;
  for (; k + kLaneCount <= n; k += kLaneCount) {
    TERVANE_LANES(out + k) = TERVANE_LANES(out + k) + TERVANE_CONST_LANES(in + k) * x;
  }
  for (; k < n; ++k) out[k] = out[k] + in[k] * x;
}

TERVANE_VECTOR_CLONES void addQuotients(double* out, const double* in, std::size_t n, double x) {
  std::size_t k = 0;
  for (; k + kLaneCount <= n; k += kLaneCount) {
    TERVANE_LANES(out + k) = TERVANE_LANES(out + k) + x / TERVANE_CONST_LANES(in + k);
  }
  for (; k < n; ++k) out[k] = out[k] + x / in[k];
}

#undef TERVANE_VECTOR_CLONES
#undef TERVANE_CONST_LANES
#undef TERVANE_LANES

void addRun(const ConvolutionPlan& plan, double* out, const double* in, std::size_t n, double x) {
  switch (plan.form) {
    case TermForm::kScaledProduct:
      addScaledProducts(out, in, n, x, plan.scale);
      break;
    case TermForm::kScaledProductSwapped:
      addScaledProductsSwapped(out, in, n, x, plan.scale);
      break;
    case TermForm::kProduct:
      addProducts(out, in, n, x);
      break;
    case TermForm::kQuotient:
      addQuotients(out, in, n, x);
      break;
  }
}

bool isCancelled(const std::atomic<bool>* cancel) {
  return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// All terms of the outputs [first, last), block by block. Within a block every
// output still meets the outer indices in the plan's order.
bool accumulateRange(const ConvolutionPlan& plan, double* out, std::size_t first, std::size_t last,
                     const std::atomic<bool>* cancel) {
  const std::vector<std::size_t>& outer = plan.outer;
  std::size_t termsSinceCheck = 0;
  for (std::size_t blockFirst = first; blockFirst < last; blockFirst += kBlockOutputs) {
    if (isCancelled(cancel)) return false;
    const std::size_t blockLast = std::min(last, blockFirst + kBlockOutputs);
    if (blockLast - 1 < plan.innerFirst) continue;
    // Outer indices o with [o + innerFirst, o + innerLast] meeting the block.
    const std::size_t lowest = blockFirst > plan.innerLast ? blockFirst - plan.innerLast : 0;
    const std::size_t highest = blockLast - 1 - plan.innerFirst;
    const auto begin = std::lower_bound(outer.begin(), outer.end(), lowest);
    const auto end = std::upper_bound(begin, outer.end(), highest);
    const std::ptrdiff_t count = end - begin;
    for (std::ptrdiff_t step = 0; step < count; ++step) {
      const std::size_t o = plan.descending ? *(end - 1 - step) : *(begin + step);
      const std::size_t runFirst = std::max(blockFirst, o + plan.innerFirst);
      const std::size_t runLast = std::min(blockLast, o + plan.innerLast + 1);
      if (runFirst >= runLast) continue;
      addRun(plan, out + runFirst, plan.inner + (runFirst - o), runLast - runFirst,
             plan.outerValues[o]);
      termsSinceCheck += runLast - runFirst;
      if (termsSinceCheck >= kTermsBetweenCancelChecks) {
        if (isCancelled(cancel)) return false;
        termsSinceCheck = 0;
      }
    }
  }
  return true;
}

// Boundaries of `parts` consecutive output ranges holding about equal numbers of terms.
std::vector<std::size_t> splitByWork(const ConvolutionPlan& plan, std::size_t parts,
                                     std::size_t totalTerms) {
  const std::size_t n = plan.outputCount;
  // outerBefore[m] = number of outer indices below m.
  std::vector<std::size_t> outerBefore(n + 1, 0);
  for (std::size_t o : plan.outer) {
    if (o < n) ++outerBefore[o + 1];
  }
  for (std::size_t m = 0; m < n; ++m) outerBefore[m + 1] += outerBefore[m];

  std::vector<std::size_t> bounds{0};
  std::size_t done = 0;
  for (std::size_t i = 0; i < n && bounds.size() < parts; ++i) {
    if (i >= plan.innerFirst) {
      const std::size_t high = i - plan.innerFirst;  // o <= high
      const std::size_t low = i > plan.innerLast ? i - plan.innerLast : 0;
      done += outerBefore[high + 1] - outerBefore[low];
    }
    if (done * parts >= totalTerms * bounds.size()) bounds.push_back(i + 1);
  }
  while (bounds.size() < parts) bounds.push_back(n);
  bounds.push_back(n);
  return bounds;
}

}  // namespace

std::size_t convolutionTermCount(const ConvolutionPlan& plan) {
  std::size_t total = 0;
  for (std::size_t o : plan.outer) {
    const std::size_t first = o + plan.innerFirst;
    if (first >= plan.outputCount) break;
    total += std::min(plan.outputCount - 1, o + plan.innerLast) - first + 1;
  }
  return total;
}

bool accumulateConvolution(const ConvolutionPlan& plan, double* out,
                           const std::atomic<bool>* cancel) {
  if (plan.outputCount == 0 || plan.outer.empty() || plan.innerFirst > plan.innerLast) {
    return !isCancelled(cancel);
  }
  const std::size_t totalTerms = convolutionTermCount(plan);
  std::size_t parts = 1;
  if (totalTerms >= kParallelTermThreshold) {
    parts = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 16);
  }
  if (parts == 1) return accumulateRange(plan, out, 0, plan.outputCount, cancel);

  const std::vector<std::size_t> bounds = splitByWork(plan, parts, totalTerms);
  std::vector<char> completed(parts, 0);
  std::vector<std::thread> helpers;
  for (std::size_t p = 1; p < parts; ++p) {
    helpers.emplace_back(
        [&, p] { completed[p] = accumulateRange(plan, out, bounds[p], bounds[p + 1], cancel); });
  }
  completed[0] = accumulateRange(plan, out, bounds[0], bounds[1], cancel);
  for (std::thread& helper : helpers) helper.join();
  return std::all_of(completed.begin(), completed.end(), [](char c) { return c != 0; });
}

std::vector<std::size_t> nonzeroIndices(const double* values, std::size_t count) {
  std::vector<std::size_t> indices;
  for (std::size_t i = 0; i < count; ++i) {
    if (values[i] != 0.0) indices.push_back(i);
  }
  return indices;
}

bool allFinite(const double* values, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (!std::isfinite(values[i])) return false;
  }
  return true;
}
