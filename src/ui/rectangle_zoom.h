#pragma once

#include <QObject>
#include <QPoint>
#include <functional>

class QCustomPlot;

// Zoom by dragging a rectangle from upper left to lower right; a rectangle
// dragged from right to left returns to the chart's home view.
class RectangleZoom : public QObject {
  Q_OBJECT

 public:
  RectangleZoom(QCustomPlot& chart, std::function<void()> showHomeView);

  void setEnabled(bool enabled);
  bool isEnabled() const { return m_enabled; }

 private:
  QCustomPlot& m_chart;
  std::function<void()> m_showHomeView;
  QPoint m_start;
  bool m_enabled = false;
};
