#include "model/collision_truncation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "model/autoconvolution_calculation.h"
#include "model/collision_weights.h"
#include "model/excitation_calculation.h"
#include "model/mean_collision_loss.h"
#include "support/start_up_inputs.h"

namespace {

// Sets of far more collisions than the layers need, whose sums are the truth:
// the start-up spectrum (Emax/Emin 57) and a wider, more skewed one (193).
AutoconvolutionInputs startUpInputs() {
  AutoconvolutionInputs inputs = startUpAutoconvolutionInputs();
  inputs.nc = 200;
  return inputs;
}

AutoconvolutionInputs wideInputs() {
  return {.stoppingPower = 120.0f,
          .step = 20.0f,
          .emin = 11.171436f,
          .emax = 2161.0403f,
          .pointCount = 600,
          .nc = 300};
}

DepthProfile layer(double from, double to) {
  DepthProfile profile = DepthProfile::forMaximumDepth(100.0, 0.005);
  for (int i = 0; i < profile.pointCount; ++i) {
    profile.values[i] = i * profile.step >= from && i * profile.step < to ? 1.0 : 0.0;
  }
  return profile;
}

AutoconvolutionSet firstEntries(const AutoconvolutionSet& set, int nc) {
  return {set.begin(), set.begin() + nc + 1};
}

// From the full set, judged as the estimate judges: the lowest loss where the
// sum up to nc lacks more than the tolerance, the share it lacks at the last
// point, and the smallest Nc that lacks it nowhere.
struct Truth {
  std::optional<double> lackingFromEv;
  double lackingAtLast = 0.0;
  int holding = 0;
};

Truth truthOf(const AutoconvolutionSet& set, const DepthProfile& profile, double rate, int nc) {
  const std::vector<double> k = collisionWeights(profile, static_cast<int>(set.size()), rate);
  const std::vector<double> full = weightedAutoconvolutionSum(set, k).values;
  const double peak = *std::max_element(full.begin(), full.end());
  std::vector<double> partial(full.size(), 0.0);
  Truth truth;
  for (int n = 0; n < static_cast<int>(set.size()); ++n) {
    for (std::size_t i = 0; i < full.size(); ++i) partial[i] += k[n] * set[n].values[i];
    std::optional<std::size_t> lacking;
    for (std::size_t i = 0; i < full.size() && !lacking && n >= nc; ++i) {
      const double share = (full[i] - partial[i]) / full[i];
      if (full[i] >= kTruncationTolerance * peak && share > kTruncationTolerance) lacking = i;
    }
    if (n == nc && lacking) truth.lackingFromEv = *lacking * set[1].step;
    if (n == nc) truth.lackingAtLast = 1.0 - partial.back() / full.back();
    if (n >= nc && !lacking) {
      truth.holding = n;
      break;
    }
  }
  return truth;
}

struct Case {
  const char* name;
  AutoconvolutionInputs (*inputs)();
  double fromUgPerCm2, toUgPerCm2;  // the start-up layers reach 90 (buried: 46 to 58)
  int nc;                           // collisions, the wide one 120
};

class CollisionTruncationTest : public ::testing::TestWithParam<Case> {};

INSTANTIATE_TEST_SUITE_P(Layers, CollisionTruncationTest,
                         ::testing::Values(Case{"StartUp30", startUpInputs, 0.0, 3.9, 30},
                                           Case{"StartUp60", startUpInputs, 0.0, 3.9, 60},
                                           Case{"Buried40", startUpInputs, 2.0, 2.5, 40},
                                           Case{"Wide40", wideInputs, 0.0, 60.0, 40},
                                           Case{"Wide80", wideInputs, 0.0, 60.0, 80}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(CollisionTruncationTest, AgreesWithTheSumOverMoreCollisions) {
  const Case& c = GetParam();
  const AutoconvolutionInputs inputs = c.inputs();
  const AutoconvolutionSet full = calculateAutoconvolutions(inputs, nullptr, nullptr)->set;
  const DepthProfile profile = layer(c.fromUgPerCm2, c.toUgPerCm2);
  const double meanLoss = meanCollisionLoss(inputs.emin, inputs.emax);
  const double rate = inputs.stoppingPower / meanLoss;
  const Truth truth = truthOf(full, profile, rate, c.nc);
  ASSERT_TRUE(truth.lackingFromEv.has_value());

  const CollisionTruncation estimate =
      collisionTruncation(firstEntries(full, c.nc), profile, rate, 1e9);
  ASSERT_TRUE(estimate.lacking);
  // Never later than the truth, and early by less than two collisions' loss.
  EXPECT_LE(estimate.lackingFromEv, *truth.lackingFromEv);
  EXPECT_GT(estimate.lackingFromEv, *truth.lackingFromEv - 2 * meanLoss);
  EXPECT_EQ(estimate.highestUsedEv, (full[1].size() - 1) * full[1].step);
  EXPECT_NEAR(estimate.lackingAtHighest, truth.lackingAtLast, 0.01);
  EXPECT_NEAR(estimate.holdingCollisions, truth.holding, 1);

  // Both sides of the tolerance: the Nc it names holds the curve, one less does not.
  const int holding = estimate.holdingCollisions;
  EXPECT_FALSE(collisionTruncation(firstEntries(full, holding), profile, rate, 1e9).lacking);
  const CollisionTruncation shorter =
      collisionTruncation(firstEntries(full, holding - 1), profile, rate, 1e9);
  EXPECT_TRUE(shorter.lacking);
  EXPECT_EQ(shorter.holdingCollisions, holding);
}

// A zero profile, one of 8 mean collisions (the tail beyond 30 below 1e-9),
// no collisions, and a highest loss below the grid.
TEST(CollisionTruncation, NothingLacksWithoutYieldBeyondTheSet) {
  AutoconvolutionInputs inputs = startUpInputs();
  inputs.nc = 30;
  const AutoconvolutionSet set = calculateAutoconvolutions(inputs, nullptr, nullptr)->set;
  const double rate = inputs.stoppingPower / meanCollisionLoss(inputs.emin, inputs.emax);
  for (const CollisionTruncation& t : {collisionTruncation(set, layer(0.0, 0.0), rate, 1e9),
                                       collisionTruncation(set, layer(0.0, 0.35), rate, 1e9),
                                       collisionTruncation(set, layer(0.0, 3.9), 0.0, 1e9),
                                       collisionTruncation(set, layer(0.0, 3.9), rate, -1.0)}) {
    EXPECT_FALSE(t.lacking);
    EXPECT_EQ(t.holdingCollisions, 30);
  }
}

}  // namespace
