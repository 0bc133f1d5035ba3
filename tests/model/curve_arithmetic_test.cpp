#include "model/curve_arithmetic.h"

#include <gtest/gtest.h>

namespace {

SampledCurve curveOf(std::vector<double> values, double step, double origin) {
  SampledCurve curve(values.size(), step);
  curve.values = std::move(values);
  curve.origin = origin;
  return curve;
}

TEST(CurveArithmetic, ScaleAndAddTakeTheFirstCurvesGridWithOriginZero) {
  const SampledCurve a = curveOf({1.0, -2.0, 0.5}, 4.0, 30.0);
  const SampledCurve b = curveOf({10.0, 20.0, 30.0, 40.0}, 1.0, 7.0);

  const SampledCurve scaled = scaleCurve(a, -3.0);
  EXPECT_EQ(scaled.values, (std::vector<double>{-3.0, 6.0, -1.5}));
  EXPECT_EQ(scaled.step, 4.0);
  EXPECT_EQ(scaled.origin, 0.0);

  const SampledCurve sum = addCurves(a, b);
  EXPECT_EQ(sum.values, (std::vector<double>{11.0, 18.0, 30.5}));
  EXPECT_EQ(sum.step, 4.0);
  EXPECT_EQ(sum.origin, 0.0);

  // A shorter second curve counts as zeros beyond its end.
  const SampledCurve longer = addCurves(b, a);
  EXPECT_EQ(longer.values, (std::vector<double>{11.0, 18.0, 30.5, 40.0}));
}

TEST(CurveArithmetic, ResizeCutsOrPadsWithZeros) {
  SampledCurve curve = curveOf({1.0, 2.0, 3.0}, 2.0, 5.0);
  resizeCurve(curve, 5);
  EXPECT_EQ(curve.values, (std::vector<double>{1.0, 2.0, 3.0, 0.0, 0.0}));
  resizeCurve(curve, 2);
  EXPECT_EQ(curve.values, (std::vector<double>{1.0, 2.0}));
  EXPECT_EQ(curve.step, 2.0);
  EXPECT_EQ(curve.origin, 5.0);
}

TEST(CurveArithmetic, SetPointWidensTheSinglePrecisionValue) {
  SampledCurve curve(3, 1.0);
  setCurvePoint(curve, 1, 0.1f);
  EXPECT_EQ(curve.values[1], static_cast<double>(0.1f));
  EXPECT_NE(curve.values[1], 0.1);
  setCurvePoint(curve, 3, 5.0f);  // off the end: nothing happens
  EXPECT_EQ(curve.size(), 3u);
}

}  // namespace
