#include "app/tervane_application.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLocale>
#include <QMenu>
#include <algorithm>
#include <exception>

#include "app/guarded_application.h"
#include "commands/command_error.h"
#include "commands/fit_job.h"
#include "commands/fit_figure.h"
#include "commands/shell_commands.h"
#include "files/figure_format.h"
#include "ui/chart_figures.h"
#include "ui/figure_file.h"
#include "ui/program_title.h"
#include "ui/window_geometry.h"

namespace {

DecimalFormat desktopDecimalFormat() {
  const QString point = QLocale::system().decimalPoint();
  DecimalFormat format;
  if (point.size() == 1 && point.at(0).unicode() < 0x80) format.separator = point.at(0).toLatin1();
  return format;
}

GuardedApplication* guardedApplication() {
  return dynamic_cast<GuardedApplication*>(QCoreApplication::instance());
}

}  // namespace

TervaneApplication::TervaneApplication(DesktopUserInterface& ui)
    : m_ui(ui), m_context{m_state, m_texts, m_charts, m_ui, desktopDecimalFormat(), false} {
  m_ui.showOn(this);
  // The program state exists before the first window: the windows read it
  // while they are built.
  setApplicationTitle(QStringLiteral("Tervane 2.0"));
  if (GuardedApplication* application = guardedApplication()) {
    application->setErrorReporter([this](const std::string& text) { reportError(text); });
  }

  FTervane2 = std::make_unique<TFTervane2>(*this);
  FCalcPar = std::make_unique<TFCalcPar>(*this);
  FShow = std::make_unique<TFShow>(*this);
  FLog = std::make_unique<TFLog>(*this);
  FConst = std::make_unique<TFConst>(*this);
  FDraw = std::make_unique<TFDraw>(*this);
  FPocket = std::make_unique<TFPocket>();
  FDrawOpts = std::make_unique<TFDrawOpts>(*this);
  AboutBox = std::make_unique<TAboutBox>(*this);
  FFit = std::make_unique<FitWindow>(*this, [this] { return FTervane2->visibleEnergyRange(); });

  m_calculation = std::make_unique<CalculationController>(*this);
  connect(m_calculation.get(), &CalculationController::runningChanged, this,
          &TervaneApplication::calculationRunningChanged);
  connect(m_calculation.get(), &CalculationController::progressed, FTervane2.get(),
          &TFTervane2::showCalculationProgress);
  m_fit = std::make_unique<FitController>(*this);
  connect(m_fit.get(), &FitController::runningChanged, this,
          &TervaneApplication::fitRunningChanged);
  connect(FDrawOpts.get(), &TFDrawOpts::scaleChanged, FDraw.get(), &TFDraw::showFullScale);

  // Beside the main window where the screen has room, not over its chart.
  openBeside(*FDraw, *FTervane2);
  openBeside(*FFit, *FTervane2, {FDraw.get()});
  FTervane2->show();
  FDraw->show();
}

TervaneApplication::~TervaneApplication() {
  m_fit->stopAndWait();
  m_calculation->stopAndWait();
  if (GuardedApplication* application = guardedApplication()) application->setErrorReporter({});
  m_ui.showOn(nullptr);
}

std::vector<QWidget*> TervaneApplication::windows() const {
  return {FTervane2.get(), FCalcPar.get(), FShow.get(),     FLog.get(),    FConst.get(),
          FDraw.get(),     FPocket.get(),  FDrawOpts.get(), AboutBox.get()};
}

QWidget* TervaneApplication::window(WindowId id) const {
  switch (id) {
    case WindowId::Main:
      return FTervane2.get();
    case WindowId::CalculationParameters:
      return FCalcPar.get();
    case WindowId::Show:
      return FShow.get();
    case WindowId::Log:
      return FLog.get();
    case WindowId::Constants:
      return FConst.get();
    case WindowId::DrawProfile:
      return FDraw.get();
    case WindowId::Pocket:
      return FPocket.get();
    case WindowId::ProfileParameters:
      return FDrawOpts.get();
    case WindowId::About:
      return AboutBox.get();
    case WindowId::Fit:
      return FFit.get();
  }
  return nullptr;
}

void TervaneApplication::runCommand(CommandId command) {
  runGuarded([this, command] {
    const std::vector<CommandId>& fitReads = fitReadCommands();
    if (std::find(fitReads.begin(), fitReads.end(), command) != fitReads.end()) {
      refuseWhileFitting(m_context);
    }
    switch (command) {
      case CommandId::StartCalculation:
        m_calculation->start();
        return;
      case CommandId::StopCalculation:
        m_calculation->stop();
        return;
      case CommandId::StartFit:
        m_fit->start(FitJob::Fit);
        return;
      case CommandId::StartFreeForm:
        m_fit->start(FitJob::FreeForm);
        return;
      case CommandId::StartPosterior:
        m_fit->start(FitJob::Posterior);
        return;
      case CommandId::StopFit:
        m_fit->stop();
        return;
      case CommandId::Exit:
        FTervane2->close();
        return;
      case CommandId::About:
        showWindow(WindowId::About);
        return;
      case CommandId::ExportFigure:
        exportFigure();
        return;
      default:
        runCoreCommand(m_context, command);
        return;
    }
  });
}

