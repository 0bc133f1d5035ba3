#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

#include "fit/fit_error.h"
#include "fit/free_form_inversion.h"
#include "fit/layer_fit.h"
#include "fit/layer_fit_evaluator.h"
#include "fit/model_check.h"
#include "support/jacobian_check.h"
#include "support/measured_data.h"
#include "support/small_start_up_set.h"

namespace {

// One layer seen by two measurements of the same beam, noiseless counts
// peaking near 2000 in the first; the second counts twice as long (its
// multiplier is twice the first's).
struct TwoMeasurements {
  SampleModel truth;
  SampleProblem problem;
  double multiplier = 0.0;  // the first measurement's

  TwoMeasurements() {
    truth.maxDepth = 1.5;
    LayerModel layer;
    layer.from = {0.3, true, 0.0, 1.5};
    layer.to = {0.6, true, 0.0, 1.5};
    truth.layers = {layer};
    truth.multiplier = {1.0, true, 0.0, 1e9};
    MeasuredData data{&smallStartUpSet(60), 151.0, startUpCollisionRate(), {}};
    for (int j = 0; j < 60; ++j) data.points.push_back({150.85f + 0.0125f * j, 0.0f, 0.0f});
    const SampleProblem bare = problemFor(truth, data);
    const std::vector<FittedPoint> curve = evaluateProblem(bare).residuals;
    double peak = 0.0;
    for (const FittedPoint& point : curve) peak = std::max(peak, point.fitted);
    multiplier = 2000.0 / peak;
    problem.sample = truth;
    for (const double counting : {1.0, 2.0}) {
      Measurement m = bare.measurements.front();
      m.name = counting == 1.0 ? "short" : "long";
      for (std::size_t j = 0; j < m.points.size(); ++j) {
        m.points[j].yield = static_cast<float>(std::round(counting * multiplier * curve[j].fitted));
      }
      m.model.multiplier.value = 1.5 * multiplier;
      problem.measurements.push_back(m);
    }
    problem.sample.layers[0].from.value = 0.35;
    problem.sample.layers[0].to.value = 0.55;
  }
};

TEST(JointProblem, TwoMeasurementsAddTheirChi2AndShareTheSample) {
  const TwoMeasurements c;
  double separate = 0.0;
  for (const Measurement& m : c.problem.measurements) {
    separate += evaluateProblem({c.problem.sample, {m}}).chi2;
  }
  const FitResult joint = evaluateProblem(c.problem);
  EXPECT_EQ(joint.chi2, separate);
  EXPECT_EQ(joint.points, 120);

  const FitResult fit = fitProblem(c.problem);
  ASSERT_TRUE(fit.converged);
  EXPECT_EQ(fit.freeParameters, 4);
  EXPECT_NEAR(fit.joint.sample.layers[0].from.value, 0.3, 0.003);
  EXPECT_NEAR(fit.joint.sample.layers[0].to.value, 0.6, 0.003);
  double multipliers[2] = {};
  for (const EstimatedValue& p : fit.parameters) {
    if (p.name == "short.multiplier") multipliers[0] = p.value;
    if (p.name == "long.multiplier") multipliers[1] = p.value;
  }
  EXPECT_NEAR(multipliers[0], c.multiplier, 0.01 * c.multiplier);
  EXPECT_NEAR(multipliers[1] / multipliers[0], 2.0, 1e-3);
}

// The analytic Jacobian of a joint problem against central differences: the
// second measurement tilted, the background shared by both, each its own
// multiplier, shift and Gaussian width, every layer parameter free.
TEST(JointProblem, JacobianOfSharedOwnAndTiltedParametersMatchesDifferences) {
  TwoMeasurements c;
  SampleProblem problem = c.problem;
  LayerModel& layer = problem.sample.layers[0];
  layer.concentration = {0.8, true, 0.0, 2.0};
  layer.topWidth = {0.02, true, 0.0, 1.0};
  layer.bottomWidth = {0.03, true, 0.0, 1.0};
  problem.measurements[1].model.tilt = 60.0;
  for (Measurement& m : problem.measurements) {
    m.model.shared[measurementSlot(ParameterKind::Background)] = true;
    m.model.background = {3.0, true, 0.0, 100.0};
    m.model.energyShift = {0.01, true, -0.05, 0.05};
    m.model.gaussianWidth = {120.0, true, 10.0, 1000.0};
  }
  LayerFitEvaluator evaluator(problem);
  const std::vector<double> x = evaluator.startValues();
  const std::size_t p = x.size();
  ASSERT_EQ(p, 5u + 1u + 2u * 3u);
  expectJacobianMatchesDifferences(evaluator, evaluator.rowCount(), 2e-4);
}

// A profile for all curves, each measurement with its own background: the
// result holds each one's fitted background, not the first one's for all.
TEST(JointProblem, FreeFormFitsEachMeasurementsOwnBackground) {
  TwoMeasurements c;
  SampleProblem problem = c.problem;
  problem.sample.layers.clear();
  const double truth[2] = {4.0, 60.0};
  std::mt19937_64 generator(5);
  for (std::size_t t = 0; t < 2; ++t) {
    Measurement& m = problem.measurements[t];
    m.model.multiplier = {c.multiplier * (t + 1.0), false};
    m.model.background = {20.0, true, 0.0, 1e4};
    for (ExperimentalPoint& point : m.points) point.yield += static_cast<float>(truth[t]);
  }
  const InversionResult result = invertProblem(problem, {1e-2, 0}, generator);
  ASSERT_EQ(result.joint.measurements.size(), 2u);
  for (std::size_t t = 0; t < 2; ++t) {
    EXPECT_NEAR(result.joint.measurements[t].background.value, truth[t], 0.1 * truth[t] + 3.0) << t;
  }
  EXPECT_EQ(result.background, result.joint.measurements[0].background.value);
}

// Beside other measurements each needs a name its parameters' names can
// carry, and each its collision rate.
TEST(JointProblem, RefusesNamesAndRatesItCannotUse) {
  const struct {
    void (*spoil)(SampleProblem&);
    const char* message;
  } cases[] = {
      {[](SampleProblem& p) { p.measurements[1].name = "tilted.70"; },
       "A measurement's name is a word without dots or spaces, not \"tilted.70\"."},
      {[](SampleProblem& p) { p.measurements[1].name = "short"; },
       "Two measurements are named short."},
      {[](SampleProblem& p) { p.measurements[1].collisionRate = 0.0; },
       "The collision rate must be a positive number."},
      {[](SampleProblem& p) { p.measurements[0].set = nullptr; },
       "There are no autoconvolutions to fit with: calculate or load them first."},
  };
  for (const auto& c : cases) {
    SampleProblem problem = TwoMeasurements().problem;
    EXPECT_EQ(problemFault(problem), std::nullopt);
    c.spoil(problem);
    EXPECT_EQ(problemFault(problem), std::optional<std::string>(c.message));
    EXPECT_THROW(fitProblem(problem), FitError) << c.message;
  }
}

}  // namespace
