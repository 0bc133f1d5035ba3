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

// Asks for the figure's options, starting from those given.
class FigureOptionsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit FigureOptionsDialog(const FigureOptions& start, QWidget* parent = nullptr);
  FigureOptions options() const;

 private:
  QComboBox* m_charts;
  QSpinBox* m_width;
  QSpinBox* m_height;
  QSpinBox* m_resolution;
};
