#pragma once

class QCPGraph;
class QCustomPlot;
struct ChartSeries;
struct FitChartData;

// Replaces the graph's points by the series' points. Series built in order of
// x, as every line series is, are taken without sorting them again, which
// keeps a redraw of a long profile to one pass over its points.
void showSeries(QCPGraph& graph, const ChartSeries& series);

// The residual plot: one series of impulses, or of several measurements one
// in its own colour each, named in the legend.
void showResiduals(QCustomPlot& chart, const FitChartData& data);
