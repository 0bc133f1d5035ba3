#include "commands/show_commands.h"

#include <gtest/gtest.h>

#include <cmath>

#include "commands/autoconvolution_commands.h"
#include "commands/excitation_commands.h"
#include "model/curve_measures.h"
#include "scripted_user_interface.h"

namespace {

// Start texts with AutoStep off at a 10 eV step: 1000 points, Nc 5.
struct TenEvFixture : CommandFixture {
  TenEvFixture() {
    texts.calculationParameters.autoStep = false;
    texts.calculationParameters.stepSize = "10";
    startCalculation(context);
  }
};

TEST(PlotLewis, UnbroadenedShapeHasTheEntriesGridAndTheirAreaOverTheDensity) {
  TenEvFixture f;
  plotLewis(f.context);
  const SampledCurve& shape = f.state.excitationCurve;
  EXPECT_EQ(shape.size(), 1000u);
  EXPECT_EQ(shape.origin, 0.0);
  double areas = 0;
  for (const SampledCurve& entry : f.state.autoconvolutionSet) areas += curveIntegral(entry);
  EXPECT_NEAR(curveIntegral(shape), areas / f.state.parameterBlock.collisionDensity, 1e-12);
  EXPECT_EQ(f.charts.main.computedCurve.points.size(), 1000u);
}

TEST(PlotLewis, StartWidthsOnATenEvGridAdd280PointsAndShiftBy1400Ev) {
  TenEvFixture f;
  f.texts.show.convolve = true;
  plotLewis(f.context);
  const SampledCurve& shape = f.state.excitationCurve;
  EXPECT_EQ(shape.size(), 1000u + 200u + 80u);
  EXPECT_EQ(shape.origin, 1400.0);
  const auto& points = f.charts.main.computedCurve.points;
  ASSERT_EQ(points.size(), 1280u);
  EXPECT_DOUBLE_EQ(points[0].x, 151.0 - 1.4);
  EXPECT_DOUBLE_EQ(points[140].x, 151.0);

  TenEvFixture g;
  plotLewis(g.context);
  EXPECT_NEAR(curveIntegral(shape), curveIntegral(g.state.excitationCurve), 1e-12);
}

TEST(PlotLewis, StoresBothWidthsEvenWithoutBroadeningLorentzianFirst) {
  TenEvFixture f;
  f.texts.show.lorentzian = "70";
  f.texts.show.gaussian = "30";
  plotLewis(f.context);
  EXPECT_EQ(f.state.parameterBlock.lorentzianWidth, 70.0);
  EXPECT_EQ(f.state.parameterBlock.gaussianWidth, 30.0);

  f.texts.show.lorentzian = "80";
  f.texts.show.gaussian = "bad";
  EXPECT_EQ(commandMessage([&] { plotLewis(f.context); }),
            "'bad' is not a valid floating point value");
  EXPECT_EQ(f.state.parameterBlock.lorentzianWidth, 80.0);
  EXPECT_EQ(f.state.parameterBlock.gaussianWidth, 30.0);
}

TEST(PlotLewis, RefusesWithoutASetOrADensity) {
  CommandFixture f;
  EXPECT_NE(commandMessage([&] { plotLewis(f.context); }), "no message");
  TenEvFixture g;
  g.state.parameterBlock.collisionDensity = 0;
  EXPECT_NE(commandMessage([&] { plotLewis(g.context); }), "no message");
  EXPECT_TRUE(g.state.excitationCurve.values.empty());
}

TEST(PlotSingle, PagesThroughTheSetAndWrapsToOne) {
  TenEvFixture f;  // Nc = 5
  const std::vector<std::string> fieldAfter = {"2", "3", "4", "5", "1", "2"};
  const std::vector<std::size_t> drawn = {1, 2, 3, 4, 5, 1};
  for (std::size_t press = 0; press < 6; ++press) {
    plotSingle(f.context);
    EXPECT_EQ(f.state.excitationCurve, f.state.autoconvolutionSet[drawn[press]]);
    EXPECT_EQ(f.texts.show.singleEntry, fieldAfter[press]);
  }
}

TEST(PlotSingle, ZeroDrawsTheSpikeFromZeroKeV) {
  TenEvFixture f;
  f.texts.show.singleEntry = "0";
  plotSingle(f.context);
  const auto& points = f.charts.main.computedCurve.points;
  ASSERT_EQ(points.size(), 1000u);
  EXPECT_EQ(points[0].x, 0.0);
  EXPECT_EQ(points[0].y, static_cast<double>(1.0f / 10.0f));
  EXPECT_EQ(points[1].y, 0.0);
  EXPECT_DOUBLE_EQ(points[999].x, 9.99);
  EXPECT_EQ(f.texts.show.singleEntry, "1");
}

TEST(PlotSingle, BeyondTheSetOrNegativeDrawsNothingAndResetsTheField) {
  TenEvFixture f;
  for (const char* typed : {"6", "-1", "2147483647"}) {
    f.state.excitationCurve = SampledCurve(3, 1.0);
    f.charts.main.computedCurve.points = {{1, 2}};
    f.texts.show.singleEntry = typed;
    plotSingle(f.context);
    EXPECT_EQ(f.state.excitationCurve, SampledCurve(3, 1.0));
    EXPECT_EQ(f.charts.main.computedCurve.points.size(), 1u);
    EXPECT_EQ(f.texts.show.singleEntry, "1");
  }
  f.texts.show.singleEntry = "1.5";
  EXPECT_EQ(commandMessage([&] { plotSingle(f.context); }), "'1.5' is not a valid integer value");
  EXPECT_EQ(f.texts.show.singleEntry, "1.5");
}

TEST(PlotKn, OnePointPerEntryInTheMeasuredSeries) {
  TenEvFixture f;
  for (int i = 20; i < 400; ++i) f.state.currentProfile.values[i] = 1.0;
  plotKn(f.context);
  const auto& points = f.charts.main.measuredPoints.points;
  ASSERT_EQ(points.size(), 6u);
  for (std::size_t n = 0; n < 6; ++n) EXPECT_EQ(points[n].x, static_cast<double>(n));
  EXPECT_GT(points[1].y, 0.0);

  f.texts.calculationParameters.emin = "-1";
  EXPECT_EQ(commandMessage([&] { plotKn(f.context); }), "Emin must be greater than zero.");
  EXPECT_EQ(f.charts.main.measuredPoints.points.size(), 6u);
}

TEST(PlotData, DrawsAllButTheSpareEntryShifted) {
  CommandFixture f;
  f.state.experimentalData = {{400.5f, 10.0f}, {401.0f, 12.0f}, {0.0f, 0.0f}};
  f.state.parameterBlock.energyShift = 0.25;
  plotData(f.context);
  const auto& points = f.charts.main.measuredPoints.points;
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0].x, 400.75);
  EXPECT_EQ(points[1].y, 12.0);
  f.state.experimentalData.resize(1);
  plotData(f.context);
  EXPECT_TRUE(f.charts.main.measuredPoints.points.empty());
}

}  // namespace
