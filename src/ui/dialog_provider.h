#pragma once

#include <optional>
#include <string>

#include "commands/user_interface.h"
#include "ui/figure_options_dialog.h"

// The questions, messages and file choices of the user interface. The desktop
// answers with real dialogs; tests put a scripted provider in their place.
class DialogProvider {
 public:
  virtual ~DialogProvider() = default;

  virtual bool askYesNo(const std::string& question) = 0;
  // With a line under the question; providers that have no room for it ask
  // the question alone.
  virtual bool askYesNoWithDetail(const std::string& question, const std::string& /*detail*/) {
    return askYesNo(question);
  }
  virtual void showMessage(const std::string& text) = 0;
  virtual std::optional<std::string> chooseFileToSave(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> chooseFileToOpen(const FileDialogRequest& request) = 0;
  // The options of "Export figure...", starting from those given; nothing
  // when the user cancelled. Providers without the dialog cancel.
  virtual std::optional<FigureOptions> chooseFigureOptions(const FigureOptions& /*start*/) {
    return std::nullopt;
  }
};
