#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "state/depth_profile.h"
#include "state/sampled_curve.h"

// Plain copies of the hot kernels, loop for loop in their defining order, with
// nothing skipped, tabulated or split. The fast kernels must match them bit for bit.
namespace reference {

SampledCurve convolveCurves(const SampledCurve& a, const SampledCurve& b);
void convolveGaussian(SampledCurve& curve, double widthEv);
void convolveLorentzian(SampledCurve& curve, double widthEv);
// Only the extended-precision form; no logarithmic fallback.
double computeKn(const DepthProfile& profile, int k, double collisionRate);
// The excitation sum: from zeros of entry 1's size and step, for n in order,
// curve = addCurves(scaleCurve(entry n, weights[n]), curve).
SampledCurve weightedAutoconvolutionSum(const AutoconvolutionSet& set,
                                        const std::vector<double>& weights);

// Empty when both hold the same doubles bit for bit (any NaN matches any NaN);
// otherwise where and how they first differ.
std::string bitDifference(const std::vector<double>& fast, const std::vector<double>& literal);

}  // namespace reference
