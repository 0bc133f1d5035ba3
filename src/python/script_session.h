#pragma once

#include <string>
#include <vector>

#include "commands/command_error.h"
#include "commands/command_session.h"
#include "commands/user_interface.h"

// One run of the program's state and windows' texts for a script: questions
// are answered No, no file is chosen, and the messages a command shows are
// kept for the caller to raise.
class ScriptUserInterface : public UserInterface {
 public:
  bool askYesNo(const std::string&) override { return false; }
  void showMessage(const std::string& text) override { messages.push_back(text); }
  std::optional<std::string> chooseFileToSave(const FileDialogRequest&) override { return {}; }
  std::optional<std::string> chooseFileToOpen(const FileDialogRequest&) override { return {}; }
  void redraw(View) override {}
  void showWindow(WindowId) override {}

  std::vector<std::string> messages;
};

struct ScriptSession : CommandSession<ScriptUserInterface> {

  // A message the commands showed stops the script as their refusal would.
  void raiseMessages() {
    if (ui.messages.empty()) return;
    std::string text;
    for (const std::string& message : ui.messages) text += (text.empty() ? "" : "\n") + message;
    ui.messages.clear();
    throw CommandError(text);
  }
};
