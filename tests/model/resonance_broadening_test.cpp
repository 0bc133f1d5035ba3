#include "model/resonance_broadening.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "model/curve_measures.h"
#include "support/reference_kernels.h"

namespace {

constexpr double kBeamKev = 1683.3;

// A thick uniform film without straggling: the unbroadened curve is 1 from
// the surface to `lossEv` of energy loss.
SampledCurve thickFilm(double stepEv, double lossEv) {
  const auto inside = static_cast<std::size_t>(lossEv / stepEv);
  SampledCurve curve(inside + 40, stepEv);
  std::fill(curve.values.begin(), curve.values.begin() + inside, 1.0);
  return curve;
}

// A curve with a rising edge, a bump and a long fall: like a buried layer.
SampledCurve layer(std::size_t n, double stepEv) {
  SampledCurve curve(n, stepEv);
  for (std::size_t i = 0; i < n; ++i) {
    const double x = static_cast<double>(i) / n;
    curve.values[i] = (x > 0.2 ? 1.0 : 0.0) * std::exp(-3 * x) * (1 + std::sin(20 * x) / 4);
  }
  return curve;
}

// The whole Lorentzian summed point by point, every input point at every
// output point from the curve's own span (or 10 widths) below its start to
// 10 widths above its end, then scaled as the cut one is.
SampledCurve literalBreitWigner(SampledCurve curve, double w) {
  const double s = curve.step;
  const double before = curveIntegral(curve);
  const std::size_t m = curve.size();
  const double below = std::max(10 * w, static_cast<double>(m) * s);
  const std::size_t n = m + static_cast<std::size_t>(std::ceil((below + 10 * w) / s));
  std::vector<double> out(n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < m; ++j) {
      const double x = (static_cast<double>(i) - static_cast<double>(j)) * s - below;
      out[i] += curve.values[j] / (4 * x * x + w * w);
    }
  }
  const double after = std::accumulate(out.begin(), out.end(), 0.0) * s;
  for (double& v : out) v *= before / after;
  curve.values = out;
  curve.origin += below;
  return curve;
}

// Unit-area Lorentzians of FWHM gammaEv at the given energies above the beam
// energy, tabulated every eV from 1 keV below the first to 1 keV above the last.
ResonanceShape lorentzianPeaks(std::vector<double> aboveEv, double gammaEv) {
  ResonanceShape shape;
  shape.kind = ResonanceKind::File;
  CrossSection& table = shape.crossSection;
  table.file = "peaks.r33";
  for (double u = aboveEv.front() - 1000; u <= aboveEv.back() + 1000; u += 1.0) {
    double sigma = 0.0;
    for (double at : aboveEv) {
      const double x = u - at;
      sigma += (2 * gammaEv / M_PI) / (4 * x * x + gammaEv * gammaEv);
    }
    table.energiesKev.push_back(kBeamKev + u * 0.001);
    table.values.push_back(sigma);
    table.lines.push_back(static_cast<int>(table.lines.size()) + 1);
  }
  return shape;
}

double peakOf(const SampledCurve& curve) {
  return *std::max_element(curve.values.begin(), curve.values.end());
}

struct Grid {
  std::size_t points;
  double step, width;
};

class BreitWigner : public testing::TestWithParam<Grid> {};

TEST_P(BreitWigner, IsTheWholeLorentzianWithin1e13OfThePeak) {
  const Grid g = GetParam();
  SampledCurve fast = layer(g.points, g.step);
  const SampledCurve literal = literalBreitWigner(fast, g.width);
  convolveResonance(fast, {ResonanceKind::BreitWigner, {}}, g.width, kBeamKev);
  ASSERT_EQ(fast.size(), literal.size());
  EXPECT_DOUBLE_EQ(fast.origin, literal.origin);
  double worst = 0.0;
  for (std::size_t i = 0; i < fast.size(); ++i) {
    worst = std::max(worst, std::abs(fast.values[i] - literal.values[i]));
  }
  EXPECT_LT(worst, 1e-13 * peakOf(literal));
  // The tails the cut drops: far below the layer the whole line is not 0.
  SampledCurve cut = layer(g.points, g.step);
  convolveResonance(cut, {}, g.width, kBeamKev);
  EXPECT_EQ(cut.values[0], 0.0);
  EXPECT_GT(fast.values[0], 0.0);
}

INSTANTIATE_TEST_SUITE_P(Grids, BreitWigner,
                         testing::Values(Grid{300, 4.03, 100.0}, Grid{1000, 6.43, 100.0},
                                         Grid{257, 10.0, 7.5}, Grid{64, 1.0, 50.0}));

TEST(Lorentzian, IsCalculatesCutLorentzianBitForBit) {
  SampledCurve fast = layer(700, 6.43);
  SampledCurve literal = fast;
  convolveResonance(fast, ResonanceShape{}, 100.0, kBeamKev);
  reference::convolveLorentzian(literal, 100.0);
  EXPECT_EQ(reference::bitDifference(fast.values, literal.values), "");
  EXPECT_EQ(fast.origin, literal.origin);
}

