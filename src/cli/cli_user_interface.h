#pragma once

#include <optional>
#include <string>

#include "commands/user_interface.h"

// Answers the commands' questions without a user: no file is chosen,
// questions are answered No, messages go to standard error.
class CliUserInterface : public UserInterface {
 public:
  bool askYesNo(const std::string& question) override;
  void showMessage(const std::string& text) override;
  std::optional<std::string> chooseFileToSave(const FileDialogRequest& request) override;
  std::optional<std::string> chooseFileToOpen(const FileDialogRequest& request) override;
  void redraw(View) override {}
  void showWindow(WindowId) override {}
};
