#pragma once

#include "state/sampled_curve.h"

// step * sum(values), the sum running in increasing index order in 64 bits.
double curveIntegral(const SampledCurve& curve);
// Mean position in grid points: sum(i*step*v[i]) / curveIntegral.
double firstMoment(const SampledCurve& curve);
// v[i] = v[i] / (S*step), S = sum(values): afterwards curveIntegral == 1.
void normalizeCurve(SampledCurve& curve);
// v[i] = v[i] / (S*step/target).
void normalizeCurveTo(SampledCurve& curve, double target);
