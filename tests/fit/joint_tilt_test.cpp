#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "fit/layer_fit.h"
#include "support/tilted_layers.h"

namespace {

using namespace synthetic;

// Two layers too close for normal incidence, measured at 0 and 70 degrees
// by one detector (bench/joint_bench.cpp runs more replicas): on a few
// noise replicas the joint fit converges, holds both amounts and centroids
// within three of their errors with amount errors under 25%, and its amount
// errors, summed over the replicas, are at most half those of the
// normal-incidence fit alone (which may have none).
TEST(JointTiltFit, SeparatesLayersTheNormalCurveCannot) {
  const TiltedTruth truth = tiltedTruth(kCloseLayers);
  FitControl control;
  control.errors = FitErrors::Profile;
  control.starts = 4;
  double aloneErrors[2] = {};
  double jointErrors[2] = {};
  for (std::uint64_t seed = 1; seed <= 3; ++seed) {
    const FitResult joint =
        fitProblem(tiltedProblem(kCloseLayers, truth, {0.0, kTilt}, seed), control);
    const FitResult normal = fitProblem(tiltedProblem(kCloseLayers, truth, {0.0}, seed), control);
    ASSERT_TRUE(joint.converged) << seed;
    ASSERT_EQ(joint.measurements.size(), 2u);
    EXPECT_EQ(joint.measurements[0].points + joint.measurements[1].points, joint.points);
    EXPECT_NEAR(joint.measurements[0].chi2 + joint.measurements[1].chi2, joint.chi2,
                1e-9 * joint.chi2);
    for (std::size_t k = 0; k < truth.layers.size(); ++k) {
      for (int q = 0; q < 2; ++q) {
        const EstimatedValue& v = joint.derived[3 * k + q];
        const double value = q == 0 ? truth.layers[k].amount : truth.layers[k].centroid;
        ASSERT_TRUE(v.error) << seed << " " << v.name;
        EXPECT_NEAR(v.value, value, 3 * *v.error) << seed << " " << v.name;
      }
      const EstimatedValue& amount = joint.derived[3 * k];
      EXPECT_LT(*amount.error, 0.25 * truth.layers[k].amount) << seed << " " << amount.name;
      const std::optional<double> alone = normal.derived[3 * k].error;
      aloneErrors[k] += alone ? *alone : INFINITY;
      jointErrors[k] += *amount.error;
    }
  }
  // Over the replicas: one replica's normal fit may end where its intervals
  // are narrower than its spread.
  for (std::size_t k = 0; k < truth.layers.size(); ++k) {
    EXPECT_GE(aloneErrors[k], 2 * jointErrors[k]) << "layer" << k + 1;
  }
}

}  // namespace
