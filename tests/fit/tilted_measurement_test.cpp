#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "fit/layer_fit.h"
#include "support/tilted_layers.h"

namespace {

using namespace synthetic;

double largestDifference(const std::vector<double>& a, const std::vector<double>& b) {
  double worst = 0.0;
  for (std::size_t j = 0; j < a.size(); ++j) worst = std::max(worst, std::fabs(a[j] - b[j]));
  return worst;
}

double peakOf(const std::vector<double>& values) {
  return *std::max_element(values.begin(), values.end());
}

std::vector<double> fittedYields(const FitResult& result) {
  std::vector<double> yields;
  for (const FittedPoint& p : result.residuals) yields.push_back(p.fitted);
  return yields;
}

// A two-layer model with soft edges and a contamination layer.
SampleModel layered() {
  SampleModel model = baseModel(0.02);
  LayerModel first;
  first.from = {0.05};
  first.to = {0.2};
  first.topWidth = {0.01};
  first.bottomWidth = {0.03};
  LayerModel second;
  second.from = {0.3};
  second.to = {0.42};
  second.concentration = {0.4};
  model.layers = {first, second};
  model.multiplier = {1000.0};
  model.background = {3.0};
  return model;
}

// Every depth of the model (and its grid) divided by cos(tilt): the sample
// as the tilted beam meets it along its path.
SampleModel stretched(SampleModel model, double tilt) {
  const double f = pathStretch(tilt);
  model.maxDepth *= f;
  model.step *= f;
  model.contamination *= f;
  for (LayerModel& l : model.layers) {
    for (FitParameter* p : {&l.from, &l.to, &l.topWidth, &l.bottomWidth}) p->value *= f;
  }
  return model;
}

class TiltedMeasurement : public testing::TestWithParam<double> {};

// A tilted measurement of a sample is the normal-incidence measurement of the
// sample stretched by 1/cos(tilt) (whose amount, and so the integrated
// yield, is 1/cos(tilt) times the sample's): the same numbers, but for the
// rounding of the stretched depths, within 1e-12 of the curve's peak.
TEST_P(TiltedMeasurement, IsTheNormalMeasurementOfTheStretchedSample) {
  const double tilt = GetParam();
  const SampleModel model = layered();
  MeasuredData data = problemOf(measure(std::vector<double>(80, 0.0), 1.0, 0.0, 1));
  SampleModel tilted = model;
  tilted.tilt = tilt;
  const std::vector<double> seen = fittedYields(evaluateProblem(problemFor(tilted, data)));
  const std::vector<double> expected =
      fittedYields(evaluateProblem(problemFor(stretched(model, tilt), data)));
  ASSERT_EQ(seen.size(), expected.size());
  EXPECT_LE(largestDifference(seen, expected), 1e-12 * peakOf(expected)) << tilt;
  // The derived quantities stay the sample's: depth, not path.
  const FitResult result = evaluateProblem(problemFor(tilted, data));
  const FitResult normal = evaluateProblem(problemFor(model, data));
  for (std::size_t k = 0; k < normal.derived.size(); ++k) {
    EXPECT_EQ(result.derived[k].value, normal.derived[k].value) << result.derived[k].name;
  }
}

// Against Calculate's own curve (the desktop's sums, not the fit's) of the
// layers drawn with the line tool at depths times 1/cos(tilt), on a grid
// stretched alike: the tilted forward model of the drawn sample agrees
// within 1e-9 of the peak.
TEST_P(TiltedMeasurement, AgreesWithCalculateOfAProfileDrawnStretched) {
  const double tilt = GetParam();
  const std::vector<double> forward = tiltedCurve(drawnSharp(kCloseLayers), tilt);
  const std::vector<double> drawnStretched =
      calculatedCurve(drawnSharp(kCloseLayers, pathStretch(tilt)), measuredEnergies());
  EXPECT_LE(largestDifference(forward, drawnStretched), 1e-9 * peakOf(drawnStretched)) << tilt;
}

INSTANTIATE_TEST_SUITE_P(Tilts, TiltedMeasurement, testing::Values(30.0, 60.0, 70.0, 85.0));

// At normal incidence the forward model is what it always was, to the bit.
TEST(TiltedMeasurementAtZero, LeavesTheCurveBitIdentical) {
  const DepthProfile profile = drawnSharp(kCloseLayers);
  const AutoconvolutionSet& set = smallSet();
  ForwardModelSettings settings;
  settings.beamEnergyKev = kBeamKev;
  settings.collisionRate = rate();
  const ForwardModel model(set, settings, measuredEnergies());
  EXPECT_EQ(model.values(profile),
            model.values(collisionWeights(profile, static_cast<int>(set.size()), rate())));
}

}  // namespace
