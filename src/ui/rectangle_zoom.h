#pragma once

#include <qcustomplot.h>

#include <QObject>
#include <QPoint>
#include <QTimer>
#include <functional>

// Zoom by dragging a rectangle from upper left to lower right, the axes moving
// to the new view in a few animated steps; a rectangle dragged from right to
// left returns to the chart's home view at once.
class RectangleZoom : public QObject {
  Q_OBJECT

 public:
  RectangleZoom(QCustomPlot& chart, int animationSteps, std::function<void()> showHomeView);

  void setEnabled(bool enabled);
  bool isEnabled() const { return m_enabled; }

 private:
  void zoomTo(const QRect& rect);
  void showStep();

  QCustomPlot& m_chart;
  std::function<void()> m_showHomeView;
  QPoint m_start;
  bool m_enabled = false;

  QTimer m_animation;
  int m_steps;
  int m_step = 0;
  QCPRange m_fromX, m_fromY, m_toX, m_toY;
};
