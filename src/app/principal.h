#pragma once

#include <QMainWindow>
#include <QSystemTrayIcon>
#include <string>
#include <utility>

#include "ui/chart_figures.h"
#include "ui/command_actions.h"

class ElidingLabel;
class QCPGraph;
class QCustomPlot;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QStatusBar;
class PopupMenuForwarder;
class RectangleZoom;
class WindowHost;

// The main window: the computed curve and the measured points over energy,
// the two menus through which every command is reached, and the progress of
// a running calculation.
class TFTervane2 : public QMainWindow {
  Q_OBJECT

 public:
  explicit TFTervane2(WindowHost& host);

  void showChart();
  void showStatusPanels();
  // The progress display follows the run: on with its highest collision number,
  // then the number of each finished autoconvolution.
  void setCalculationRunning(bool running, int nc);
  void showCalculationProgress(int n);
  // While a fit runs, the entries that would change what it reads are off.
  void setFitRunning(bool running);
  // The energy range (keV) the chart shows, zoomed or not.
  std::pair<double, double> visibleEnergyRange() const;

  // Writes the chart, at its size on screen and with everything it shows, to
  // a figure file whose format follows the extension; false when the file
  // cannot be written.
  bool saveChartBitmap(const std::string& path) const;

  QMenu& popupMenu() const { return *PopupMenu1; }
  QCustomPlot& chart() const { return *ChartPrinc; }
  const CommandActions& menuActions() const { return m_menuActions; }
  const CommandActions& popupActions() const { return m_popupActions; }
  QSystemTrayIcon& trayIcon() const { return *TrayIcon1; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void FormCreate();
  void addRecentFilesMenu();
  void fitAxesToData();
  void FormCloseQuery(QCloseEvent* event);
  void TrayIcon1Activated(QSystemTrayIcon::ActivationReason reason);
  void restoreFromTray();
  void BtnStopClick();

  WindowHost& m_host;
  CommandActions m_menuActions;
  CommandActions m_popupActions;

  QCustomPlot* ChartPrinc;
  MainChartGraphs m_graphs;  // SeriesPrinc and SeriesExp
  RectangleZoom* m_zoom;
  QStatusBar* StatusPrinc;
  QLabel* StatusPanel1;
  QLabel* StatusPanel2;
  ElidingLabel* StatusMessage;
  ElidingLabel* StatusReadout;  // the pointer's energy and yield
  QProgressBar* ProgressCalc;
  QPushButton* BtnStop;
  QPushButton* BtnStartCalculation;  // offered while the convolutions are stale
  QMenu* PopupMenu1;
  QSystemTrayIcon* TrayIcon1;
  PopupMenuForwarder* m_popup;
};
