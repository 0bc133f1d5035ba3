#pragma once

#include <QObject>

class QWidget;
class WindowHost;

// Opens the main window's pop-up menu on a right click over the watched
// widgets, in place of their own context menus.
class PopupMenuForwarder : public QObject {
  Q_OBJECT

 public:
  PopupMenuForwarder(WindowHost& host, QObject* parent);

  void watch(QWidget& widget);
  // The widget and everything inside it at the time of the call.
  void watchTree(QWidget& root);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  WindowHost& m_host;
};
