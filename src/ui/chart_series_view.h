#pragma once

class QCPGraph;
struct ChartSeries;

// Replaces the graph's points by the series' points. Series built in order of
// x, as every line series is, are taken without sorting them again, which
// keeps a redraw of a long profile to one pass over its points.
void showSeries(QCPGraph& graph, const ChartSeries& series);
