#include "model/autoconvolution_calculation.h"

#include <cmath>

#include "model/curve_arithmetic.h"
#include "model/curve_convolution.h"
#include "model/curve_measures.h"
#include "model/single_collision_density.h"

namespace {

bool cancelled(const std::atomic<bool>* cancel) {
  return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

}  // namespace

long double autoconvolutionSetBytes(const AutoconvolutionInputs& inputs) {
  const long double entries = static_cast<long double>(inputs.nc) + 1;
  return entries *
         (static_cast<long double>(inputs.pointCount) * sizeof(double) + sizeof(Autoconvolution));
}

std::optional<AutoconvolutionResult> calculateAutoconvolutions(
    const AutoconvolutionInputs& inputs, const std::function<void(int)>& progress,
    const std::atomic<bool>* cancel) {
  if (cancelled(cancel)) return std::nullopt;

  // All arithmetic below works on the single-precision inputs widened to 64 bits.
  const double step = inputs.step;
  const double emin = inputs.emin;
  const double emax = inputs.emax;
  const auto pointCount = static_cast<std::size_t>(inputs.pointCount);

  AutoconvolutionResult result;
  result.set.reserve(static_cast<std::size_t>(inputs.nc) + 1);
  result.set.emplace_back(pointCount, step);
  result.set.emplace_back(pointCount, step);

  // The zero-collision spike holds 1/step in single precision at point 0.
  setCurvePoint(result.set[0], 0, 1.0f / inputs.step);
  buildCollisionSpectrum(result.set[1], pointCount, step, emin, emax);

  // The log's analytic means take the quotient emax/emin in single precision.
  const float quotient = inputs.emax / inputs.emin;
  const double logQuotient = std::log(static_cast<double>(quotient));

  const SampledCurve& spectrum = result.set[1];
  result.reports.push_back(
      {1, curveIntegral(spectrum),
       firstMoment(spectrum) * (emax - emin) / (emin * emax) * logQuotient / step});

  // Analytic mean loss per collision, in grid points.
  const double meanLossPoints = logQuotient * (emin * emax / (emax - emin)) / step;

  for (int n = 2; n <= inputs.nc; ++n) {
    result.set.emplace_back();
    if (!convolveCurvesCancellable(result.set[n - 1], spectrum, result.set[n], cancel)) {
      return std::nullopt;
    }
    const SampledCurve& entry = result.set[n];
    result.reports.push_back({n, curveIntegral(entry), firstMoment(entry) / (n * meanLossPoints)});
    if (progress) progress(n);
    if (cancelled(cancel)) return std::nullopt;
  }

  result.meanCollisionLoss = logQuotient * (emin * emax / (emax - emin));
  result.collisionDensity =
      static_cast<double>(inputs.stoppingPower) / result.meanCollisionLoss * 1000;
  return result;
}
