#include <gtest/gtest.h>

#include <cstdio>

#include "fit/layer_fit.h"
#include "support/synthetic_layers.h"

namespace {

using namespace synthetic;

// The hard samples of the interval benchmark (bench/coverage_bench.cpp, 40
// replicas each). Here a few replicas: every fit converges, every
// amount and centroid gets both ends, and none misses the truth by more than
// five of its half-widths (a likelihood that is no parabola can put a truth
// that chi2 finds 2 sigma away four half-widths from the best value: one of
// these replicas does).

class IntervalCoverage : public testing::TestWithParam<CoverageCase> {};

TEST_P(IntervalCoverage, EveryReplicaConvergesWithIntervalsNearTheTruth) {
  FitControl control;
  control.errors = FitErrors::Profile;
  control.starts = kDefaultStarts;
  const int replicas = 3;
  const Coverage coverage =
      coverageOf(GetParam(), replicas, 500, control,
                 [](std::uint64_t seed, const EstimatedValue& v, double truth) {
                   ASSERT_TRUE(v.lower && v.upper) << seed << " " << v.name;
                   const double half = (*v.upper - *v.lower) / 2;
                   EXPECT_GT(half, 0.0) << v.name;
                   EXPECT_NEAR(v.value, truth, 5 * half) << seed << " " << v.name;
                 });
  EXPECT_EQ(coverage.converged, replicas);
  EXPECT_EQ(coverage.withIntervals, replicas);
  EXPECT_EQ(coverage.silent, 0);
  EXPECT_EQ(coverage.contradictions, 0);
}

INSTANTIATE_TEST_SUITE_P(HardSamples, IntervalCoverage, testing::ValuesIn(kHardSamples));

}  // namespace
