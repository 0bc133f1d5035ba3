#include "model/excitation_calculation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "model/autoconvolution_calculation.h"
#include "model/mean_collision_loss.h"
#include "support/reference_kernels.h"
#include "support/start_up_inputs.h"

namespace {

// The start-up grid: 1000 points of 4.03 eV and 100 collisions.
const AutoconvolutionSet& startUpSet() {
  static const AutoconvolutionSet set = [] {
    const AutoconvolutionInputs inputs = startUpAutoconvolutionInputs();
    return calculateAutoconvolutions(inputs, nullptr, nullptr)->set;
  }();
  return set;
}

AutoconvolutionSet randomSet(std::size_t entries, std::size_t points, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  AutoconvolutionSet set(entries, SampledCurve(points, 2.5));
  for (SampledCurve& entry : set) {
    for (double& v : entry.values) v = unit(rng) * std::exp(30 * unit(rng));
  }
  return set;
}

std::vector<double> randomWeights(std::size_t count, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::vector<double> weights(count);
  for (double& w : weights) w = unit(rng) * std::exp(20 * unit(rng));
  return weights;
}

void expectSameAsLiteral(const AutoconvolutionSet& set, const std::vector<double>& weights) {
  const SampledCurve fast = weightedAutoconvolutionSum(set, weights);
  const SampledCurve literal = reference::weightedAutoconvolutionSum(set, weights);
  EXPECT_EQ(reference::bitDifference(fast.values, literal.values), "");
  EXPECT_EQ(fast.step, literal.step);
  EXPECT_EQ(fast.origin, 0.0);
}

TEST(WeightedAutoconvolutionSum, SameBitsAsScaleThenAddForEveryEntry) {
  const AutoconvolutionSet& set = startUpSet();
  DepthProfile layer = DepthProfile::forMaximumDepth(10.0, 0.005);
  for (int i = 100; i < 600; ++i) layer.values[i] = 1.0;
  const double rate = 548.56 / meanCollisionLoss(5.7571335f, 328.94867f);
  expectSameAsLiteral(set, collisionWeights(layer, static_cast<int>(set.size()), rate));

  // Weights of both signs and every size, zeros and subnormals among them.
  std::vector<double> weights = randomWeights(set.size(), 1);
  weights[3] = 0.0;
  weights[4] = -0.0;
  weights[5] = 1e-310;
  expectSameAsLiteral(set, weights);
}

TEST(WeightedAutoconvolutionSum, ZeroWeightsStillCarryNonFiniteValues) {
  // 0 * inf is NaN in the literal loop, so a zero weight cannot be skipped.
  AutoconvolutionSet set = randomSet(6, 37, 2);
  set[2].values[5] = std::numeric_limits<double>::infinity();
  set[4].values[36] = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> weights = randomWeights(6, 3);
  weights[2] = 0.0;
  weights[4] = 0.0;
  expectSameAsLiteral(set, weights);
  const SampledCurve sum = weightedAutoconvolutionSum(set, weights);
  EXPECT_TRUE(std::isnan(sum.values[5]));
  EXPECT_TRUE(std::isnan(sum.values[36]));
  EXPECT_TRUE(std::isfinite(sum.values[6]));
}

TEST(WeightedAutoconvolutionSum, LargeSetsSplitBetweenCoresKeepTheOrder) {
  // 301 entries of 4803 points: above the size that uses both cores, and a
  // point count that is not a whole number of vector lanes.
  const AutoconvolutionSet set = randomSet(301, 4803, 4);
  expectSameAsLiteral(set, randomWeights(301, 5));
}

TEST(WeightedAutoconvolutionSum, EntriesOfOtherLengthsAndSteps) {
  // A loaded set could disagree in length: addCurves takes each entry's length
  // and step, reading a shorter running sum as zeros.
  AutoconvolutionSet set = randomSet(5, 20, 6);
  set[2].values.resize(25, 1.5);
  set[3].values.resize(12);
  set[4].step = 7.0;
  expectSameAsLiteral(set, randomWeights(5, 7));
  EXPECT_EQ(weightedAutoconvolutionSum(set, randomWeights(5, 7)).size(), 20u);
}

TEST(WeightedAutoconvolutionSum, SurfacePointGivesTheZeroCollisionSpikeTimesTheStep) {
  const AutoconvolutionSet& set = startUpSet();
  DepthProfile surface = DepthProfile::forMaximumDepth(10.0, 0.005);
  surface.values[0] = 1.0;
  const SampledCurve curve = weightedAutoconvolutionSum(
      set, collisionWeights(surface, static_cast<int>(set.size()), 23.14));
  ASSERT_EQ(curve.size(), 1000u);
  EXPECT_EQ(curve.values[0], 0.005 * set[0].values[0]);
  EXPECT_NEAR(curve.values[0], 0.005 / 4.0299935, 1e-9);
  for (std::size_t i = 1; i < curve.size(); ++i) ASSERT_EQ(curve.values[i], 0.0) << i;
}

}  // namespace
