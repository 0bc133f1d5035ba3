#pragma once

class QCPGraph;
struct ChartSeries;

// Replaces the graph's points by the series' points. The graph keeps its
// points sorted by x; every series drawn as a line is built in that order.
void showSeries(QCPGraph& graph, const ChartSeries& series);
