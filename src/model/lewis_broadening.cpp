#include "model/lewis_broadening.h"

#include <cmath>
#include <vector>

#include "model/convolution_engine.h"
#include "model/curve_arithmetic.h"
#include "model/curve_measures.h"

namespace {

// T[i] = sum over j <= i of term(kernel[i-j], v[j]), j increasing. The kernel
// depends only on the offset i - j, so it is tabulated once per offset. Terms of
// a zero input point, and (for products) of a zero kernel value, are +-0 and
// change no sum as long as everything is finite; otherwise every term is formed.
std::vector<double> sumOverOffsets(const std::vector<double>& v, const std::vector<double>& kernel,
                                   TermForm form, bool skipZeroKernel) {
  const std::size_t n = v.size();
  std::vector<double> sums(n, 0.0);
  if (n == 0) return sums;

  ConvolutionPlan plan;
  plan.form = form;
  plan.outputCount = n;
  plan.outerValues = v.data();
  plan.inner = kernel.data();

  bool finite = allFinite(v.data(), n) && allFinite(kernel.data(), n);
  if (form == TermForm::kQuotient) {
    for (double d : kernel) finite = finite && d != 0.0;
  }
  if (finite) {
    plan.outer = nonzeroIndices(v.data(), n);
    plan.innerFirst = 0;
    plan.innerLast = n - 1;
    if (skipZeroKernel) {
      const std::vector<std::size_t> live = nonzeroIndices(kernel.data(), n);
      if (live.empty()) return sums;
      plan.innerFirst = live.front();
      plan.innerLast = live.back();
    }
  } else {
    plan.outer.resize(n);
    for (std::size_t j = 0; j < n; ++j) plan.outer[j] = j;
    plan.innerFirst = 0;
    plan.innerLast = n - 1;
  }
  accumulateConvolution(plan, sums.data(), nullptr);
  return sums;
}

}  // namespace

// The grid grows by ceil(extent/step) points; the ceiling and the sum are
// doubles, truncated at the end.
std::size_t broadenedPointCount(double extentEv, double stepEv, std::size_t pointCount) {
  const double grown = std::ceil(extentEv / stepEv) + static_cast<double>(pointCount);
  if (std::isnan(grown)) return pointCount;
  if (grown <= 0.0) return 0;
  return static_cast<std::size_t>(grown);
}

std::vector<double> gaussianKernel(std::size_t n, double stepEv, double widthEv) {
  const double s = stepEv;
  const double w = widthEv;
  const double g = (4 * w) / s;  // the delay in grid points, kept fractional
  std::vector<double> kernel(n);
  for (std::size_t d = 0; d < n; ++d) {
    const double x = (static_cast<double>(d) - g) * s;
    kernel[d] = std::exp((-2 * (x * x)) / (w * w));
  }
  return kernel;
}

std::vector<double> lorentzianDenominators(std::size_t n, double stepEv, double widthEv) {
  const double s = stepEv;
  const double w = widthEv;
  const double g = (10 * w) / s;
  std::vector<double> denominator(n);
  for (std::size_t d = 0; d < n; ++d) {
    const double x = (static_cast<double>(d) - g) * s;
    denominator[d] = 4 * (x * x) + w * w;
  }
  return denominator;
}

void convolveGaussian(SampledCurve& curve, double widthEv) {
  const double s = curve.step;
  const double w = widthEv;
  const double integralBefore = curveIntegral(curve);
  const std::size_t n = broadenedPointCount(8 * w, s, curve.size());
  resizeCurve(curve, n);
  const std::vector<double> kernel = gaussianKernel(n, s, w);
  curve.values = sumOverOffsets(curve.values, kernel, TermForm::kProduct, true);
  normalizeCurveTo(curve, integralBefore);
  curve.origin = curve.origin + 4 * w;
}

void convolveLorentzian(SampledCurve& curve, double widthEv) {
  const double s = curve.step;
  const double w = widthEv;
  const double integralBefore = curveIntegral(curve);
  const std::size_t n = broadenedPointCount(20 * w, s, curve.size());
  resizeCurve(curve, n);
  // The denominators, one per offset; each term stays a division.
  const std::vector<double> denominator = lorentzianDenominators(n, s, w);
  curve.values = sumOverOffsets(curve.values, denominator, TermForm::kQuotient, false);
  normalizeCurveTo(curve, integralBefore);
  curve.origin = curve.origin + 10 * w;
}
