#include "commands/truncation_warning.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/small_start_up_set.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Concentration 1 from the surface to depthUgPerCm2 on the start-up grid.
DepthProfile layerTo(double depthUgPerCm2) {
  DepthProfile profile = DepthProfile::forMaximumDepth(10.0, 0.005);
  for (int i = 0; i < profile.pointCount; ++i) {
    if (i * profile.step < depthUgPerCm2) profile.values[i] = 1.0;
  }
  return profile;
}

// 3.9 ug/cm2 reach 90 mean collisions, 0.35 ug/cm2 eight.
TEST(TruncationWarning, NamesNcTheEnergiesAndTheNcThatWouldHoldTheCurve) {
  const AutoconvolutionSet& set = smallStartUpSet(30);
  EXPECT_EQ(truncationWarning(set, layerTo(3.9), startUpCollisionRate(), 151.0, kInfinity),
            "The autoconvolutions end at Nc 30, too few for this profile: above 151.306 keV the "
            "curve lacks more than 0.1% of its yield, 100% at 152.608 keV (the highest energy "
            "used); Nc 99 would hold it.");
  EXPECT_EQ(truncationWarning(set, layerTo(0.35), startUpCollisionRate(), 151.0, kInfinity),
            std::nullopt);
  // The same lack, judged only up to energies below where it starts.
  EXPECT_EQ(truncationWarning(set, layerTo(3.9), startUpCollisionRate(), 151.0, 151.3),
            std::nullopt);
}

TEST(TruncationWarning, AMeasurementIsJudgedUpToItsHighestEnergyUsedOnTheCurve) {
  const auto set = std::make_shared<const AutoconvolutionSet>(smallStartUpSet(30));
  std::vector<ExperimentalPoint> points;
  for (int k = 0; k <= 30; ++k)
    points.push_back({static_cast<float>(151.0 + 0.05 * k), 100.0f, 0.0f});
  MeasurementModel model;
  const BeamParameters beam{151.0, 548.56, 5.75713351118664, 328.94866196};
  const Measurement measurement = makeMeasurement(set, beam, points, model);
  const DepthProfile profile = layerTo(3.9);
  const double highest = points.back().energy;
  const auto expected = [&](double highestOnCurve) {
    return truncationWarning(*set, profile, measurement.collisionRate, 151.0, highestOnCurve);
  };
  ASSERT_TRUE(expected(highest).has_value());
  EXPECT_EQ(truncationWarning(measurement, model, profile), expected(highest));
  model.energyShift.value = -0.2;
  EXPECT_EQ(truncationWarning(measurement, model, profile), expected(highest - 0.2));
  model.energyRange = std::pair{151.0, 151.25};
  EXPECT_EQ(truncationWarning(measurement, model, profile), std::nullopt);

  // A fit's result carries it, after the measurement's name when there are several.
  SampleProblem problem{{}, {measurement, measurement}};
  problem.measurements[1].name = "tilted";
  FitResult result;
  result.profile = profile;
  result.joint.measurements.resize(1);  // the first measurement's fitted numbers
  result.joint.measurements[0].energyRange = model.energyRange;
  addTruncationWarnings(problem, result);
  EXPECT_EQ(result.warnings, std::vector<std::string>{"tilted: " + *expected(highest)});
}

}  // namespace
