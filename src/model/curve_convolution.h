#pragma once

#include "state/sampled_curve.h"

// Direct discrete convolution R[i] = sum_{j=0..i} (b[j]*a[i-j])*b.step, the terms
// of each output added in increasing j. R has a's length and step, origin 0;
// whatever would fall beyond a's last point is dropped. b must be at least as
// long as a. Exactly-zero terms are skipped and the work is spread over the
// cores; the result is bit-identical to the plain double loop.
SampledCurve convolveCurves(const SampledCurve& a, const SampledCurve& b);

#include <atomic>

// As convolveCurves, checking `cancel` as it goes; false (result unspecified)
// when it was cancelled.
bool convolveCurvesCancellable(const SampledCurve& a, const SampledCurve& b, SampledCurve& result,
                               const std::atomic<bool>* cancel);
