#pragma once

#include <QSize>
#include <QString>
#include <vector>

class QCPItemText;
class QCPLayoutElement;
class QCustomPlot;

// A text box on a main chart while it lives, for a figure whose charts are
// `size`. It never squeezes the plot below two thirds of the chart: in a
// corner of the plot (or the middle of a side) where it hides no mark and not
// the legend; else below the plot, its lines in one to three columns; else
// beside it, wrapped; each tried at the usual text size, then smaller ones
// down to the smallest readable. Where nothing keeps that share, the one that
// leaves the plot the most room. Nothing for an empty text.
class ChartNote {
 public:
  ChartNote(QCustomPlot& chart, const QString& text, QSize size);
  ~ChartNote();
  ChartNote(const ChartNote&) = delete;
  ChartNote& operator=(const ChartNote&) = delete;

  // The least share of its chart's area the plot keeps with a box.
  static constexpr double kPlotShare = 2.0 / 3.0;

 private:
  struct Arrangement;
  bool inside(const QString& text, int pixels);
  double outside(const Arrangement& arrangement, const QString& text, QSize size);
  void remove();

  QCustomPlot& m_chart;
  QCPItemText* m_item = nullptr;
  QCPLayoutElement* m_element = nullptr;
};
