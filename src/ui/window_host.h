#pragma once

#include <QPoint>
#include <QString>
#include <functional>

#include "commands/command_context.h"
#include "commands/command_table.h"

// What a window needs of the application that owns it. Windows never call each
// other: they reach the program state, the commands and the shared pop-up menu
// through this.
class WindowHost {
 public:
  virtual ~WindowHost() = default;

  virtual CommandContext& context() = 0;
  // Runs a menu command under the one error handler: a failing command shows
  // its message and the program goes on.
  virtual void runCommand(CommandId command) = 0;
  // Runs a button or event handler under the same error handler.
  virtual void runGuarded(const std::function<void()>& handler) = 0;
  // The main window's pop-up menu, opened from several windows.
  virtual void popupMainMenu(const QPoint& globalPosition) = 0;
  // The title the desktop shows for the program as a whole.
  virtual QString applicationTitle() const = 0;
  virtual void setApplicationTitle(const QString& title) = 0;
  // Called once the user has agreed to leave: stops what still runs.
  virtual void prepareExit() = 0;
};