void TervaneApplication::runGuarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& error) {
    reportError(error.what());
  }
}

void TervaneApplication::reportError(const std::string& text) {
  try {
    m_ui.showMessage(text);
  } catch (const std::exception&) {
    // A message that cannot be shown must not take the program with it.
  }
}

void TervaneApplication::popupMainMenu(const QPoint& globalPosition) {
  FTervane2->popupMenu().popup(globalPosition);
}

void TervaneApplication::setApplicationTitle(const QString& title) {
  m_applicationTitle = title;
  setProgramTitle(title);
}

void TervaneApplication::prepareExit() {
  m_fit->stopAndWait();
  m_calculation->stopAndWait();
  emit exitConfirmed();
}

void TervaneApplication::redraw(View view) {
  // Commands may report changes while the windows are still being built.
  switch (view) {
    case View::CalculationParametersFields:
      if (FCalcPar) FCalcPar->showTexts();
      return;
    case View::LogText:
      if (FLog) FLog->showText();
      return;
    case View::MainStatus:
      if (FTervane2) FTervane2->showStatusPanels();
      return;
    case View::MainChart:
      if (FTervane2) FTervane2->showChart();
      return;
    case View::DrawProfileChart:
      if (FDraw) FDraw->showChart();
      return;
    case View::DrawProfileStatus:
      if (FDraw) FDraw->showStatus();
      return;
    case View::ShowFields:
      if (FShow) FShow->showTexts();
      return;
    case View::ProfileParametersFields:
      if (FDrawOpts) FDrawOpts->showTexts();
      return;
    case View::ConstantsFields:
      if (FConst) FConst->showTexts();
      return;
    case View::FitFields:
      if (FFit) FFit->showFields();
      return;
    case View::FitStatus:
      if (FFit) FFit->showStatus();
      return;
    case View::FitResults:
      if (FFit) FFit->showResults();
      return;
  }
}

void TervaneApplication::showWindow(WindowId id) {
  if (id == WindowId::About) {
    AboutBox->exec();
    return;
  }
  QWidget* shown = window(id);
  if (!shown) return;
  if (shown->isMinimized()) {
    shown->showNormal();
  } else {
    shown->show();
  }
  shown->raise();
  shown->activateWindow();
}

void TervaneApplication::hideWindow(WindowId id) {
  if (QWidget* hidden = window(id)) hidden->hide();
}

bool TervaneApplication::saveMainChartBitmap(const std::string& path) {
  return FTervane2->saveChartBitmap(path);
}

void TervaneApplication::exportFigure() {
  // A fit's summary, as tervane-cli plot --fit puts it.
  const QString summary = QString::fromStdString(shownFitSummary(m_context));
  const std::optional<FigureOptions> options =
      m_ui.chooseFigureOptions(m_figureOptions, !summary.isEmpty());
  if (!options) return;
  m_figureOptions = *options;
  FileDialogRequest request{
      "PNG images (*.png)|*.png|PDF documents (*.pdf)|*.pdf|SVG drawings (*.svg)|*.svg", "png",
      m_figureName};
  request.title = "Export figure";
  const std::optional<std::string> path = m_ui.chooseFileToSave(request);
  if (!path) return;
  m_figureName = *path;
  requireFigureFormat(*path);
  std::vector<QCustomPlot*> charts{&FTervane2->chart()};
  if (options->bothCharts) charts.push_back(&FDraw->chart());
  const ChartNote note(FTervane2->chart(), summary,
                       options->layout.chartSize);
  if (!writeFigure(charts, *path, options->layout)) {
    throw CommandError("Cannot create file " + *path);
  }
}

void TervaneApplication::calculationRunningChanged(bool running, int nc) {
  FTervane2->setCalculationRunning(running, nc);
  FCalcPar->setCalculationRunning(running);
  FDraw->setCalculationRunning(running);
  FLog->setCalculationRunning(running);
}

void TervaneApplication::fitRunningChanged(bool running) {
  FFit->setFitRunning(running);
  FTervane2->setFitRunning(running);
  // The profile, the constants and the calculation's fields stay as the fit
  // found them until it ends.
  for (CommandId command : fitReadCommands()) {
    for (QAction* action : FDraw->actions().actions(command)) action->setEnabled(!running);
  }
  FDraw->centralWidget()->setEnabled(!running);
  FCalcPar->setCalculationRunning(running);
  FConst->setEnabled(!running);
  FDrawOpts->setEnabled(!running);
  FShow->setEnabled(!running);
}
