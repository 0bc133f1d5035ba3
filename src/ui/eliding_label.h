#pragma once

#include <QLabel>

// A one-line label that never asks its window for more room than a few
// characters: a text longer than the room given is cut with "…" and shown
// whole in the tool tip. Status texts, readouts and progress lines change
// while the user works; a plain label would widen the window at each.
class ElidingLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ElidingLabel(QWidget* parent = nullptr);

  // As QLabel::setText; the whole text is also the tool tip while it is cut.
  void setText(const QString& text);

  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void updateToolTip();
};
