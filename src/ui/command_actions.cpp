#include "ui/command_actions.h"

#include <QKeySequence>
#include <QMenu>

void CommandActions::build(QWidget& container, const std::vector<MenuEntry>& entries,
                           const Trigger& trigger) {
  for (const MenuEntry& entry : entries) {
    const QString caption = QString::fromStdString(entry.caption);
    if (entry.isSubmenu()) {
      auto* submenu = new QMenu(caption, &container);
      build(*submenu, entry.children, trigger);
      container.addAction(submenu->menuAction());
    } else {
      auto* action = new QAction(caption, &container);
      if (!entry.shortcut.empty()) {
        action->setShortcut(QKeySequence(QString::fromStdString(entry.shortcut)));
      }
      const CommandId command = entry.command;
      QObject::connect(action, &QAction::triggered, action,
                       [trigger, command] { trigger(command); });
      container.addAction(action);
      m_actions.emplace(command, action);
    }
    if (entry.separatorAfter) {
      auto* separator = new QAction(&container);
      separator->setSeparator(true);
      container.addAction(separator);
    }
  }
}

QList<QAction*> CommandActions::actions(CommandId command) const {
  QList<QAction*> found;
  const auto [first, last] = m_actions.equal_range(command);
  for (auto it = first; it != last; ++it) found << it->second;
  return found;
}

void CommandActions::setEnabled(CommandId command, bool enabled) {
  for (QAction* action : actions(command)) action->setEnabled(enabled);
}
