#include "model/single_collision_density.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/curve_measures.h"
#include "model/mean_collision_loss.h"

namespace {

double valueSum(const SampledCurve& curve) {
  double sum = 0.0;
  for (double v : curve.values) sum += v;
  return sum;
}

// Mean of 1/T^2 over bin i of width s, before normalisation.
double fullBin(int i, double s) {
  return (1 / (s * s)) * (1 / (i - 0.5) - 1 / (i + 0.5));
}

TEST(CollisionSpectrum, BoundsOnBinEdgesNeedNoCorrection) {
  for (double s : {1.0, 0.5, 4.0}) {
    SCOPED_TRACE(s);
    // emin = (3 - 0.5)s and emax = (7 + 0.5)s: bins 3..7 are whole.
    const double emin = 2.5 * s;
    const double emax = 7.5 * s;
    SampledCurve curve(12, s);
    buildCollisionSpectrum(curve, 12, s, emin, emax);
    ASSERT_EQ(curve.size(), 12u);
    EXPECT_EQ(curve.values[2], 0.0);
    EXPECT_EQ(curve.values[8], 0.0);
    // Whole bins keep the ratios of the bin means of 1/T^2.
    for (int i = 4; i <= 7; ++i) {
      EXPECT_DOUBLE_EQ(curve.values[i] / curve.values[3], fullBin(i, s) / fullBin(3, s)) << i;
    }
    EXPECT_NEAR(curveIntegral(curve), 1.0, 1e-15);
  }
}

TEST(CollisionSpectrum, PartialBinsOutsideTheWholeOnes) {
  // emin = 0.3 lies in bin 0, emax = 2.7 in bin 3; bins 1 and 2 are whole.
  SampledCurve curve(6, 1.0);
  buildCollisionSpectrum(curve, 6, 1.0, 0.3, 2.7);
  const double raw[4] = {1 / 0.3 - 1 / 0.5, fullBin(1, 1.0), fullBin(2, 1.0), 1 / 2.5 - 1 / 2.7};
  const double total = ((raw[0] + raw[1]) + raw[2]) + raw[3];
  for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(curve.values[i], raw[i] / total) << i;
  EXPECT_EQ(curve.values[4], 0.0);
  EXPECT_EQ(curve.values[5], 0.0);
  EXPECT_NEAR(1.0 * valueSum(curve), 1.0, 1e-15);
}

TEST(CollisionSpectrum, BoundsInsideTheOuterWholeBinsCutThem) {
  // emin = 0.7 lies in bin 1 and emax = 2.2 in bin 2: those bins keep only the
  // part of 1/T^2 between the bounds, and bins 0 and 3 stay empty.
  SampledCurve curve(5, 1.0);
  buildCollisionSpectrum(curve, 5, 1.0, 0.7, 2.2);
  const double bin1 = 1 / 0.7 - 1 / 1.5;
  const double bin2 = 1 / 1.5 - 1 / 2.2;
  EXPECT_EQ(curve.values[0], 0.0);
  EXPECT_EQ(curve.values[3], 0.0);
  EXPECT_NEAR(curve.values[1] / curve.values[2], bin1 / bin2, 1e-14);

  // Both bounds in one bin: both corrections land on it.
  SampledCurve single(4, 1.0);
  buildCollisionSpectrum(single, 4, 1.0, 0.7, 1.2);
  EXPECT_EQ(single.values[0], 0.0);
  EXPECT_EQ(single.values[2], 0.0);
  EXPECT_NEAR(single.values[1], 1.0, 1e-15);
}

TEST(CollisionSpectrum, RealisticGridIsADensityWithTheAnalyticMean) {
  const double s = 4.0299934;
  const double emin = 5.75713;
  const double emax = 328.94866;
  SampledCurve curve(1000, s);
  curve.origin = 12.5;
  buildCollisionSpectrum(curve, 1000, s, emin, emax);
  EXPECT_EQ(curve.step, s);
  EXPECT_EQ(curve.origin, 12.5);
  EXPECT_NEAR(curveIntegral(curve), 1.0, 1e-14);
  for (double v : curve.values) EXPECT_GE(v, 0.0);
  EXPECT_GT(curve.values[static_cast<int>(std::floor(emax / s)) + 1], 0.0);
  EXPECT_EQ(curve.values[static_cast<int>(std::floor(emax / s)) + 2], 0.0);
  // The binned spectrum's mean loss is close to the continuous one.
  EXPECT_NEAR(firstMoment(curve) * s, meanCollisionLoss(emin, emax),
              0.01 * meanCollisionLoss(emin, emax));
}

TEST(CollisionSpectrum, GridTooShortForEmaxKeepsItsLength) {
  SampledCurve curve(10, 1.0);
  buildCollisionSpectrum(curve, 10, 1.0, 0.3, 50.7);
  ASSERT_EQ(curve.size(), 10u);
  EXPECT_NEAR(curveIntegral(curve), 1.0, 1e-15);
  for (double v : curve.values) EXPECT_TRUE(std::isfinite(v));
}

}  // namespace
