#pragma once

#include <QRectF>
#include <cstddef>

class QCustomPlot;

// How many of the chart's drawn marks a box (in pixels) would cover: each
// point of a scatter series inside it, each stretch of a line crossing it, and
// each shaded band it overlaps. Zero for a box that hides nothing.
std::size_t marksCovered(QCustomPlot& chart, const QRectF& box);

// From now on, every time the chart is laid out, its legend goes to the first
// corner of the plot (then the middle of a side) where it covers no mark,
// else to where it covers fewest: on screen and in every figure alike.
void keepLegendClear(QCustomPlot& chart);
