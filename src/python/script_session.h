#pragma once

#include <string>
#include <utility>
#include <vector>

#include "commands/command_session.h"
#include "commands/user_interface.h"

// The commands' questions as a script answers them: No to every question, no
// file chosen, and the messages a command shows kept for the caller, who
// passes them on as warnings (or as the refusal of a command that stopped).
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

  // The messages the commands showed since the last call.
  std::vector<std::string> takeMessages() { return std::exchange(ui.messages, {}); }
};
