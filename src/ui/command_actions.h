#pragma once

#include <QAction>
#include <QList>
#include <QWidget>
#include <functional>
#include <map>
#include <vector>

#include "commands/command_table.h"

// The actions built from one command table, found again by command so that a
// running calculation can switch off every entry that would disturb it.
class CommandActions {
 public:
  using Trigger = std::function<void(CommandId)>;

  // Appends the entries to a menu or a menu bar: sub-menus, separators,
  // accelerators ('&') and shortcut keys as the table gives them.
  void build(QWidget& container, const std::vector<MenuEntry>& entries, const Trigger& trigger);

  QList<QAction*> actions(CommandId command) const;
  void setEnabled(CommandId command, bool enabled);

 private:
  std::multimap<CommandId, QAction*> m_actions;
};
