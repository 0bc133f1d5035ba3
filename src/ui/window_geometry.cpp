#include "ui/window_geometry.h"

#include <QEvent>
#include <QObject>
#include <QWidget>
#include <QWindow>

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
