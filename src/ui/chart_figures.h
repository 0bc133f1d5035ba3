#pragma once

#include <QPointF>
#include <QString>
#include <string>
#include <vector>

#include "commands/chart_data.h"
#include "ui/chart_note.h"
#include "ui/figure_file.h"

class QCPCurve;
class QCPGraph;
class QCPItemRect;
class QCustomPlot;

// The program's two charts, set up and filled in one place for the windows
// and for figures drawn without them, so that a figure shows what a window
// shows.

struct MainChartGraphs {
  QCPGraph* curve = nullptr;   // the computed curve, "SeriesPrinc"
  QCPGraph* points = nullptr;  // the measured points, "SeriesExp"
  // "CurveBand", behind the curve: a shaded outline, low edge out and high
  // edge back, so that the charts' graphs stay the series alone.
  QCPCurve* curveBand = nullptr;
};

// Energy and yield axes with their titles, the two series and the legend,
// which keeps clear of them (keepLegendClear).
MainChartGraphs setUpMainChart(QCustomPlot& chart);
// Series and curve colour from the data; the legend shows when both series
// hold points. The axes are left alone (see fitMainChartAxes).
void showMainChartData(QCustomPlot& chart, const MainChartGraphs& graphs,
                       const MainChartData& data);
// Both axes to what the chart shows (mainChartAxes): the measured points, or
// the curve without them, with a little room so that the outermost points are
// drawn whole rather than cut by the chart's edge.
void fitMainChartAxes(QCustomPlot& chart, const MainChartData& data);

struct ProfileChartGraphs {
  QCPGraph* profile = nullptr;    // "SeriesAmostra", a filled red area
  QCPGraph* reference = nullptr;  // "SeriesReference", a black line
  QCPItemRect* contamination = nullptr;
  QCPCurve* band = nullptr;  // "ProfileBand", behind the profile, as curveBand
};

// Depth and concentration axes with their titles, the two series, and the
// shaded band of the contamination layer behind them.
ProfileChartGraphs setUpProfileChart(QCustomPlot& chart);
// The contamination band over depths 0 .. depthUgPerCm2; hidden for 0.
void showContaminationLayer(const ProfileChartGraphs& graphs, double depthUgPerCm2);

// The profile's band and its legend entry; the profile's fill lets the band
// show through while there is one. False when the series' layer alone needs
// redrawing: no band before or now.
bool showProfileBand(QCustomPlot& chart, const ProfileChartGraphs& graphs, const ChartBand& band);

// The pointer's place in the chart's coordinates, as the status bars show it:
// "151.234 keV, 345.6 counts" or "1.234 µg/cm², 0.5".
QString mainChartReadout(const QCustomPlot& chart, QPointF pixel);
QString profileChartReadout(double depthUgPerCm2, double concentration);

// What a figure of the chart data holds beside the main chart.
struct FigureContents {
  bool withProfile = false;  // the profile chart beside the main one
  QString note;              // a text box on the main chart (ChartNote); none when empty
};

// Draws the chart data on charts of its own, off screen, and writes them as
// writeFigure does. The main chart's axes follow its data (fitMainChartAxes);
// the profile chart shows the data's depth and concentration ranges.
bool writeChartDataFigure(const ChartData& data, const FigureContents& contents,
                          const std::string& path, const FigureLayout& layout);
// Several main charts side by side, each with its text box (notes[k]), then
// the profile chart when there is one: the figure of several measurements.
bool writeMainChartsFigure(const std::vector<MainChartData>& mains,
                           const std::vector<QString>& notes, const DrawProfileChartData* profile,
                           const std::string& path, const FigureLayout& layout);
