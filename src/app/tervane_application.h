#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

#include "app/about.h"
#include "app/calculation_controller.h"
#include "app/fit_controller.h"
#include "app/log.h"
#include "app/principal.h"
#include "commands/command_context.h"
#include "ui/calcpar.h"
#include "ui/const.h"
#include "ui/draw.h"
#include "ui/drawopts.h"
#include "ui/fit_window.h"
#include "ui/pocket.h"
#include "ui/desktop_user_interface.h"
#include "ui/show.h"
#include "ui/window_host.h"

// The running program: the program state, the texts and chart contents the
// commands work on, and every window, created once in a fixed order and kept
// until the end. Every command from a menu or a button passes through
// runCommand/runGuarded, the one place where errors are shown.
class TervaneApplication : public QObject, public WindowHost, public WindowPresenter {
  Q_OBJECT

 public:
  // Builds the state, then the windows, and shows the main and Draw Profile
  // windows. Questions, messages and file choices go to `ui`, which shows
  // the windows of this program while it lives.
  explicit TervaneApplication(DesktopUserInterface& ui);
  ~TervaneApplication() override;

  ProgramState& state() { return m_state; }
  WindowTexts& texts() { return m_texts; }
  ChartData& charts() { return m_charts; }
  const CalculationController& calculation() const { return *m_calculation; }
  const FitController& fit() const { return *m_fit; }
  // In creation order; the Fit window, created last, is reached through window().
  std::vector<QWidget*> windows() const;
  QWidget* window(WindowId id) const;

  // WindowHost
  CommandContext& context() override { return m_context; }
  void runCommand(CommandId command) override;
  void runGuarded(const std::function<void()>& handler) override;
  void popupMainMenu(const QPoint& globalPosition) override;
  QString applicationTitle() const override { return m_applicationTitle; }
  void setApplicationTitle(const QString& title) override;
  void prepareExit() override;

  // WindowPresenter
  void redraw(View view) override;
  void showWindow(WindowId window) override;
  void hideWindow(WindowId window) override;
  bool saveMainChartBitmap(const std::string& path) override;

 signals:
  // The user agreed to leave and everything has stopped; the event loop may end.
  void exitConfirmed();

 private:
  void calculationRunningChanged(bool running, int nc);
  // "Export figure...": the options, then the file, then the charts as shown.
  void exportFigure();
  void fitRunningChanged(bool running);
  void reportError(const std::string& text);

  ProgramState m_state;
  WindowTexts m_texts;
  ChartData m_charts;
  DesktopUserInterface& m_ui;
  CommandContext m_context;
  QString m_applicationTitle;
  FigureOptions m_figureOptions;
  std::string m_figureName;
  std::unique_ptr<CalculationController> m_calculation;
  std::unique_ptr<FitController> m_fit;

 public:
  std::unique_ptr<TFTervane2> FTervane2;
  std::unique_ptr<TFCalcPar> FCalcPar;
  std::unique_ptr<TFShow> FShow;
  std::unique_ptr<TFLog> FLog;
  std::unique_ptr<TFConst> FConst;
  std::unique_ptr<TFDraw> FDraw;
  std::unique_ptr<TFPocket> FPocket;
  std::unique_ptr<TFDrawOpts> FDrawOpts;
  std::unique_ptr<TAboutBox> AboutBox;
  std::unique_ptr<FitWindow> FFit;
};
