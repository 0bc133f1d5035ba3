#pragma once

#include <vector>

#include "state/depth_profile.h"
#include "state/sampled_curve.h"

// Collision weights K0 .. K(count-1) of the profile at collisionRate collisions
// per ug/cm2 (see computeKn). The fast evaluation stays within 1e-13 relative of
// the extended-precision literal form.
std::vector<double> collisionWeights(const DepthProfile& profile, int count, double collisionRate);

// The excitation sum before broadening: starting from zeros of entry 1's size
// and step, for n = 0, 1, ... in order, curve = addCurves(scaleCurve(entry n,
// weights[n]), curve). Needs at least two entries of equal size; bit-identical
// to that loop.
SampledCurve weightedAutoconvolutionSum(const AutoconvolutionSet& set,
                                        const std::vector<double>& weights);

// The Lewis line shape before broadening: the pointwise sum of every entry,
// entry 0 first, times 1/collisionDensity.
SampledCurve lewisLineShape(const AutoconvolutionSet& set, double collisionDensity);
