#pragma once

#include <optional>

#include "commands/chart_data.h"

// The axes of the charts follow what they show, the same in the windows and in
// figures: every point drawn, with a little room (kChartRoom of the span on
// each side) so that the outermost ones are drawn whole, and no more.

inline constexpr double kChartRoom = 0.03;

// [lowest, highest] widened by kChartRoom of its span on each side; a span of
// 0 is widened by kChartRoom of the value (by 1 around 0).
AxisRange roomyRange(double lowest, double highest);

struct MainChartAxes {
  AxisRange energy;
  AxisRange yield;
};

// The main chart's axes: the energy over the measured points when there are
// any (the curve and its band are cut there), else over the curve where it
// stands out from its flat tails (over the band without a curve); the yield from 0 (or the lowest
// value below it) to the highest value drawn within that energy range. None when the chart holds no
// point.
std::optional<MainChartAxes> mainChartAxes(const MainChartData& data);

// The concentration axis that shows the chart's profile, reference and band
// whole: from 0 to kChartRoom above the highest of them, or of `atLeast`
// (0 .. 1 when all is 0).
AxisRange concentrationAxisFor(const DrawProfileChartData& chart, double atLeast = 0.0);

// The depth axis of a figure of the profile: from the surface to where the
// last of the profile, reference and band falls to 0 (the contamination layer
// at least), with kChartRoom beyond; the whole of a profile that reaches its
// last point, and `wholeDepth` when everything is 0.
AxisRange depthAxisFor(const DrawProfileChartData& chart, double wholeDepth);
