#include "ui/window_geometry.h"

#include <QEvent>
#include <QObject>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace {

QSize frameExtra(const QWidget& window) {
  const QSize extra = window.frameGeometry().size() - window.geometry().size();
  return extra.isValid() ? extra : QSize(0, 0);
}

void apply(QWidget& window, QSize outer, bool fixed) {
  const QSize client = outer - frameExtra(window);
  if (fixed) {
    window.setFixedSize(client);
  } else {
    window.resize(client);
  }
}

// Applies the size once more when the window first appears with its frame;
// later shows keep whatever size the user gave it.
class FirstShowFit : public QObject {
 public:
  FirstShowFit(QWidget& window, QSize outer, bool fixed)
      : QObject(&window), m_window(window), m_outer(outer), m_fixed(fixed) {
    window.installEventFilter(this);
  }

  void update(QSize outer, bool fixed) {
    m_outer = outer;
    m_fixed = fixed;
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &m_window && event->type() == QEvent::Show) {
      apply(m_window, m_outer, m_fixed);
      m_window.removeEventFilter(this);
      deleteLater();
    }
    return false;
  }

 private:
  QWidget& m_window;
  QSize m_outer;
  bool m_fixed;
};

void setSize(QWidget& window, QSize outer, bool fixed) {
  apply(window, outer, fixed);
  if (window.windowHandle()) return;  // on screen before: the frame is known
  for (QObject* child : window.children()) {
    if (auto* fit = dynamic_cast<FirstShowFit*>(child)) {
      fit->update(outer, fixed);
      return;
    }
  }
  new FirstShowFit(window, outer, fixed);
}

}  // namespace

void setOuterSize(QWidget& window, QSize outer) {
  setSize(window, outer, false);
}

void setFixedOuterSize(QWidget& window, QSize outer) {
  setSize(window, outer, true);
}

std::optional<QPoint> placeBeside(QRect owner, QSize outer, QRect screen,
                                  const std::vector<QRect>& taken) {
  constexpr int kGap = 8;
  const QPoint places[] = {{owner.right() + 1 + kGap, owner.top()},
                           {owner.left(), owner.bottom() + 1 + kGap},
                           {owner.left() - kGap - outer.width(), owner.top()},
                           {owner.left(), owner.top() - kGap - outer.height()}};
  std::optional<QPoint> onScreen;
  for (const QPoint& place : places) {
    const QRect rect(place, outer);
    if (!screen.contains(rect)) continue;
    if (std::none_of(taken.begin(), taken.end(),
                     [&](const QRect& other) { return other.intersects(rect); })) {
      return place;
    }
    if (!onScreen) onScreen = place;
  }
  return onScreen;
}

namespace {

class OpenBeside : public QObject {
 public:
  OpenBeside(QWidget& window, const QWidget& owner, std::vector<const QWidget*> others)
      : QObject(&window), m_window(window), m_owner(owner), m_others(std::move(others)) {
    window.installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &m_window && event->type() == QEvent::Show) {
      const QScreen* screen = m_owner.screen();
      std::vector<QRect> taken{m_owner.frameGeometry()};
      for (const QWidget* other : m_others) {
        if (other->isVisible()) taken.push_back(other->frameGeometry());
      }
      if (screen) {
        if (const std::optional<QPoint> place =
                placeBeside(m_owner.frameGeometry(), m_window.frameGeometry().size(),
                            screen->availableGeometry(), taken)) {
          m_window.move(*place);
        }
      }
      m_window.removeEventFilter(this);
      deleteLater();
    }
    return false;
  }

 private:
  QWidget& m_window;
  const QWidget& m_owner;
  std::vector<const QWidget*> m_others;
};

}  // namespace

void openBeside(QWidget& window, const QWidget& owner, std::vector<const QWidget*> others) {
  new OpenBeside(window, owner, std::move(others));
}
