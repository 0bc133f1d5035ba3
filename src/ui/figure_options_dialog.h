#pragma once

#include <QDialog>

#include "ui/figure_file.h"

class QComboBox;
class QSpinBox;

// What "Export figure..." draws: the main chart alone or with the profile
// chart beside it, each at a size, and the resolution of a raster figure.
struct FigureOptions {
  bool bothCharts = false;
  FigureLayout layout;
  bool operator==(const FigureOptions& other) const {
    return bothCharts == other.bothCharts && layout.chartSize == other.layout.chartSize &&
           layout.dotsPerInch == other.layout.dotsPerInch;
  }
};

// The smallest chart the dialog offers: the smallest whose plot keeps two
// thirds of it (ChartNote::kPlotShare), bare or with the longest summary a fit
// of two layers writes taken out of the plot, as measured.
inline constexpr QSize kSmallestChart{400, 300};
inline constexpr QSize kSmallestChartWithSummary{600, 450};

// Asks for the figure's options, starting from those given, for a figure with
// a fit's summary or without.
class FigureOptionsDialog : public QDialog {
  Q_OBJECT

 public:
  FigureOptionsDialog(const FigureOptions& start, bool withSummary, QWidget* parent = nullptr);
  FigureOptions options() const;

 private:
  QComboBox* m_charts;
  QSpinBox* m_width;
  QSpinBox* m_height;
  QSpinBox* m_resolution;
};
