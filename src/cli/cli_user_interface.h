#pragma once

#include <optional>
#include <string>

#include "commands/user_interface.h"

// Answers the commands' questions from the command line: the save dialog gets
// the --out path, questions are answered No, messages go to standard error.
class CliUserInterface : public UserInterface {
 public:
  void setSavePath(std::string path) { m_savePath = std::move(path); }
  void setOpenPath(std::string path) { m_openPath = std::move(path); }

  bool askYesNo(const std::string& question) override;
  void showMessage(const std::string& text) override;
  std::optional<std::string> chooseFileToSave(const FileDialogRequest& request) override;
  std::optional<std::string> chooseFileToOpen(const FileDialogRequest& request) override;
  void redraw(View) override {}
  void showWindow(WindowId) override {}

 private:
  std::optional<std::string> m_savePath;
  std::optional<std::string> m_openPath;
};
