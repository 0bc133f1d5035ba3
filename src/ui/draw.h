#pragma once

#include <QMainWindow>

#include "commands/chart_data.h"
#include "ui/chart_figures.h"
#include "ui/command_actions.h"

class QCheckBox;
class QCPGraph;
class QCPLayer;
class QCustomPlot;
class ElidingLabel;
class QLabel;
class QMouseEvent;
class QStatusBar;
class PopupMenuForwarder;
class RectangleZoom;
class WindowHost;

// "Draw Profile": the depth profile against depth with the reference beside
// it, and the excitation calculation's menu.
class TFDraw : public QMainWindow {
  Q_OBJECT

 public:
  explicit TFDraw(WindowHost& host);

  // Series from the chart data; the axes follow it only when the data's
  // ranges change, so that a zoomed view survives the profile's redraws.
  void showChart();
  // The axes to the data's ranges, undoing any zoom.
  void showFullScale();
  // The status text and the two check boxes, from the window's texts.
  void showStatus();
  void setCalculationRunning(bool running);

  const CommandActions& actions() const { return m_actions; }
  QCustomPlot& chart() const { return *Chart3; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CheckZoomClick();
  void CheckConvClick();
  void Chart3DblClick();
  void Chart3MouseMove(QMouseEvent* event);
  void setZoomAllowed(bool allowed);
  void placeChecks();
  void placeLegend();
  void showHomeView();

  WindowHost& m_host;
  CommandActions m_actions;
  AxisRange m_shownDepthAxis{-1.0, -1.0};
  AxisRange m_shownConcentrationAxis{-1.0, -1.0};
  double m_shownContaminationDepth = -1.0;
  ProfileChartGraphs m_graphs;

  QCustomPlot* Chart3;
  QCPGraph* SeriesAmostra;
  QCPGraph* SeriesReference;
  QCPLayer* m_seriesLayer;
  QCheckBox* CheckZoom;
  QCheckBox* CheckConv;
  QStatusBar* StatusDraw;
  ElidingLabel* m_statusText;
  ElidingLabel* m_readout;  // the pointer's depth and concentration
  RectangleZoom* m_zoom;
  PopupMenuForwarder* m_popup;
};
