#include "model/curve_measures.h"

#include <gtest/gtest.h>

namespace {

TEST(CurveMeasures, IntegralIsStepTimesSum) {
  SampledCurve curve(4, 0.5);
  curve.values = {1.0, 2.0, 3.0, 4.5};
  EXPECT_EQ(curveIntegral(curve), 5.25);
  EXPECT_EQ(curveIntegral(SampledCurve(0, 3.0)), 0.0);
}

TEST(CurveMeasures, FirstMomentIsInGridPointsWhateverTheStep) {
  for (double s : {1.0, 0.1, 4.0299934, 1e-3, 250.0}) {
    SCOPED_TRACE(s);
    SampledCurve spike(20, s);
    spike.values[7] = 3.25;
    EXPECT_DOUBLE_EQ(firstMoment(spike), 7.0);

    SampledCurve pair(20, s);
    pair.values[2] = 1.0;
    pair.values[6] = 1.0;
    EXPECT_DOUBLE_EQ(firstMoment(pair), 4.0);
  }
}

TEST(CurveMeasures, NormalisationKeepsTheShape) {
  SampledCurve curve(5, 2.5);
  curve.values = {0.0, 1.0, 4.0, 2.0, 0.5};
  const SampledCurve before = curve;

  normalizeCurve(curve);
  EXPECT_NEAR(curveIntegral(curve), 1.0, 1e-15);
  EXPECT_EQ(curve.values[0], 0.0);
  EXPECT_DOUBLE_EQ(curve.values[2] / curve.values[1], 4.0);
  EXPECT_EQ(curve.step, before.step);

  normalizeCurveTo(curve, 3.5);
  EXPECT_NEAR(curveIntegral(curve), 3.5, 1e-14);
  EXPECT_DOUBLE_EQ(curve.values[4] / curve.values[3], 0.25);

  // Negative targets flip the curve.
  normalizeCurveTo(curve, -1.0);
  EXPECT_NEAR(curveIntegral(curve), -1.0, 1e-15);
  EXPECT_LT(curve.values[2], 0.0);
}

}  // namespace
