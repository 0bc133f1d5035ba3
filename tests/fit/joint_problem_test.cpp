#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "fit/layer_fit.h"
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
    FitProblem data{&smallStartUpSet(60), 151.0, startUpCollisionRate(), {}};
    for (int j = 0; j < 60; ++j) data.points.push_back({150.85f + 0.0125f * j, 0.0f, 0.0f});
    const SampleProblem bare = sampleProblemOf(truth, data);
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
  EXPECT_NEAR(fit.model.layers[0].from.value, 0.3, 0.003);
  EXPECT_NEAR(fit.model.layers[0].to.value, 0.6, 0.003);
  double multipliers[2] = {};
  for (const EstimatedValue& p : fit.parameters) {
    if (p.name == "short.multiplier") multipliers[0] = p.value;
    if (p.name == "long.multiplier") multipliers[1] = p.value;
  }
  EXPECT_NEAR(multipliers[0], c.multiplier, 0.01 * c.multiplier);
  EXPECT_NEAR(multipliers[1] / multipliers[0], 2.0, 1e-3);
}

}  // namespace
