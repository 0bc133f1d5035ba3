#include "ui/rectangle_zoom.h"

namespace {

constexpr int kStepMilliseconds = 25;

QCPRange between(const QCPRange& from, const QCPRange& to, double fraction) {
  return QCPRange(from.lower + (to.lower - from.lower) * fraction,
                  from.upper + (to.upper - from.upper) * fraction);
}

}  // namespace

RectangleZoom::RectangleZoom(QCustomPlot& chart, int animationSteps,
                             std::function<void()> showHomeView)
    : QObject(&chart),
      m_chart(chart),
      m_showHomeView(std::move(showHomeView)),
      m_steps(animationSteps < 1 ? 1 : animationSteps) {
  QCPSelectionRect* rectangle = m_chart.selectionRect();
  connect(rectangle, &QCPSelectionRect::started, this,
          [this](QMouseEvent* event) { m_start = event->position().toPoint(); });
  connect(rectangle, &QCPSelectionRect::accepted, this,
          [this](const QRect& rect, QMouseEvent* event) {
            if (event->position().toPoint().x() < m_start.x()) {
              m_animation.stop();
              m_showHomeView();
              m_chart.replot();
            } else if (rect.width() > 1 && rect.height() > 1) {
              zoomTo(rect);
            }
          });
  m_animation.setInterval(kStepMilliseconds);
  connect(&m_animation, &QTimer::timeout, this, &RectangleZoom::showStep);
  setEnabled(false);
}

void RectangleZoom::setEnabled(bool enabled) {
  m_enabled = enabled;
  m_chart.setSelectionRectMode(enabled ? QCP::srmCustom : QCP::srmNone);
}

void RectangleZoom::zoomTo(const QRect& rect) {
  m_animation.stop();
  QCPAxis* x = m_chart.xAxis;
  QCPAxis* y = m_chart.yAxis;
  m_fromX = x->range();
  m_fromY = y->range();
  // Let the chart work out the view the rectangle asks for, then start from
  // where the axes were.
  m_chart.axisRect()->zoom(QRectF(rect));
  m_toX = x->range();
  m_toY = y->range();
  x->setRange(m_fromX);
  y->setRange(m_fromY);
  m_step = 0;
  showStep();
  if (m_step < m_steps) m_animation.start();
}

void RectangleZoom::showStep() {
  ++m_step;
  const bool last = m_step >= m_steps;
  const double fraction = static_cast<double>(m_step) / m_steps;
  m_chart.xAxis->setRange(last ? m_toX : between(m_fromX, m_toX, fraction));
  m_chart.yAxis->setRange(last ? m_toY : between(m_fromY, m_toY, fraction));
  if (last) m_animation.stop();
  m_chart.replot();
}
