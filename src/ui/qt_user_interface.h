#pragma once

#include "commands/user_interface.h"
#include "ui/dialog_provider.h"

// The windows as the commands see them: something to repaint and to show.
class WindowPresenter {
 public:
  virtual ~WindowPresenter() = default;
  virtual void redraw(View view) = 0;
  virtual void showWindow(WindowId window) = 0;
};

// The desktop's answer to the commands: questions and files through a
// replaceable dialog provider, repaints and windows through the presenter.
class QtUserInterface : public UserInterface {
 public:
  QtUserInterface(DialogProvider& dialogs, WindowPresenter& windows)
      : m_dialogs(&dialogs), m_windows(windows) {}

  void setDialogProvider(DialogProvider& dialogs) { m_dialogs = &dialogs; }
  DialogProvider& dialogProvider() const { return *m_dialogs; }

  bool askYesNo(const std::string& question) override { return m_dialogs->askYesNo(question); }
  void showMessage(const std::string& text) override { m_dialogs->showMessage(text); }
  std::optional<std::string> chooseFileToSave(const FileDialogRequest& request) override {
    return m_dialogs->chooseFileToSave(request);
  }
  std::optional<std::string> chooseFileToOpen(const FileDialogRequest& request) override {
    return m_dialogs->chooseFileToOpen(request);
  }
  void redraw(View view) override { m_windows.redraw(view); }
  void showWindow(WindowId window) override { m_windows.showWindow(window); }

 private:
  DialogProvider* m_dialogs;
  WindowPresenter& m_windows;
};
