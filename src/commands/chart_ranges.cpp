#include "commands/chart_ranges.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

struct Extent {
  double lowest = std::numeric_limits<double>::infinity();
  double highest = -std::numeric_limits<double>::infinity();
  void add(double value) {
    if (!std::isfinite(value)) return;
    lowest = std::min(lowest, value);
    highest = std::max(highest, value);
  }
  bool empty() const { return lowest > highest; }
};

Extent xExtent(std::initializer_list<const ChartSeries*> series) {
  Extent extent;
  for (const ChartSeries* s : series) {
    for (const ChartPoint& point : s->points) extent.add(point.x);
  }
  return extent;
}

// The energies over which a curve stands out from its lowest value by more
// than kCurveTail of its height, with one point beyond on each side, so that
// flat tails do not fill the axis; all of a flat curve.
constexpr double kCurveTail = 0.005;

Extent curveExtent(const ChartSeries& curve) {
  Extent height;
  for (const ChartPoint& point : curve.points) height.add(point.y);
  const std::vector<ChartPoint>& points = curve.points;
  std::optional<std::size_t> first;
  std::size_t last = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (points[i].y - height.lowest > kCurveTail * (height.highest - height.lowest)) {
      if (!first) first = i;
      last = i;
    }
  }
  if (!first) return xExtent({&curve});
  Extent extent;
  extent.add(points[*first > 0 ? *first - 1 : 0].x);
  extent.add(points[std::min(last + 1, points.size() - 1)].x);
  return extent;
}

}  // namespace

AxisRange roomyRange(double lowest, double highest) {
  const double span = highest - lowest;
  const double room = span > 0.0      ? kChartRoom * span
                      : lowest != 0.0 ? kChartRoom * std::fabs(lowest)
                                      : 1.0;
  return {lowest - room, highest + room};
}

std::optional<MainChartAxes> mainChartAxes(const MainChartData& data) {
  Extent energy = xExtent({&data.measuredPoints});
  if (energy.empty()) energy = curveExtent(data.computedCurve);
  if (energy.empty()) energy = xExtent({&data.curveBand.low});
  if (energy.empty()) return std::nullopt;
  Extent yield;
  yield.add(0.0);
  for (const ChartSeries* series :
       {&data.computedCurve, &data.measuredPoints, &data.curveBand.low, &data.curveBand.high}) {
    for (const ChartPoint& point : series->points) {
      if (point.x >= energy.lowest && point.x <= energy.highest) yield.add(point.y);
    }
  }
  return MainChartAxes{roomyRange(energy.lowest, energy.highest),
                       roomyRange(yield.lowest, yield.highest)};
}

AxisRange concentrationAxisFor(const DrawProfileChartData& chart, double atLeast) {
  double highest = std::max(atLeast, 0.0);
  for (const ChartSeries* series : {&chart.profile, &chart.reference, &chart.band.high}) {
    for (const ChartPoint& point : series->points) {
      if (std::isfinite(point.y)) highest = std::max(highest, point.y);
    }
  }
  return {0.0, highest > 0.0 ? (1.0 + kChartRoom) * highest : 1.0};
}

AxisRange depthAxisFor(const DrawProfileChartData& chart, double wholeDepth) {
  double deepest = chart.contaminationDepth;
  for (const ChartSeries* series : {&chart.profile, &chart.reference, &chart.band.high}) {
    const std::vector<ChartPoint>& points = series->points;
    // Up to the first zero after the last value that is not, so that the
    // profile's fall is drawn.
    for (std::size_t i = points.size(); i-- > 0;) {
      if (points[i].y != 0.0) {
        deepest = std::max(deepest, points[std::min(i + 1, points.size() - 1)].x);
        break;
      }
    }
  }
  if (!(deepest > 0.0)) return {0.0, wholeDepth};
  return {0.0, std::min(wholeDepth, (1.0 + kChartRoom) * deepest)};
}