TEST(CrossSectionShape, TwoEqualResonancesMakeASecondPlateauTwiceTheFirst) {
  // 8 keV of film; peaks of 20 eV at the beam energy and 2 keV above it.
  const double step = 10.0;
  SampledCurve curve = thickFilm(step, 8000.0);
  convolveResonance(curve, lorentzianPeaks({0.0, 2000.0}, 20.0), 100.0, kBeamKev);
  const auto meanOver = [&](double fromEv, double toEv) {
    double sum = 0.0;
    int count = 0;
    for (std::size_t i = 0; i < curve.size(); ++i) {
      const double loss = i * step - curve.origin;
      if (loss >= fromEv && loss <= toEv) {
        sum += curve.values[i];
        ++count;
      }
    }
    return sum / count;
  };
  const double first = meanOver(500.0, 1500.0);
  const double second = meanOver(3000.0, 7000.0);
  // The film seen through one unit-area line: its plateau is the film's own 1.
  EXPECT_NEAR(first, 1.0, 0.02);
  EXPECT_NEAR(second / first, 2.0, 0.02);
  // Below the first resonance the film is not seen.
  EXPECT_LT(meanOver(-900.0, -500.0), 0.01);
}

// Below the resonance a thick film is seen through the line's tail alone:
// the Lorentzian's area over the film's losses, (atan(2(d + T)/w) -
// atan(2d/w))/pi at d below (here 3 keV, 30 widths) for a film T thick, over
// its plateau's, (atan(2(T - x)/w) + atan(2x/w))/pi at x inside.
TEST(BreitWigner, TailFarBelowTheResonanceIsTheThickTargetLorentzians) {
  const double step = 10.0;
  const double w = 100.0;
  SampledCurve curve = thickFilm(step, 8000.0);
  convolveResonance(curve, {ResonanceKind::BreitWigner, {}}, w, kBeamKev);
  const auto at = [&](double lossEv) {
    return curve.values[static_cast<std::size_t>(std::lround((lossEv + curve.origin) / step))];
  };
  const double film = 8000.0;
  const double x = 4000.0;
  const double d = 3000.0;
  const double tail = (std::atan(2 * (d + film) / w) - std::atan(2 * d / w)) /
                      (std::atan(2 * (film - x) / w) + std::atan(2 * x / w));
  EXPECT_NEAR(at(-d) / at(x), tail, 0.02 * tail);
}

// A cross section that misses every energy the set's curves reach, and a
// peak narrower than a step, which keeps its area.
TEST(CrossSectionShape, RefusesATableAwayFromTheBeamAndIntegratesANarrowPeak) {
  ResonanceShape far = lorentzianPeaks({0.0}, 20.0);
  for (double& e : far.crossSection.energiesKev) e -= 1532.3;  // 151 keV, a set's 1683.3
  const std::optional<std::string> problem =
      crossSectionProblem(far.crossSection, 4.0, 1000, 100.0, kBeamKev);
  ASSERT_TRUE(problem);
  EXPECT_NE(problem->find("peaks.r33: the cross section covers 150"), std::string::npos) << *problem;
  EXPECT_NE(problem->find("(beam energy 1683.3 keV) reach only 1675.3-1688.3 keV"), std::string::npos) << *problem;
  EXPECT_FALSE(crossSectionProblem(lorentzianPeaks({0.0}, 20.0).crossSection, 4.0, 1000, 100.0, kBeamKev));

  // A triangle 2 eV wide of unit area, on a grid of 50 eV: the film's plateau
  // is its area whatever the step.
  ResonanceShape narrow;
  narrow.kind = ResonanceKind::File;
  narrow.crossSection.file = "narrow.r33";
  narrow.crossSection.energiesKev = {kBeamKev + 0.010, kBeamKev + 0.011, kBeamKev + 0.012};
  narrow.crossSection.values = {0.0, 1.0, 0.0};
  narrow.crossSection.lines = {1, 2, 3};
  SampledCurve curve = thickFilm(50.0, 8000.0);
  convolveResonance(curve, narrow, 100.0, kBeamKev);
  const double plateau =
      curve.values[static_cast<std::size_t>(std::lround((4000.0 + curve.origin) / 50.0))];
  EXPECT_NEAR(plateau, 1.0, 1e-9);
}

// A cross section rising linearly across the kernel's steps: each value is
// the integral of the ramp over its step, sigma(u) = u/1000 per eV above the
// beam energy, so step s around u gives s*u/1000.
TEST(CrossSectionShape, KernelIsTheTablesIntegralOverEachStep) {
  ResonanceShape ramp;
  ramp.kind = ResonanceKind::File;
  ramp.crossSection.file = "ramp.r33";
  ramp.crossSection.energiesKev = {kBeamKev, kBeamKev + 0.4};
  ramp.crossSection.values = {0.0, 0.4};
  ramp.crossSection.lines = {1, 2};
  const double step = 20.0;
  const double below = twoSidedReachBelowEv(100.0, step, 10);
  const std::vector<double> kernel = twoSidedKernel(ramp, 10, 80, step, 100.0, below, kBeamKev);
  for (std::size_t k = 0; k < kernel.size(); ++k) {
    const double u = (static_cast<double>(k) - 9.0) * step - below;  // eV above the beam energy
    if (u - step / 2 < 0.0 || u + step / 2 > 400.0) continue;        // steps across the ends
    EXPECT_NEAR(kernel[k], step * u / 1000.0, 1e-9) << u;
  }
}

}  // namespace
