#pragma once

#include <QWidget>
#include <functional>
#include <utility>

#include "commands/command_context.h"
#include "ui/field_bindings.h"

class QCheckBox;
class QComboBox;
class QCPGraph;
class QCustomPlot;
class QLabel;
class QLineEdit;
class QListWidget;
class ElidingLabel;
class FitMeasurementsPanel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class WindowHost;

// "Fit": the sample model as a table of layers and parameters, the fit's
// settings, its buttons, and after a fit its results and residual plot.
class FitWindow : public QWidget {
  Q_OBJECT

 public:
  // The visible energy range of the main chart (keV as drawn), for "Use zoomed range".
  using EnergyRange = std::function<std::pair<double, double>()>;

  FitWindow(WindowHost& host, EnergyRange mainChartRange);

  // The settings and the table, from the window's texts.
  void showFields();
  void showStatus();
  // The results text, the warnings and the residual plot.
  void showResults();
  // While a fit runs only Stop and the results can be used.
  void setFitRunning(bool running);

 private:
  void tableItemChanged(QTableWidgetItem* item);
  void statisticChosen(int index);
  void removeLayerClick();
  void copyResultsClick();
  void run(const std::function<void(CommandContext&)>& command);

  WindowHost& m_host;
  EnergyRange m_mainChartRange;
  FieldBindings<FitTexts> m_fields;
  bool m_showing = false;  // the table is being filled from the texts

  QLineEdit* EditMaxDepth;
  QLineEdit* EditStep;
  QLineEdit* EditContamination;
  QCheckBox* CheckConvolve;
  QComboBox* ComboStatistic;
  QLineEdit* EditRangeFrom;
  QLineEdit* EditRangeTo;
  QLineEdit* EditRegions;  // a free-form profile's depth regions
  QTableWidget* TableParameters;
  FitMeasurementsPanel* m_measurements;
  ElidingLabel* LabelProgress;
  QListWidget* ListWarnings;
  // Why the loaded convolutions do not fit the Calculation Parameters, and
  // the way to new ones.
  ElidingLabel* LabelConvolutions;
  QPushButton* BtnStartCalculation;
  QPlainTextEdit* EditResults;
  QCustomPlot* ChartResiduals;
  std::vector<QWidget*> m_editors;  // everything a running fit switches off
  QPushButton* BtnFit;
  QPushButton* BtnFreeForm;
  QPushButton* BtnPosterior;
  QLineEdit* EditPosteriorSteps;
  QLineEdit* EditPosteriorSeed;
  QPushButton* BtnStop;
};
