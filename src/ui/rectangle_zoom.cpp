#include "ui/rectangle_zoom.h"

#include <qcustomplot.h>

RectangleZoom::RectangleZoom(QCustomPlot& chart, std::function<void()> showHomeView)
    : QObject(&chart), m_chart(chart), m_showHomeView(std::move(showHomeView)) {
  QCPSelectionRect* rectangle = m_chart.selectionRect();
  connect(rectangle, &QCPSelectionRect::started, this,
          [this](QMouseEvent* event) { m_start = event->position().toPoint(); });
  connect(rectangle, &QCPSelectionRect::accepted, this,
          [this](const QRect& rect, QMouseEvent* event) {
            if (event->position().toPoint().x() < m_start.x()) {
              m_showHomeView();
            } else if (rect.width() > 1 && rect.height() > 1) {
              m_chart.axisRect()->zoom(QRectF(rect));
            }
            m_chart.replot();
          });
  setEnabled(false);
}

void RectangleZoom::setEnabled(bool enabled) {
  m_enabled = enabled;
  m_chart.setSelectionRectMode(enabled ? QCP::srmCustom : QCP::srmNone);
}
