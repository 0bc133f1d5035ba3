#pragma once

#include <cstddef>

#include "state/sampled_curve.h"

// R[i] = factor * a[i]; a's length and step, origin 0.
SampledCurve scaleCurve(const SampledCurve& a, double factor);
// R[i] = b[i] + a[i] over a's length; a's step, origin 0. b must be at least as long as a.
SampledCurve addCurves(const SampledCurve& a, const SampledCurve& b);
// Keeps the first min(size, pointCount) values and appends zeros up to pointCount.
void resizeCurve(SampledCurve& curve, std::size_t pointCount);
// v[index] = value widened to 64 bits.
void setCurvePoint(SampledCurve& curve, std::size_t index, float value);
