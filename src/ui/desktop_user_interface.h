#pragma once

#include <optional>
#include <string>

#include "commands/user_interface.h"
#include "ui/figure_options_dialog.h"

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

// The desktop's user interface: the questions, messages and file choices of
// a subclass (real dialogs, or a test's script), and the windows of the
// program it serves, which puts them in with showOn() while it lives. A copy
// serves no program until it is put in one.
class DesktopUserInterface : public UserInterface {
 public:
  DesktopUserInterface() = default;
  DesktopUserInterface(const DesktopUserInterface&) : UserInterface() {}
  DesktopUserInterface& operator=(const DesktopUserInterface&) { return *this; }

  void showOn(WindowPresenter* windows) { m_windows = windows; }

  // The options of "Export figure...", starting from those given, for a
  // figure with a fit's summary or without; nothing when the user cancelled.
  // Without the dialog, it cancels.
  virtual std::optional<FigureOptions> chooseFigureOptions(const FigureOptions& /*start*/,
                                                           bool /*withSummary*/) {
    return std::nullopt;
  }

  void redraw(View view) final {
    if (m_windows) m_windows->redraw(view);
  }
  void showWindow(WindowId window) final {
    if (m_windows) m_windows->showWindow(window);
  }
  void hideWindow(WindowId window) final {
    if (m_windows) m_windows->hideWindow(window);
  }
  bool saveMainChartBitmap(const std::string& path) final {
    return m_windows && m_windows->saveMainChartBitmap(path);
  }

 private:
  WindowPresenter* m_windows = nullptr;
};
