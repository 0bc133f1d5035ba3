#include "ui/chart_clearance.h"

#include <qcustomplot.h>

#include <QPainterPath>
#include <QPolygonF>
#include <array>
#include <limits>

namespace {

// Room kept between a legend and the nearest mark.
constexpr double kClearance = 4.0;

QPointF pixelOf(const QCPAbstractPlottable& plottable, double key, double value) {
  return {plottable.keyAxis()->coordToPixel(key), plottable.valueAxis()->coordToPixel(value)};
}

bool crosses(const QLineF& line, const QRectF& box) {
  if (box.contains(line.p1()) || box.contains(line.p2())) return true;
  const std::array<QLineF, 4> edges{QLineF(box.topLeft(), box.topRight()),
                                    QLineF(box.topRight(), box.bottomRight()),
                                    QLineF(box.bottomRight(), box.bottomLeft()),
                                    QLineF(box.bottomLeft(), box.topLeft())};
  for (const QLineF& edge : edges) {
    if (line.intersects(edge, nullptr) == QLineF::BoundedIntersection) return true;
  }
  return false;
}

std::size_t graphMarksCovered(const QCPGraph& graph, const QRectF& box) {
  std::size_t covered = 0;
  const bool line = graph.lineStyle() != QCPGraph::lsNone;
  std::optional<QPointF> previous;
  for (auto point = graph.data()->constBegin(); point != graph.data()->constEnd(); ++point) {
    const QPointF pixel = pixelOf(graph, point->key, point->value);
    if (line && previous) {
      if (crosses(QLineF(*previous, pixel), box)) ++covered;
    } else if (!line && box.contains(pixel)) {
      ++covered;
    }
    previous = pixel;
  }
  if (line && graph.dataCount() == 1 && box.contains(*previous)) ++covered;
  return covered;
}

// A band is a shaded outline: covered when the box meets its area.
std::size_t curveMarksCovered(const QCPCurve& curve, const QRectF& box) {
  QPolygonF outline;
  for (auto point = curve.data()->constBegin(); point != curve.data()->constEnd(); ++point) {
    outline << pixelOf(curve, point->key, point->value);
  }
  if (outline.size() < 2) return 0;
  QPainterPath area;
  area.addPolygon(outline);
  area.closeSubpath();
  return area.intersects(box) ? 1 : 0;
}

void placeLegend(QCustomPlot& chart) {
  if (!chart.legend->visible()) return;
  QCPLayoutInset& inset = *chart.axisRect()->insetLayout();
  const int index = inset.elements(false).indexOf(chart.legend);
  if (index < 0) return;
  // The corners first, then the middles of the sides.
  const std::array<Qt::Alignment, 8> places{
      Qt::AlignTop | Qt::AlignRight,        Qt::AlignTop | Qt::AlignLeft,
      Qt::AlignBottom | Qt::AlignRight,     Qt::AlignBottom | Qt::AlignLeft,
      Qt::AlignVCenter | Qt::AlignRight,    Qt::AlignVCenter | Qt::AlignLeft,
      Qt::AlignTop | Qt::AlignHCenter,      Qt::AlignBottom | Qt::AlignHCenter};
  Qt::Alignment best = places.front();
  std::size_t fewest = std::numeric_limits<std::size_t>::max();
  for (const Qt::Alignment place : places) {
    inset.setInsetAlignment(index, place);
    inset.update(QCPLayoutElement::upLayout);
    const QRectF box =
        QRectF(chart.legend->outerRect()).adjusted(-kClearance, -kClearance, kClearance, kClearance);
    const std::size_t covered = marksCovered(chart, box);
    if (covered < fewest) {
      fewest = covered;
      best = place;
    }
    if (covered == 0) return;
  }
  inset.setInsetAlignment(index, best);
  inset.update(QCPLayoutElement::upLayout);
}

}  // namespace

std::size_t marksCovered(QCustomPlot& chart, const QRectF& box) {
  std::size_t covered = 0;
  for (int i = 0; i < chart.plottableCount(); ++i) {
    const QCPAbstractPlottable* plottable = chart.plottable(i);
    if (!plottable->visible()) continue;
    if (const auto* graph = qobject_cast<const QCPGraph*>(plottable)) {
      covered += graphMarksCovered(*graph, box);
    } else if (const auto* curve = qobject_cast<const QCPCurve*>(plottable)) {
      covered += curveMarksCovered(*curve, box);
    }
  }
  return covered;
}

void keepLegendClear(QCustomPlot& chart) {
  QObject::connect(&chart, &QCustomPlot::afterLayout, &chart, [&chart] { placeLegend(chart); });
}
