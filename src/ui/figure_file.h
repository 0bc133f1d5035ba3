#pragma once

#include <QSize>
#include <string>
#include <vector>

class QCustomPlot;

// How a figure is laid out: each chart at chartSize (pixels at 96 dpi), side
// by side, and the resolution it is drawn at. Every resolution draws the same
// figure: laid out at 96 dpi, with the same relative size of text and lines; a
// raster figure has dotsPerInch / 96 times as many pixels on each side, a PDF
// is drawn at that resolution; SVG (and PDF) are vectors.
struct FigureLayout {
  QSize chartSize{600, 450};
  int dotsPerInch = 96;
};

// Writes the charts side by side into one figure file whose format follows
// the extension (see files/figure_format.h), aside and renamed into place.
// False when the name has no figure extension or the file cannot be written.
// The charts are drawn as they are, whether shown on screen or not.
bool writeFigure(const std::vector<QCustomPlot*>& charts, const std::string& path,
                 const FigureLayout& layout);

// Lays the chart out as writeFigure draws it at `chartSize`, without drawing
// it anywhere, so that its elements' rectangles are those of the figure.
void layOutForFigure(QCustomPlot& chart, QSize chartSize);
