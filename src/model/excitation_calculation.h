#pragma once

#include <vector>

#include "model/collision_weights.h"
#include "state/depth_profile.h"
#include "state/sampled_curve.h"

// The excitation sum before broadening: starting from zeros of entry 1's size
// and step, for n = 0, 1, ... in order, curve = addCurves(scaleCurve(entry n,
// weights[n]), curve). Needs at least two entries of equal size; bit-identical
// to that loop.
SampledCurve weightedAutoconvolutionSum(const AutoconvolutionSet& set,
                                        const std::vector<double>& weights);

// The Lewis line shape before broadening: the pointwise sum of every entry,
// entry 0 first, times 1/collisionDensity.
SampledCurve lewisLineShape(const AutoconvolutionSet& set, double collisionDensity);
