#include "commands/excitation_commands.h"

#include <gtest/gtest.h>

#include <cmath>

#include "commands/autoconvolution_commands.h"
#include "commands/command_error.h"
#include "model/curve_measures.h"
#include "scripted_user_interface.h"

namespace {

// A fixture holding a calculated set: start texts, Nc 20.
struct CalculatedFixture : CommandFixture {
  CalculatedFixture() {
    texts.calculationParameters.nc = "20";
    startCalculation(context);
  }
};

void fillLayer(DepthProfile& profile, int from, int to, double concentration) {
  for (int i = from; i < to; ++i) profile.values[i] = concentration;
}

TEST(CalculateExcitation, AnAllZeroProfileGivesAFlatCurveWithoutBroadening) {
  CalculatedFixture f;
  f.state.parameterBlock.background = 7.0;
  calculateExcitation(f.context);
  const SampledCurve& curve = f.state.excitationCurve;
  ASSERT_EQ(curve.size(), 1000u);
  for (double v : curve.values) ASSERT_EQ(v, 0.0);
  EXPECT_EQ(curve.origin, 0.0);
  const auto& points = f.charts.main.computedCurve.points;
  ASSERT_EQ(points.size(), 1000u);
  EXPECT_EQ(points.front().x, 151.0);
  EXPECT_DOUBLE_EQ(points.back().x, 151.0 + 999 * curve.step / 1000);
  EXPECT_EQ(points.front().y, 7.0);
  // Nothing to broaden: "Convolving..." is never shown.
  EXPECT_EQ(f.ui.drawStatusHistory,
            (std::vector<std::string>{"Calculating the excitation curve...", "Ready!"}));
}

TEST(CalculateExcitation, ASurfacePointAloneGivesTheScaledSpike) {
  CalculatedFixture f;
  f.texts.drawProfile.convolve = false;
  f.state.currentProfile.values[0] = 1.0;
  calculateExcitation(f.context);
  const SampledCurve& curve = f.state.excitationCurve;
  const SampledCurve& spike = f.state.autoconvolutionSet[0];
  EXPECT_EQ(curve.values[0], 0.005 * spike.values[0]);
  for (std::size_t i = 1; i < curve.size(); ++i) ASSERT_EQ(curve.values[i], 0.0) << i;
  EXPECT_NEAR(curve.values[0], 0.005 / curve.step, 1e-9);
}

TEST(CalculateExcitation, BroadeningMovesTheFirstPointBelowTheBeamEnergy) {
  CalculatedFixture f;
  fillLayer(f.state.currentProfile, 100, 300, 1.0);
  f.state.parameterBlock.lorentzianWidth = 50;
  f.state.parameterBlock.gaussianWidth = 30;
  calculateExcitation(f.context);
  // The layer's back reaches 35 mean collisions, beyond Nc 20: a warning follows "Ready!".
  ASSERT_NE(f.texts.drawProfile.warning, "");
  EXPECT_EQ(f.ui.drawStatusHistory,
            (std::vector<std::string>{"Calculating the excitation curve...", "Convolving...",
                                      "Ready! " + f.texts.drawProfile.warning}));
  const SampledCurve& curve = f.state.excitationCurve;
  EXPECT_GT(curve.size(), 1000u);
  EXPECT_EQ(curve.origin, 10 * 50.0 + 4 * 30.0);
  EXPECT_DOUBLE_EQ(f.charts.main.computedCurve.points.front().x,
                   151.0 - (10 * 50.0 + 4 * 30.0) / 1000);

  // The broadenings keep the area of the sum.
  CalculatedFixture g;
  fillLayer(g.state.currentProfile, 100, 300, 1.0);
  g.texts.drawProfile.convolve = false;
  calculateExcitation(g.context);
  EXPECT_NEAR(curveIntegral(curve), curveIntegral(g.state.excitationCurve),
              1e-12 * curveIntegral(curve));

  // Unbroadened, its area is the sum of the weights, which is the layer's
  // dz * sum(c) when the layer lies well within Nc / rate (about 0.9 ug/cm2 here).
  CalculatedFixture h;
  fillLayer(h.state.currentProfile, 10, 50, 1.0);
  h.texts.drawProfile.convolve = false;
  calculateExcitation(h.context);
  EXPECT_NEAR(curveIntegral(h.state.excitationCurve), 0.005 * 40, 1e-6);
}

TEST(CalculateExcitation, UndoRestoresTheProfileTheCalculationUsed) {
  CalculatedFixture f;
  fillLayer(f.state.currentProfile, 10, 20, 0.5);
  const DepthProfile used = f.state.currentProfile;
  calculateExcitation(f.context);
  fillLayer(f.state.currentProfile, 500, 900, 0.9);
  EXPECT_EQ(f.state.undoProfile, used);
}

TEST(CalculateExcitation, DisplayConstantsChangeOnlyThePlot) {
  CalculatedFixture f;
  fillLayer(f.state.currentProfile, 10, 200, 1.0);
  calculateExcitation(f.context);
  const SampledCurve curve = f.state.excitationCurve;
  const auto before = f.charts.main.computedCurve.points;
  f.state.parameterBlock.multiplier = 3.0;
  f.state.parameterBlock.background = 2.0;
  plotExcitation(f.context);
  EXPECT_EQ(f.state.excitationCurve, curve);
  const auto& after = f.charts.main.computedCurve.points;
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < after.size(); i += 97) {
    EXPECT_EQ(after[i].x, before[i].x);
    EXPECT_EQ(after[i].y, curve.values[i] * 3.0 + 2.0);
  }
}

