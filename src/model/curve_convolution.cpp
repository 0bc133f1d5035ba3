#include "model/curve_convolution.h"

#include <algorithm>

#include "model/convolution_engine.h"

namespace {

// R[i] = sum over j of (b[j]*a[i-j])*b.step. A term with an exactly-zero factor
// is +0 or -0 and leaves a running sum unchanged (a sum that starts at +0 never
// becomes -0), so only the pairs of nonzero values are formed. That holds for
// finite values; with an infinity or NaN anywhere every term is formed.
ConvolutionPlan planConvolution(const SampledCurve& a, const SampledCurve& b) {
  const std::size_t n = a.size();
  const std::size_t bCount = std::min(n, b.size());  // b beyond a's length is never reached
  ConvolutionPlan plan;
  plan.outputCount = n;
  plan.scale = b.step;

  const bool finite =
      allFinite(a.values.data(), n) && allFinite(b.values.data(), bCount) && allFinite(&b.step, 1);
  if (!finite) {
    plan.form = TermForm::kScaledProduct;
    plan.outer.resize(bCount);
    for (std::size_t j = 0; j < bCount; ++j) plan.outer[j] = j;
    plan.outerValues = b.values.data();
    plan.inner = a.values.data();
    plan.innerFirst = 0;
    plan.innerLast = n - 1;
    return plan;
  }

  std::vector<std::size_t> bNonzero = nonzeroIndices(b.values.data(), bCount);
  std::vector<std::size_t> aNonzero = nonzeroIndices(a.values.data(), n);
  if (aNonzero.empty() || bNonzero.empty()) return plan;  // no outer index: all zeros

  const std::size_t aWidth = aNonzero.back() - aNonzero.front() + 1;
  const std::size_t bWidth = bNonzero.back() - bNonzero.front() + 1;
  // Loop over the nonzero values of the curve with the narrower support and
  // run along the other, so that the vector runs are long.
  if (bNonzero.size() * aWidth <= aNonzero.size() * bWidth) {
    plan.form = TermForm::kScaledProduct;  // x = b[j], y = a[i-j]
    plan.outer = std::move(bNonzero);
    plan.outerValues = b.values.data();
    plan.inner = a.values.data();
    plan.innerFirst = aNonzero.front();
    plan.innerLast = aNonzero.back();
  } else {
    // Outer k indexes a; j = i - k, so increasing j means decreasing k.
    plan.form = TermForm::kScaledProductSwapped;  // x = a[k], y = b[i-k]
    plan.outer = std::move(aNonzero);
    plan.descending = true;
    plan.outerValues = a.values.data();
    plan.inner = b.values.data();
    plan.innerFirst = bNonzero.front();
    plan.innerLast = bNonzero.back();
  }
  return plan;
}

}  // namespace

bool convolveCurvesCancellable(const SampledCurve& a, const SampledCurve& b, SampledCurve& result,
                               const std::atomic<bool>* cancel) {
  result = SampledCurve(a.size(), a.step);
  if (a.size() == 0) return cancel == nullptr || !cancel->load(std::memory_order_relaxed);
  const ConvolutionPlan plan = planConvolution(a, b);
  return accumulateConvolution(plan, result.values.data(), cancel);
}

SampledCurve convolveCurves(const SampledCurve& a, const SampledCurve& b) {
  SampledCurve result;
  convolveCurvesCancellable(a, b, result, nullptr);
  return result;
}
