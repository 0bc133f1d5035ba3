#include "cli/cli_user_interface.h"

#include <iostream>

bool CliUserInterface::askYesNo(const std::string&) {
  return false;
}

void CliUserInterface::showMessage(const std::string& text) {
  std::cerr << text << '\n';
}

std::optional<std::string> CliUserInterface::chooseFileToSave(const FileDialogRequest&) {
  return std::nullopt;
}

std::optional<std::string> CliUserInterface::chooseFileToOpen(const FileDialogRequest&) {
  return std::nullopt;
}
