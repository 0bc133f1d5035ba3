#include "model/erfc_edge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace {

TEST(ErfcApprox, CountsTheFirstRectangleInFull) {
  EXPECT_NEAR(erfcApprox(0.0), 0.994358, 5e-7);
  EXPECT_DOUBLE_EQ(erfcApprox(0.0), 1 - 0.01 / std::sqrt(std::numbers::pi));
  // x/h = 2 exactly: the rectangles at 0, h and 2h all count.
  const double three = 1 + std::exp(-0.005 * 0.005) + std::exp(-0.01 * 0.01);
  EXPECT_DOUBLE_EQ(erfcApprox(0.01), 1 - 2 * three * 0.005 / std::sqrt(std::numbers::pi));
}

TEST(ErfcApprox, StaysInTheUnitInterval) {
  EXPECT_EQ(erfcApprox(-1e-9), 1.0);
  EXPECT_EQ(erfcApprox(-3.0), 1.0);
  EXPECT_EQ(erfcApprox(30.0), 0.0);
  EXPECT_EQ(erfcApprox(1e12), 0.0);
  EXPECT_EQ(erfcApprox(std::numeric_limits<double>::infinity()), 0.0);
  double previous = 1.0;
  for (double x = 0.0; x < 6.0; x += 0.01) {
    const double r = erfcApprox(x);
    EXPECT_GE(r, 0.0);
    EXPECT_LE(r, previous);
    // A left-rectangle sum lies a little above the integral.
    EXPECT_NEAR(r, std::erfc(x), 0.006) << x;
    previous = r;
  }
}

DepthProfile zeroProfile() {
  return DepthProfile::forMaximumDepth(10.0, 0.005);
}

TEST(ErfcEdge, StartsBelowTheLayerAndReachesFourSigma) {
  DepthProfile profile = zeroProfile();
  addErfc(profile, 2.0, 0.1);  // 4 sigma = 80 cells
  EXPECT_EQ(profile.values[0], 0.0);
  for (int i = 1; i < 80; ++i) {
    EXPECT_DOUBLE_EQ(profile.values[i], 2.0 * erfcApprox(i * 0.005 / (std::sqrt(2.0) * 0.1))) << i;
  }
  // Falling from nearly the full height; the rectangle sum reaches 0
  // (clamped) near x = 2.1, well before 4 sigma.
  EXPECT_GT(profile.values[1], 1.9);
  for (int i = 2; i < 80; ++i) {
    if (profile.values[i - 1] > 0.0) {
      EXPECT_LT(profile.values[i], profile.values[i - 1]) << i;
    } else {
      EXPECT_EQ(profile.values[i], 0.0) << i;
    }
  }
  EXPECT_EQ(profile.values[80], 0.0);

  // Below a ten-cell layer the same edge starts at cell 11.
  DepthProfile layered = zeroProfile();
  layered.contaminationDepth = 0.05;
  addErfc(layered, 2.0, 0.1);
  for (int i = 0; i <= 10; ++i) EXPECT_EQ(layered.values[i], 0.0) << i;
  for (int i = 11; i < 90; ++i) EXPECT_EQ(layered.values[i], profile.values[i - 10]) << i;
  EXPECT_EQ(layered.values[90], 0.0);
}

TEST(ErfcEdge, SubtractionIsNotClamped) {
  DepthProfile profile = zeroProfile();
  subtractErfc(profile, 1.5, 0.2);
  EXPECT_LT(profile.values[1], 0.0);
  addErfc(profile, 1.5, 0.2);
  EXPECT_EQ(profile.values, std::vector<double>(2000, 0.0));
}

TEST(ErfcEdge, WideEdgeStopsAtTheLastPoint) {
  DepthProfile profile = DepthProfile::forMaximumDepth(0.5, 0.005);  // 100 cells
  profile.contaminationDepth = 0.1;
  addErfc(profile, 1.0, 50.0);  // 4 sigma far beyond the profile
  EXPECT_EQ(profile.values.size(), 100u);
  EXPECT_EQ(profile.values[20], 0.0);
  EXPECT_GT(profile.values[21], 0.9);
  EXPECT_GT(profile.values[99], 0.9);
}

}  // namespace
