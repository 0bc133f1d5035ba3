#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "state/resonance_shape.h"
#include "state/sampled_curve.h"

// The resonance's line shape applied to a curve. The cut Lorentzian grows
// the curve by ceil(20w/step) points and its origin by 10w (w the Lorentzian
// width). A two-sided shape reaches further below the beam energy, by
// R = twoSidedReachBelowEv (the curve is zero-padded there, not cut), and
// 10w above its end: the curve grows by ceil((R + 10w)/step) points and its
// origin by R.
//   Lorentzian:   convolveLorentzian, bit for bit.
//   BreitWigner:  out[i] = sum over every input point j of v[j] / (4x^2 + w^2),
//                 x = (i - j)*step - R, then scaled to keep the integral as
//                 the cut Lorentzian does.
//   File:         out[i] = sum over j of v[j] * (the integral of sigma(E_b + u/1000)
//                 over the step around u = x, in eV), sigma linear between
//                 the table's points and 0 outside it, so that a peak
//                 narrower than a step keeps its area; not scaled: the curve
//                 carries the cross section's unit.
// The two-sided shapes are summed by a fast transform: values agree with the
// literal sums to about 1e-13 of the curve's peak (negative rounding noise of
// a non-negative sum is set to 0).
void convolveResonance(SampledCurve& curve, const ResonanceShape& shape, double lorentzianWidthEv,
                       double beamEnergyKev);

// How far below the beam energy a two-sided shape carries a curve of
// `points` points (eV): ten Lorentzian widths, or the curve's own span when
// that is further, so that the tails reach every energy as far below the
// resonance as the set's depths reach above it.
double twoSidedReachBelowEv(double lorentzianWidthEv, double stepEv, std::size_t points);

// The kernel of a two-sided shape (BreitWigner or File) for inputPoints points
// broadened onto outputPoints, reaching reachBelowEv below the beam energy: its
// value at offset d = i - j is kernel[d + inputPoints - 1],
// d = -(inputPoints-1) .. outputPoints-1.
std::vector<double> twoSidedKernel(const ResonanceShape& shape, std::size_t inputPoints,
                                   std::size_t outputPoints, double stepEv,
                                   double lorentzianWidthEv, double reachBelowEv,
                                   double beamEnergyKev);

// out[i] = sum over j of v[j] * kernel[i - j + v.size() - 1], i = 0 .. outputPoints-1,
// by a fast transform; the kernel holds outputPoints + v.size() - 1 values.
std::vector<double> twoSidedConvolution(const std::vector<double>& v,
                                        const std::vector<double>& kernel,
                                        std::size_t outputPoints);

// Why a cross section cannot be used on a curve of `points` points of this
// step, naming its file and line: fewer than two points, energies spanning
// less than one step, or energies that miss every energy the kernel samples
// around the set's beam energy (both ranges named).
std::optional<std::string> crossSectionProblem(const CrossSection& table, double stepEv,
                                               std::size_t points, double lorentzianWidthEv,
                                               double beamEnergyKev);
