#include "fit/fit_search.h"

#include <gtest/gtest.h>

#include "support/synthetic_layers.h"

namespace {

using namespace synthetic;

// Two layers, every position free: the further starts lie within the bounds,
// keep the layers in depth order, follow their seed and no other thing.
TEST(FitSearch, FurtherStartsKeepBoundsAndLayerOrderAndFollowTheSeed) {
  const CoverageCase& c = kHardSamples[0];
  const Synthetic s = synthesise(c.sample);
  const SampleModel model = coverageStart(c, s.multiplier);
  LayerFitEvaluator evaluator(model, problemOf(measure(s.curve, s.multiplier, 2, 1)));
  LeastSquaresProblem lsq;
  for (std::size_t index : evaluator.freeIndices()) {
    const FitParameter& p = evaluator.layout().at(jointModelOf(model), index);
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

}  // namespace
