#pragma once

#include <string>

#include "commands/user_interface.h"
#include "ui/dialog_provider.h"

// The windows as the commands see them: something to repaint, to show and
// hide, and the main chart to write out as an image.
class WindowPresenter {
 public:
  virtual ~WindowPresenter() = default;
  virtual void redraw(View view) = 0;
  virtual void showWindow(WindowId window) = 0;
  virtual void hideWindow(WindowId window) = 0;
  virtual bool saveMainChartBitmap(const std::string& path) = 0;
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
  bool askYesNoWithDetail(const std::string& question, const std::string& detail) override {
    return m_dialogs->askYesNoWithDetail(question, detail);
  }
  void showMessage(const std::string& text) override { m_dialogs->showMessage(text); }
  std::optional<std::string> chooseFileToSave(const FileDialogRequest& request) override {
    return m_dialogs->chooseFileToSave(request);
  }
  std::optional<std::string> chooseFileToOpen(const FileDialogRequest& request) override {
    return m_dialogs->chooseFileToOpen(request);
  }
  void redraw(View view) override { m_windows.redraw(view); }
  void showWindow(WindowId window) override { m_windows.showWindow(window); }
  void hideWindow(WindowId window) override { m_windows.hideWindow(window); }
  bool saveMainChartBitmap(const std::string& path) override {
    return m_windows.saveMainChartBitmap(path);
  }

 private:
  DialogProvider* m_dialogs;
  WindowPresenter& m_windows;
};
