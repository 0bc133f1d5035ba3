#pragma once

#include <deque>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "commands/command_context.h"
#include "commands/user_interface.h"

// Answers the commands' questions from a script and records what they showed.
class ScriptedUserInterface : public UserInterface {
 public:
  std::deque<bool> answers;                            // popped by askYesNo; No when empty
  std::deque<std::optional<std::string>> saveChoices;  // popped by chooseFileToSave
  std::deque<std::optional<std::string>> openChoices;  // popped by chooseFileToOpen

  std::vector<std::string> questions;
  std::vector<std::string> messages;
  std::vector<FileDialogRequest> saveRequests;
  std::vector<FileDialogRequest> openRequests;
  std::vector<View> redraws;
  std::vector<WindowId> shownWindows;
  // The Draw Profile status text at each of its repaints, when texts are observed.
  const WindowTexts* observedTexts = nullptr;
  std::vector<std::string> drawStatusHistory;

  bool askYesNo(const std::string& question) override {
    questions.push_back(question);
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void showMessage(const std::string& text) override { messages.push_back(text); }
  std::optional<std::string> chooseFileToSave(const FileDialogRequest& request) override {
    saveRequests.push_back(request);
    return pop(saveChoices);
  }
  std::optional<std::string> chooseFileToOpen(const FileDialogRequest& request) override {
    openRequests.push_back(request);
    return pop(openChoices);
  }
  void redraw(View view) override {
    redraws.push_back(view);
    if (view == View::DrawProfileStatus && observedTexts != nullptr) {
      drawStatusHistory.push_back(observedTexts->drawProfile.status);
    }
  }
  void showWindow(WindowId window) override { shownWindows.push_back(window); }

 private:
  static std::optional<std::string> pop(std::deque<std::optional<std::string>>& choices) {
    if (choices.empty()) return std::nullopt;
    std::optional<std::string> choice = choices.front();
    choices.pop_front();
    return choice;
  }
};

// A program state, window texts and a scripted user, as one command sees them.
struct CommandFixture {
  ProgramState state;
  WindowTexts texts;
  ChartData charts;
  ScriptedUserInterface ui;
  CommandContext context{state, texts, charts, ui};

  CommandFixture() {
    state.applyMainWindowStartValues();
    ui.observedTexts = &texts;
  }
};

// The message a command stopped with, or "no message" when it ran to its end.
inline std::string commandMessage(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "no message";
}
