#include "commands/chart_ranges.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

ChartSeries line(double x0, double x1, double y0, double y1, int n = 11) {
  ChartSeries series;
  for (int i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / (n - 1);
    series.points.push_back({x0 + t * (x1 - x0), y0 + t * (y1 - y0)});
  }
  return series;
}

TEST(ChartRanges, TheMainChartFollowsTheMeasuredPointsOrElseTheCurve) {
  struct Case {
    const char* what;
    MainChartData data;
    AxisRange energy;
    AxisRange yield;
  };
  MainChartData wideCurve;  // a set's whole span under a few points
  wideCurve.computedCurve = line(149.6, 156.5, 0.0, 900.0, 70);  // a point every 0.1 keV
  wideCurve.measuredPoints = line(150.95, 152.25, 10.0, 300.0, 8);
  MainChartData curveAlone;
  curveAlone.computedCurve = line(150.0, 152.0, 100.0, 500.0);
  MainChartData peak;  // a set's whole span, flat but for a peak
  for (int i = 0; i < 70; ++i) {
    const double e = 149.6 + 0.1 * i;
    peak.computedCurve.points.push_back({e, std::max(0.0, 1000.0 - 2000.0 * std::fabs(e - 151.0))});
  }
  MainChartData negative;  // lifted below 0 by a background
  negative.measuredPoints = line(151.0, 152.0, -50.0, 150.0);
  MainChartData band;
  band.computedCurve = line(151.0, 152.0, 10.0, 100.0);
  band.curveBand.low = line(151.0, 152.0, 5.0, 90.0);
  band.curveBand.high = line(151.0, 152.0, 15.0, 200.0);
  MainChartData onePoint;
  onePoint.measuredPoints.points = {{151.0, 40.0}};
  const Case cases[] = {
      // Only the curve within the points' energies counts for the yield: its
      // last point there, at 152.2 keV, is 900 * 2.6 / 6.9 = 339.130.
      {"wide curve", wideCurve, {150.95 - 0.039, 152.25 + 0.039}, {-10.174, 339.130 + 10.174}},
      {"curve alone", curveAlone, {149.94, 152.06}, {-15.0, 515.0}},
      {"flat tails", peak, {150.47, 151.53}, {-30.0, 1030.0}},
      {"below zero", negative, {150.97, 152.03}, {-56.0, 156.0}},
      {"band", band, {150.97, 152.03}, {-6.0, 206.0}},
      {"one point", onePoint, {151.0 - 4.53, 151.0 + 4.53}, {-1.2, 41.2}},
  };
  for (const Case& c : cases) {
    const std::optional<MainChartAxes> axes = mainChartAxes(c.data);
    ASSERT_TRUE(axes) << c.what;
    EXPECT_NEAR(axes->energy.minimum, c.energy.minimum, 1e-3) << c.what;
    EXPECT_NEAR(axes->energy.maximum, c.energy.maximum, 1e-3) << c.what;
    EXPECT_NEAR(axes->yield.minimum, c.yield.minimum, 1e-3) << c.what;
    EXPECT_NEAR(axes->yield.maximum, c.yield.maximum, 1e-3) << c.what;
  }
  EXPECT_FALSE(mainChartAxes({}));
}

TEST(ChartRanges, TheProfileChartShowsTheProfileAndBandWholeAndNoMore) {
  struct Case {
    const char* what;
    ChartSeries profile;
    ChartSeries bandHigh;
    double contamination;
    AxisRange depth;
    AxisRange concentration;
  };
  // Points every 0.1 from 0 to 10 that are `c` from `from` to `to`.
  const auto layer = [](double from, double to, double c) {
    ChartSeries series;
    for (int i = 0; i <= 100; ++i) {
      const double x = 0.1 * i;
      series.points.push_back({x, x >= from - 1e-9 && x <= to + 1e-9 ? c : 0.0});
    }
    return series;
  };
  const Case cases[] = {
      {"buried layer", layer(0.5, 2.0, 1.2), {}, 0.0, {0.0, 2.1 * 1.03}, {0.0, 1.2 * 1.03}},
      {"band beyond it",
       layer(0.5, 2.0, 0.4),
       layer(0.5, 3.0, 0.6),
       0.0,
       {0.0, 3.1 * 1.03},
       {0.0, 0.6 * 1.03}},
      {"to the last point", layer(1.0, 10.0, 0.5), {}, 0.0, {0.0, 10.0}, {0.0, 0.5 * 1.03}},
      {"empty", layer(0, 0, 0.0), {}, 0.0, {0.0, 10.0}, {0.0, 1.0}},
      {"contamination alone", layer(0, 0, 0.0), {}, 0.3, {0.0, 0.3 * 1.03}, {0.0, 1.0}},
  };
  for (const Case& c : cases) {
    DrawProfileChartData chart;
    chart.profile = c.profile;
    chart.band.high = c.bandHigh;
    chart.contaminationDepth = c.contamination;
    const AxisRange depth = depthAxisFor(chart, 10.0);
    const AxisRange concentration = concentrationAxisFor(chart);
    EXPECT_NEAR(depth.minimum, c.depth.minimum, 1e-9) << c.what;
    EXPECT_NEAR(depth.maximum, c.depth.maximum, 1e-9) << c.what;
    EXPECT_NEAR(concentration.minimum, c.concentration.minimum, 1e-9) << c.what;
    EXPECT_NEAR(concentration.maximum, c.concentration.maximum, 1e-9) << c.what;
  }
}

}  // namespace