TEST(CalculateExcitation, EditedFieldsChangeTheWeightsButNotTheSet) {
  CalculatedFixture f;
  fillLayer(f.state.currentProfile, 10, 200, 1.0);
  f.texts.drawProfile.convolve = false;
  calculateExcitation(f.context);
  const SampledCurve first = f.state.excitationCurve;
  const AutoconvolutionSet set = f.state.autoconvolutionSet;
  f.texts.calculationParameters.stoppingPower = "300";
  calculateExcitation(f.context);
  EXPECT_NE(f.state.excitationCurve.values, first.values);
  EXPECT_EQ(f.state.autoconvolutionSet, set);
}

TEST(CalculateExcitation, RefusesWhatItCannotComputeAndKeepsTheCurve) {
  CommandFixture empty;
  EXPECT_NE(commandMessage([&] { calculateExcitation(empty.context); }).find("calculate or load"),
            std::string::npos);

  CalculatedFixture f;
  calculateExcitation(f.context);
  const SampledCurve kept = f.state.excitationCurve;
  const auto keptPoints = f.charts.main.computedCurve.points;
  struct Case {
    std::string CalculationParametersTexts::*field;
    const char* text;
    const char* message;
  };
  for (const Case& c :
       {Case{&CalculationParametersTexts::emin, "0", "Emin must be greater than zero."},
        Case{&CalculationParametersTexts::emax, "1", "Emax must be greater than Emin."},
        Case{&CalculationParametersTexts::stoppingPower, "-4",
             "The stopping power must be greater than zero."},
        Case{&CalculationParametersTexts::emin, "x", "'x' is not a valid floating point value"}}) {
    CalculationParametersTexts saved = f.texts.calculationParameters;
    f.texts.calculationParameters.*c.field = c.text;
    EXPECT_EQ(commandMessage([&] { calculateExcitation(f.context); }), c.message);
    EXPECT_EQ(f.texts.drawProfile.status, std::string("Not calculated: ") + c.message);
    EXPECT_EQ(f.state.excitationCurve, kept);
    EXPECT_EQ(f.charts.main.computedCurve.points, keptPoints);
    f.texts.calculationParameters = saved;
  }
  // Equal cut energies leave no collision spectrum: the mean loss would be 0/0.
  const CalculationParametersTexts saved = f.texts.calculationParameters;
  f.texts.calculationParameters.emax = f.texts.calculationParameters.emin;
  EXPECT_EQ(commandMessage([&] { calculateExcitation(f.context); }),
            "Emax must be greater than Emin.");
  EXPECT_EQ(f.state.excitationCurve, kept);
  f.texts.calculationParameters = saved;
  f.state.parameterBlock.lorentzianWidth = -100;  // would shorten the curve
  EXPECT_EQ(commandMessage([&] { calculateExcitation(f.context); }),
            "The Lorentzian width must be a positive number of eV.");
  f.state.parameterBlock.lorentzianWidth = 100;
  f.state.parameterBlock.gaussianWidth = 0;
  EXPECT_EQ(commandMessage([&] { calculateExcitation(f.context); }),
            "The Gaussian width must be a positive number of eV.");
  f.texts.drawProfile.convolve = false;  // widths only matter when broadening
  calculateExcitation(f.context);
  EXPECT_EQ(f.texts.drawProfile.status, "Ready!");
}

}  // namespace
