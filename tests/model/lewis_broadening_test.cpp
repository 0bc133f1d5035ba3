#include "model/lewis_broadening.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "model/single_collision_density.h"
#include "model/convolution_engine.h"
#include "model/curve_convolution.h"
#include "model/curve_measures.h"
#include "support/reference_kernels.h"

namespace {

// A sum of the first few autoconvolutions of a collision spectrum: positive,
// with a long tail, zero only at the start and the end of the grid.
SampledCurve lineShape(std::size_t n, double step) {
  SampledCurve spectrum(n, step);
  buildCollisionSpectrum(spectrum, n, step, 1.6 * step, 60.0 * step);
  SampledCurve sum = spectrum;
  SampledCurve entry = spectrum;
  for (int k = 2; k <= 4; ++k) {
    entry = convolveCurves(entry, spectrum);
    for (std::size_t i = 0; i < n; ++i) sum.values[i] += entry.values[i] / k;
  }
  return sum;
}

SampledCurve randomCurve(std::size_t n, double step, std::uint64_t seed, double zeroShare) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  SampledCurve curve(n, step);
  for (double& v : curve.values) v = unit(rng) < zeroShare ? 0.0 : unit(rng) - 0.2;
  return curve;
}

void expectGaussianLikeLiteral(SampledCurve curve, double width) {
  SampledCurve literal = curve;
  convolveGaussian(curve, width);
  reference::convolveGaussian(literal, width);
  EXPECT_EQ(reference::bitDifference(curve.values, literal.values), "") << "Gaussian " << width;
  EXPECT_EQ(curve.origin, literal.origin);
}

void expectLorentzianLikeLiteral(SampledCurve curve, double width) {
  SampledCurve literal = curve;
  convolveLorentzian(curve, width);
  reference::convolveLorentzian(literal, width);
  EXPECT_EQ(reference::bitDifference(curve.values, literal.values), "") << "Lorentzian " << width;
  EXPECT_EQ(curve.origin, literal.origin);
}

TEST(LewisBroadening, GridGrowsOriginShiftsAreaStays) {
  SampledCurve curve = lineShape(300, 4.0);
  curve.origin = 12.0;
  const double area = curveIntegral(curve);

  SampledCurve gauss = curve;
  convolveGaussian(gauss, 100.0);
  EXPECT_EQ(gauss.size(), 300u + 200u);
  EXPECT_EQ(gauss.origin, 412.0);
  EXPECT_EQ(gauss.step, 4.0);
  EXPECT_NEAR(curveIntegral(gauss), area, 1e-14 * area);

  SampledCurve lorentz = curve;
  convolveLorentzian(lorentz, 30.0);
  EXPECT_EQ(lorentz.size(), 300u + 150u);
  EXPECT_EQ(lorentz.origin, 312.0);
  EXPECT_NEAR(curveIntegral(lorentz), area, 1e-14 * area);

  // A fractional number of points rounds the growth up.
  SampledCurve odd = curve;
  convolveGaussian(odd, 10.1);
  EXPECT_EQ(odd.size(), 300u + 21u);
}

TEST(LewisBroadening, GaussianOfASpikeHasStandardDeviationHalfTheWidth) {
  // w = 100 eV on a 5 eV grid: delay g = 80 points, sigma = 10 points.
  SampledCurve spike(100, 5.0);
  spike.values[30] = 0.2;
  convolveGaussian(spike, 100.0);
  const std::size_t centre = 30 + 80;
  for (std::size_t k = 1; k <= 30; ++k) {
    EXPECT_EQ(spike.values[centre + k], spike.values[centre - k]) << k;
    EXPECT_LT(spike.values[centre + k], spike.values[centre + k - 1]);
  }
  double total = 0.0;
  double spread = 0.0;
  for (std::size_t i = 0; i < spike.size(); ++i) {
    const double offset = static_cast<double>(i) - static_cast<double>(centre);
    total += spike.values[i];
    spread += offset * offset * spike.values[i];
  }
  EXPECT_NEAR(spread / total, 100.0, 0.5);
}

TEST(LewisBroadening, LorentzianOfASpikeHalvesAtHalfTheWidth) {
  // w = 100 eV on a 5 eV grid: delay 200 points, half maximum 10 points away.
  SampledCurve spike(50, 5.0);
  spike.values[7] = 1.0;
  convolveLorentzian(spike, 100.0);
  const std::size_t centre = 7 + 200;
  EXPECT_NEAR(spike.values[centre] / spike.values[centre + 10], 2.0, 1e-14);
  EXPECT_NEAR(spike.values[centre] / spike.values[centre - 10], 2.0, 1e-14);
  EXPECT_EQ(spike.values[6], 0.0);
}

TEST(LewisBroadening, MatchesTheLiteralDoubleLoop) {
  expectGaussianLikeLiteral(lineShape(300, 4.0), 100.0);
  expectLorentzianLikeLiteral(lineShape(300, 4.0), 100.0);
  expectGaussianLikeLiteral(randomCurve(251, 2.7, 3, 0.5), 37.3);
  expectLorentzianLikeLiteral(randomCurve(251, 2.7, 4, 0.5), 37.3);
  // Widths below the step: fractional delays, kernels a few points wide.
  expectGaussianLikeLiteral(randomCurve(97, 4.0, 5, 0.2), 1.0);
  expectLorentzianLikeLiteral(randomCurve(97, 4.0, 6, 0.2), 1.0);
  expectGaussianLikeLiteral(randomCurve(13, 1.0, 7, 0.9), 0.3);
  // As the program applies them: Lorentzian first, on an unbroadened sum.
  SampledCurve both = lineShape(400, 4.0299934);
  SampledCurve literal = both;
  convolveLorentzian(both, 100.0);
  convolveGaussian(both, 100.0);
  reference::convolveLorentzian(literal, 100.0);
  reference::convolveGaussian(literal, 100.0);
  EXPECT_EQ(reference::bitDifference(both.values, literal.values), "");
}

TEST(LewisBroadening, MatchesTheLiteralLoopAcrossTheThreadingThreshold) {
  // Lorentzian: 1200 + 500 points, about 1.4e6 terms.
  const SampledCurve large = lineShape(1200, 4.0);
  ASSERT_GT(1700u * 1701u / 2, kParallelTermThreshold);
  expectLorentzianLikeLiteral(large, 100.0);
  // Gaussian: the kernel reaches ~23 w, 2300 points here, so almost all
  // 2.6e6 terms are formed.
  expectGaussianLikeLiteral(randomCurve(1500, 2.0, 8, 0.1), 200.0);
}

TEST(LewisBroadening, DegenerateWidthsGiveWhatTheLiteralLoopGives) {
  const SampledCurve curve = randomCurve(60, 2.0, 9, 0.5);
  expectGaussianLikeLiteral(curve, 0.0);
  expectLorentzianLikeLiteral(curve, 0.0);
  SampledCurve infinite = curve;
  infinite.values[20] = std::numeric_limits<double>::infinity();
  expectGaussianLikeLiteral(infinite, 10.0);
  expectLorentzianLikeLiteral(infinite, 10.0);
}

}  // namespace
