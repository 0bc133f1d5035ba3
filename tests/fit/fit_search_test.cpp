#include "fit/fit_search.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/synthetic_layers.h"

namespace {

using namespace synthetic;

// Two layers, every position free: the further starts lie within the bounds,
// keep the layers in depth order, follow their seed and no other thing.
TEST(FitSearch, FurtherStartsKeepBoundsAndLayerOrderAndFollowTheSeed) {
  const CoverageCase& c = kHardSamples[0];
  const Synthetic s = synthesise(c.sample);
  const SampleModel model = coverageStart(c, s.multiplier);
  LayerFitEvaluator evaluator(problemFor(model, problemOf(measure(s.curve, s.multiplier, 2, 1))));
  LeastSquaresProblem lsq;
  const JointModel joint = jointModelOf(model);
  for (std::size_t index : evaluator.freeIndices()) {
    const FitParameter& p = evaluator.layout().at(joint, index);
    lsq.parameters.push_back({p.value, p.min, p.max});
  }
  const auto starts = furtherStarts(evaluator, lsq, 8, 7);
  ASSERT_EQ(starts.size(), 7u);
  EXPECT_EQ(starts, furtherStarts(evaluator, lsq, 8, 7));
  EXPECT_NE(starts, furtherStarts(evaluator, lsq, 8, 8));
  EXPECT_TRUE(furtherStarts(evaluator, lsq, 1, 7).empty());
  for (const std::vector<double>& x : starts) {
    for (std::size_t q = 0; q < x.size(); ++q) {
      EXPECT_GE(x[q], lsq.parameters[q].min);
      EXPECT_LE(x[q], lsq.parameters[q].max);
    }
    const JointModel at = evaluator.modelAt(x);
    EXPECT_LE(at.sample.layers[0].from.value, at.sample.layers[0].to.value);
    EXPECT_LE(at.sample.layers[0].from.value, at.sample.layers[1].from.value);
    EXPECT_LE(at.sample.layers[1].from.value, at.sample.layers[1].to.value);
  }
  // A Latin hypercube: each start takes its own seventh of a range with two
  // bounds.
  std::vector<int> strata(7, 0);
  for (const std::vector<double>& x : starts) {
    const BoundedParameter& b = lsq.parameters.back();  // the background, within [0, 100]
    ++strata[static_cast<std::size_t>((x.back() - b.min) / (b.max - b.min) * 7)];
  }
  EXPECT_EQ(strata, std::vector<int>(7, 1));
}

// Two layers with the multiplier free: left alone, this replica's fit turns
// the first layer inside out (from past to, a narrow bump that a multiplier
// 10^4 times too large scales up) for a lower chi2. The fit never goes there
// (its from may pass its to by the residual's width, 1e-4 ug/cm2, at most).
TEST(FitSearch, NoLayerTurnsInsideOut) {
  const CoverageCase& c = kHardSamples[0];
  const Synthetic s = synthesise(c.sample);
  SampleModel truth = coverageStart(c, s.multiplier);  // started from the truth
  truth.layers[0].from.value = 0.05;
  truth.layers[0].to.value = 0.35;
  truth.layers[1].from.value = 0.55;
  truth.layers[1].to.value = 1.0;
  truth.layers[1].concentration.value = 0.5;
  truth.multiplier.value = s.multiplier;
  const FitResult result =
      fitProblem(problemFor(truth, problemOf(measure(s.curve, s.multiplier, 2, 1012))));
  ASSERT_TRUE(result.converged);
  for (const LayerModel& layer : result.model.layers) {
    EXPECT_LE(layer.from.value, layer.to.value + 1e-4);
  }
  EXPECT_LT(result.model.multiplier.value, 100 * s.multiplier);
}

// Of eight starts on the thin-layer sample some end on a worse floor: the
// starts "at the best" are those within 0.1 of the best chi2, no others.
TEST(FitSearch, StartsAtTheBestAreThoseThatReachItsChi2) {
  const CoverageCase& c = kHardSamples[0];
  const Synthetic s = synthesise(c.sample);
  FitControl control;
  control.starts = kDefaultStarts;
  const FitResult result = fitProblem(
      problemFor(coverageStart(c, s.multiplier), problemOf(measure(s.curve, s.multiplier, 2, 501))),
      control);
  ASSERT_EQ(result.startChi2.size(), static_cast<std::size_t>(result.starts));
  const auto within = [&](double margin) {
    return std::count_if(result.startChi2.begin(), result.startChi2.end(),
                         [&](double chi2) { return chi2 <= result.chi2 + margin; });
  };
  ASSERT_LT(within(10.0), result.starts) << "every start reached the best floor";
  EXPECT_GE(result.startsAtBest, 1);
  EXPECT_EQ(result.startsAtBest, within(0.1));
}

// A layer whose from passes its to by d adds one residual d / 1e-4; layers in
// order add nothing.
TEST(FitSearch, ALayerInsideOutPaysOneResidual) {
  const CoverageCase& c = kHardSamples[0];
  const Synthetic s = synthesise(c.sample);
  const SampleModel model = coverageStart(c, s.multiplier);
  LayerFitEvaluator evaluator(problemFor(model, problemOf(measure(s.curve, s.multiplier, 2, 1))));
  std::vector<double> x = evaluator.startValues();
  std::vector<double> ordered(evaluator.rowCount()), inverted(evaluator.rowCount());
  evaluator.residuals(x, ordered);
  for (std::size_t q = 0; q < x.size(); ++q) {
    const ParameterSlot& slot = evaluator.layout()[evaluator.freeIndices()[q]];
    if (slot.layer == 0 && slot.kind == ParameterKind::From) x[q] = model.layers[0].to.value + 0.003;
  }
  evaluator.residuals(x, inverted);
  const std::size_t firstOrderRow = evaluator.rowCount() - model.layers.size();
  EXPECT_EQ(ordered[firstOrderRow], 0.0);
  EXPECT_NEAR(inverted[firstOrderRow], 30.0, 1e-6);
  EXPECT_EQ(inverted[firstOrderRow + 1], 0.0);
}

// Another start within 1 of the best chi2 whose values lie outside the best
// one's intervals is named; one further off in chi2, or inside them, is not.
TEST(FitSearch, TwoSolutionsAreNamedOnlyWhenTheyExplainTheDataAsWell) {
  const CoverageCase& c = kHardSamples[0];
  const Synthetic s = synthesise(c.sample);
  const SampleModel model = coverageStart(c, s.multiplier);
  LayerFitEvaluator evaluator(problemFor(model, problemOf(measure(s.curve, s.multiplier, 2, 1))));
  FitResult best =
      evaluateProblem(problemFor(model, problemOf(measure(s.curve, s.multiplier, 2, 1))));
  std::vector<double> inside = evaluator.startValues();
  for (std::size_t q = 0; q < inside.size(); ++q) {
    EstimatedValue& v = best.parameters[evaluator.freeIndices()[q]];
    v.lower = v.value * 0.9;
    v.upper = v.value * 1.1;
  }
  std::vector<double> outside = inside;
  outside[0] *= 1.5;
  const std::string name = best.parameters[evaluator.freeIndices()[0]].name;
  const auto warning = twoSolutionsWarning(evaluator, best, outside, best.chi2 + 0.9);
  ASSERT_TRUE(warning);
  EXPECT_NE(warning->find(name), std::string::npos) << *warning;
  EXPECT_FALSE(twoSolutionsWarning(evaluator, best, outside, best.chi2 + 1.1));
  EXPECT_FALSE(twoSolutionsWarning(evaluator, best, inside, best.chi2 + 0.5));
}

}  // namespace
