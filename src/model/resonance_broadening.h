#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "state/resonance_shape.h"
#include "state/sampled_curve.h"

// The resonance's line shape applied to a curve on the Lorentzian's grid:
// whatever the shape, the curve grows by ceil(20w/step) points and its origin
// by 10w (w the Lorentzian width), so that a resonance at the set's beam
// energy lands where the cut Lorentzian puts it.
//   Lorentzian:   convolveLorentzian, bit for bit.
//   BreitWigner:  out[i] = sum over every input point j of v[j] / (4x^2 + w^2),
//                 x = (i - j)*step - 10w, then scaled to keep the integral as
//                 the cut Lorentzian does.
//   File:         out[i] = step * sum over j of v[j] * sigma(E_b + x/1000), sigma
//                 interpolated linearly in the table and 0 outside it; not
//                 scaled: the curve carries the cross section's unit.
// The two-sided shapes are summed by a fast transform: values agree with the
// literal sums to about 1e-13 of the curve's peak (negative rounding noise of
// a non-negative sum is set to 0).
void convolveResonance(SampledCurve& curve, const ResonanceShape& shape, double lorentzianWidthEv,
                       double beamEnergyKev);

// The kernel of a two-sided shape (BreitWigner or File) for inputPoints points
// broadened onto outputPoints: its value at offset d = i - j is
// kernel[d + inputPoints - 1], d = -(inputPoints-1) .. outputPoints-1.
std::vector<double> twoSidedKernel(const ResonanceShape& shape, std::size_t inputPoints,
                                   std::size_t outputPoints, double stepEv,
                                   double lorentzianWidthEv, double beamEnergyKev);

// out[i] = sum over j of v[j] * kernel[i - j + v.size() - 1], i = 0 .. outputPoints-1,
// by a fast transform; the kernel holds outputPoints + v.size() - 1 values.
std::vector<double> twoSidedConvolution(const std::vector<double>& v,
                                        const std::vector<double>& kernel,
                                        std::size_t outputPoints);

// Why a cross section cannot be used on a curve of this step, naming its file
// and line: fewer than two points, or energies spanning less than one step.
std::optional<std::string> crossSectionProblem(const CrossSection& table, double stepEv);
