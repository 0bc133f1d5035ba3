#include "ui/eliding_label.h"

#include <QPainter>
#include <QResizeEvent>
#include <QStyle>

namespace {

// What the label asks for at least: enough for a few characters and "…".
constexpr int kLeastCharacters = 4;

}  // namespace

ElidingLabel::ElidingLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
}

void ElidingLabel::setText(const QString& text) {
  QLabel::setText(text);
  updateToolTip();
}

QSize ElidingLabel::minimumSizeHint() const {
  const QFontMetrics metrics = fontMetrics();
  const int margins = contentsMargins().left() + contentsMargins().right() + 2 * margin();
  return {metrics.horizontalAdvance(QLatin1Char('0')) * kLeastCharacters + margins,
          QLabel::minimumSizeHint().height()};
}

void ElidingLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  drawFrame(&painter);
  const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
  const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
  style()->drawItemText(&painter, room, QStyle::visualAlignment(layoutDirection(), alignment()),
                        palette(), isEnabled(), shown, foregroundRole());
}

void ElidingLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  updateToolTip();
}

void ElidingLabel::updateToolTip() {
  const int room = contentsRect().width() - 2 * margin();
  setToolTip(fontMetrics().horizontalAdvance(text()) > room ? text() : QString());
}
