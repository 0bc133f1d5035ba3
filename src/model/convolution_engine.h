#pragma once

#include <atomic>
#include <cstddef>
#include <vector>

// The shared inner machinery of the direct convolutions (curve by curve and the
// two line shapes). Every output receives its terms one at a time, in a fixed
// order, and is stored as a 64-bit double after each addition: the result is
// bit-for-bit that of the plain double loop. What makes it fast is only that
// terms known to add +0 are never formed, that each outer index updates a run
// of consecutive outputs (vector lanes), and that disjoint output ranges go to
// different threads.

// How one term is formed from the outer value x and the inner value y.
enum class TermForm {
  kScaledProduct,         // (x * y) * scale
  kScaledProductSwapped,  // (y * x) * scale
  kProduct,               // y * x
  kQuotient,              // x / y
};

// out[i] += term(outerValues[o], inner[i - o]) for every listed outer index o
// and every i with innerFirst <= i - o <= innerLast and i < outputCount.
struct ConvolutionPlan {
  TermForm form = TermForm::kProduct;
  double scale = 1.0;  // used by the scaled forms only
  std::size_t outputCount = 0;
  // Outer indices in increasing order; only these contribute.
  std::vector<std::size_t> outer;
  // Each output takes its terms in decreasing outer index instead of increasing.
  bool descending = false;
  const double* outerValues = nullptr;
  const double* inner = nullptr;
  std::size_t innerFirst = 0;
  std::size_t innerLast = 0;
};

// Below this many terms one thread does all the work; above it the output range
// is split into parts of equal work, one per core.
inline constexpr std::size_t kParallelTermThreshold = std::size_t{1} << 20;

// Adds every term of the plan into out[0 .. outputCount), which the caller has
// filled (normally with zeros). Returns false, leaving out partly summed, when
// `cancel` becomes true; it is checked every few hundred thousand terms.
bool accumulateConvolution(const ConvolutionPlan& plan, double* out,
                           const std::atomic<bool>* cancel);

// Total number of terms the plan forms (the work it stands for).
std::size_t convolutionTermCount(const ConvolutionPlan& plan);

// Indices of the values in [0, count) that are not exactly zero, increasing.
std::vector<std::size_t> nonzeroIndices(const double* values, std::size_t count);

// True when every value in [0, count) is finite.
bool allFinite(const double* values, std::size_t count);
