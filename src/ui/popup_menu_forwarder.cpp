#include "ui/popup_menu_forwarder.h"

#include <QContextMenuEvent>
#include <QWidget>

#include "ui/window_host.h"

PopupMenuForwarder::PopupMenuForwarder(WindowHost& host, QObject* parent)
    : QObject(parent), m_host(host) {}

void PopupMenuForwarder::watch(QWidget& widget) {
  widget.installEventFilter(this);
}

void PopupMenuForwarder::watchTree(QWidget& root) {
  watch(root);
  for (QWidget* child : root.findChildren<QWidget*>()) watch(*child);
}

bool PopupMenuForwarder::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ContextMenu) {
    m_host.popupMainMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
    return true;
  }
  return QObject::eventFilter(watched, event);
}
