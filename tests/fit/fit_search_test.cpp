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
  for (const LayerModel& layer : result.joint.sample.layers) {
    EXPECT_LE(layer.from.value, layer.to.value + 1e-4);
  }
  EXPECT_LT(result.joint.measurements[0].multiplier.value, 100 * s.multiplier);
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

  // The posterior's other optima: within 6 of the best, outside its
  // intervals, and one per solution (a second end beside the first adds none).
  std::vector<double> beside = outside;
  beside[0] *= 1.02;
  std::vector<double> further = outside;
  further[0] *= 1.5;
  const std::vector<FitResult::OtherOptimum> kept = otherOptima(
      evaluator, best,
      {{beside, best.chi2 + 5.5}, {inside, best.chi2 + 0.5}, {outside, best.chi2 + 5.0},
       {further, best.chi2 + 6.5}, {further, best.chi2 + 4.0}});
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].free, further);  // the better first
  EXPECT_EQ(kept[1].free, outside);
}

// Degenerate layers under profile intervals: every quantity gets both ends
// or a warning that names it, no end contradicts the model, and one number
// under two names keeps one interval.
struct Degenerate {
  const char* what;
  double from, to;      // the layer fitted (the truth: a layer 0.3 to 0.32)
  double contamination;
  double peakCounts;
};

void PrintTo(const Degenerate& d, std::ostream* out) {
  *out << d.what;
}

class DegenerateIntervals : public testing::TestWithParam<Degenerate> {};

TEST_P(DegenerateIntervals, HoldTogether) {
  const Degenerate& d = GetParam();
  const Synthetic s = synthesise({"", 0.0, {{0.3, 0.32, 1.0}}});
  SampleModel model = baseModel(d.contamination);
  LayerModel layer;
  layer.from = freeWithin(d.from, 0.0, kMaxDepth);
  layer.to = freeWithin(d.to, 0.0, kMaxDepth);
  model.layers = {layer};
  const double scale = d.peakCounts / kPeakCounts;
  model.multiplier = {s.multiplier * scale};
  model.background = {kBackground};
  FitControl control;
  control.errors = FitErrors::Profile;
  const FitResult result = fitProblem(
      problemFor(model, problemOf(measure(s.curve, s.multiplier * scale, kBackground, 3))),
      control);
  const auto named = [&](const std::string& name) {
    return std::any_of(result.warnings.begin(), result.warnings.end(),
                       [&](const std::string& w) { return w.find(name) != std::string::npos; });
  };
  for (const std::vector<EstimatedValue>* values : {&result.parameters, &result.derived}) {
    for (const EstimatedValue& v : *values) {
      if (values == &result.parameters && !v.free) continue;
      EXPECT_TRUE((v.lower && v.upper) || named(v.name)) << v.name;
      for (const std::optional<double>& end : {v.lower, v.upper}) {
        if (end) {
          EXPECT_TRUE(std::isfinite(*end)) << v.name;
        }
      }
      if (v.error) {
        EXPECT_TRUE(std::isfinite(*v.error) && *v.error > 0.0) << v.name << " " << *v.error;
      }
    }
  }
  const EstimatedValue& amount = result.derived[0];
  const EstimatedValue& thickness = result.derived[2];
  if (thickness.lower) {
    EXPECT_GE(*thickness.lower, 0.0);
  }
  if (amount.lower) {
    EXPECT_GE(*amount.lower, 0.0);
  }
  if (d.contamination == 0.0) {
    // Sharp, whole and at concentration 1: the amount is the thickness.
    EXPECT_EQ(amount.lower, thickness.lower);
    EXPECT_EQ(amount.upper, thickness.upper);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Layers, DegenerateIntervals,
    testing::Values(Degenerate{"thin and faint", 0.29, 0.33, 0.0, 30.0},
                    Degenerate{"thin and bright", 0.29, 0.33, 0.0, 3000.0},
                    Degenerate{"under the contamination", 0.29, 0.33, 0.5, 3000.0}));

}  // namespace
