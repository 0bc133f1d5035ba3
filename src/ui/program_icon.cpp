#include "ui/program_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap drawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::white);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const double s = size / 32.0;
  painter.setPen(QPen(QColor(80, 80, 80), s));
  painter.drawRect(QRectF(0.5 * s, 0.5 * s, 31 * s, 31 * s));
  // A yield that rises at the resonance and falls back once the beam has
  // passed the layer: the shape every profile of the program ends up as.
  QPainterPath curve;
  curve.moveTo(3 * s, 27 * s);
  curve.cubicTo(9 * s, 27 * s, 9 * s, 7 * s, 14 * s, 7 * s);
  curve.lineTo(19 * s, 7 * s);
  curve.cubicTo(24 * s, 7 * s, 24 * s, 24 * s, 29 * s, 24 * s);
  painter.setPen(QPen(Qt::black, 2 * s));
  painter.drawPath(curve);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::red);
  for (const QPointF& point :
       {QPointF(6, 25), QPointF(11, 12), QPointF(16, 9), QPointF(21, 10), QPointF(26, 22)}) {
    painter.drawEllipse(QPointF(point.x() * s, point.y() * s), 1.8 * s, 1.8 * s);
  }
  return pixmap;
}

}  // namespace

QIcon programIcon() {
  QIcon icon;
  for (int size : {16, 32, 64}) icon.addPixmap(drawIcon(size));
  return icon;
}
