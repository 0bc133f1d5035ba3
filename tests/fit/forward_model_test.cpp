#include "fit/forward_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/collision_weights.h"
#include "model/excitation_calculation.h"
#include "model/lewis_broadening.h"
#include "model/profile_editing.h"
#include "support/small_start_up_set.h"

namespace {

constexpr double kBeamKev = 151.0;

const AutoconvolutionSet& smallSet() {
  return smallStartUpSet(40);
}

double rate() {
  return startUpCollisionRate();
}

DepthProfile buriedLayer() {
  DepthProfile profile = DepthProfile::forMaximumDepth(1.0, 0.005);
  drawProfileLine(profile, 0.2, 1.0, 0.5, 0.6);
  return profile;
}

// Calculate's curve, interpolated where the main chart draws its points.
std::vector<double> calculated(const DepthProfile& profile, const ForwardModelSettings& settings,
                               const std::vector<double>& energies) {
  const AutoconvolutionSet& set = smallSet();
  SampledCurve curve = weightedAutoconvolutionSum(
      set, collisionWeights(profile, static_cast<int>(set.size()), settings.collisionRate));
  if (settings.convolve) {
    convolveLorentzian(curve, settings.lorentzianWidthEv);
    convolveGaussian(curve, settings.gaussianWidthEv);
  }
  std::vector<double> values;
  for (double e : energies) {
    const double x = e + settings.energyShiftKev;
    double value = 0.0;
    for (std::size_t i = 0; i + 1 < curve.size(); ++i) {
      const double x0 = settings.beamEnergyKev + (i * curve.step - curve.origin) * 0.001;
      const double x1 = settings.beamEnergyKev + ((i + 1) * curve.step - curve.origin) * 0.001;
      if (x >= x0 && x <= x1) {
        value = curve.values[i] + (x - x0) / (x1 - x0) * (curve.values[i + 1] - curve.values[i]);
        break;
      }
    }
    values.push_back(value);
  }
  return values;
}

struct Case {
  bool convolve;
  double lorentzian, gaussian, shift;
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << (c.convolve ? "broadened " : "unbroadened ") << c.lorentzian << "/" << c.gaussian
       << " eV, shift " << c.shift;
}

class ForwardModelAgainstCalculate : public testing::TestWithParam<Case> {};

TEST_P(ForwardModelAgainstCalculate, SameCurveWithin1e12OfItsPeak) {
  const Case c = GetParam();
  const ForwardModelSettings settings{kBeamKev,     rate(),     c.convolve,
                                      c.lorentzian, c.gaussian, c.shift};
  // From before the curve to past its end, the Gaussian's added tail included.
  std::vector<double> energies;
  for (double e = 144.0; e < 160.0; e += 0.0373) energies.push_back(e);
  const ForwardModel model(smallSet(), settings, energies);
  const DepthProfile profile = buriedLayer();
  const std::vector<double> expected = calculated(profile, settings, energies);
  const std::vector<double> got = model.values(profile);
  const double peak = *std::max_element(expected.begin(), expected.end());
  ASSERT_GT(peak, 0.0);
  int inside = 0;
  for (std::size_t j = 0; j < energies.size(); ++j) {
    EXPECT_NEAR(got[j], expected[j], 1e-12 * peak) << "at " << energies[j] << " keV";
    inside += model.covers(j);
  }
  EXPECT_GT(inside, 10);
  EXPECT_LT(inside, static_cast<int>(energies.size()));
}

INSTANTIATE_TEST_SUITE_P(Broadenings, ForwardModelAgainstCalculate,
                         testing::Values(Case{false, 100, 100, 0.0}, Case{true, 100, 100, 0.0},
                                         Case{true, 37.5, 260, -0.35}, Case{true, 400, 20, 0.5}));

TEST(ForwardModel, DerivativesAlongAProfileAndTheShiftMatchDifferences) {
  std::vector<double> energies;
  for (double e = 151.0; e < 152.5; e += 0.05) energies.push_back(e);
  const ForwardModelSettings settings{kBeamKev, rate(), true, 80, 120, 0.013};
  const ForwardModel model(smallSet(), settings, energies);
  const DepthProfile profile = buriedLayer();
  DepthProfile direction = DepthProfile::forMaximumDepth(1.0, 0.005);
  drawProfileLine(direction, 0.45, -0.3, 0.7, 0.8);

  const double h = 1e-4;
  DepthProfile plus = profile;
  DepthProfile minus = profile;
  for (std::size_t i = 0; i < profile.values.size(); ++i) {
    plus.values[i] += h * direction.values[i];
    minus.values[i] -= h * direction.values[i];
  }
  const std::vector<double> weights = model.weights(profile);
  const std::vector<double> analytic = model.derivative(weights, model.weights(direction));
  const std::vector<double> up = model.values(plus);
  const std::vector<double> down = model.values(minus);

  ForwardModelSettings shifted = settings;
  const double dShift = 1e-6;
  shifted.energyShiftKev += dShift;
  const std::vector<double> shiftUp = ForwardModel(smallSet(), shifted, energies).values(profile);
  const std::vector<double> atShift = model.values(weights);
  const std::vector<double> shiftAnalytic = model.shiftDerivative(weights);

  const double peak = *std::max_element(atShift.begin(), atShift.end());
  for (std::size_t j = 0; j < energies.size(); ++j) {
    EXPECT_NEAR(analytic[j], (up[j] - down[j]) / (2 * h), 1e-7 * peak);
    EXPECT_NEAR(shiftAnalytic[j], (shiftUp[j] - atShift[j]) / dShift, 1e-2 * peak);
  }
}

}  // namespace
