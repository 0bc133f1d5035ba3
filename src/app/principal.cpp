#include "app/principal.h"

#include <qcustomplot.h>

#include <QAction>
#include <QBuffer>
#include <QCloseEvent>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>

#include "commands/recent_files.h"
#include "commands/fit_job.h"
#include "commands/shell_commands.h"
#include "files/atomic_file.h"
#include "ui/chart_figures.h"
#include "ui/eliding_label.h"
#include "ui/figure_file.h"
#include "ui/popup_menu_forwarder.h"
#include "ui/program_icon.h"
#include "ui/rectangle_zoom.h"
#include "ui/window_geometry.h"
#include "ui/window_host.h"

namespace {

constexpr int kStatusPanelWidth = 50;
const QString kTitle = QStringLiteral("Tervane 2.1");

QLabel* makeStatusPanel(QStatusBar& bar, const QString& objectName) {
  auto* panel = new QLabel(&bar);
  panel->setObjectName(objectName);
  panel->setFixedWidth(kStatusPanelWidth);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  bar.addWidget(panel);
  return panel;
}

}  // namespace

TFTervane2::TFTervane2(WindowHost& host) : QMainWindow(nullptr), m_host(host) {
  setObjectName(QStringLiteral("FTervane2"));
  setWindowTitle(QStringLiteral("Tervane 2"));
  setWindowIcon(programIcon());

  ChartPrinc = new QCustomPlot(this);
  ChartPrinc->setObjectName(QStringLiteral("ChartPrinc"));
  m_graphs = setUpMainChart(*ChartPrinc);
  m_zoom = new RectangleZoom(*ChartPrinc, 4, [this] { fitAxesToData(); });
  m_zoom->setEnabled(true);
  setCentralWidget(ChartPrinc);

  StatusPrinc = new QStatusBar(this);
  StatusPrinc->setObjectName(QStringLiteral("StatusPrinc"));
  StatusPanel1 = makeStatusPanel(*StatusPrinc, QStringLiteral("StatusPanel1"));
  StatusPanel2 = makeStatusPanel(*StatusPrinc, QStringLiteral("StatusPanel2"));
  StatusMessage = new ElidingLabel(StatusPrinc);
  StatusMessage->setObjectName(QStringLiteral("StatusMessage"));
  StatusPrinc->addWidget(StatusMessage, 1);
  StatusReadout = new ElidingLabel(StatusPrinc);
  StatusReadout->setObjectName(QStringLiteral("StatusReadout"));
  StatusPrinc->addPermanentWidget(StatusReadout);
  ChartPrinc->setMouseTracking(true);
  connect(ChartPrinc, &QCustomPlot::mouseMove, this, [this](QMouseEvent* event) {
    StatusReadout->setText(mainChartReadout(*ChartPrinc, event->position()));
  });
  ProgressCalc = new QProgressBar(StatusPrinc);
  ProgressCalc->setObjectName(QStringLiteral("ProgressCalc"));
  ProgressCalc->setFormat(QStringLiteral("%v of %m"));
  ProgressCalc->setMaximumWidth(180);
  BtnStop = new QPushButton(QStringLiteral("Stop"), StatusPrinc);
  BtnStop->setObjectName(QStringLiteral("BtnStop"));
  BtnStartCalculation = new QPushButton(QStringLiteral("Start Calculation"), StatusPrinc);
  BtnStartCalculation->setObjectName(QStringLiteral("BtnStartCalculation"));
  BtnStartCalculation->setToolTip(QStringLiteral("New convolutions for the Calculation Parameters"));
  StatusPrinc->addPermanentWidget(BtnStartCalculation);
  StatusPrinc->addPermanentWidget(ProgressCalc);
  StatusPrinc->addPermanentWidget(BtnStop);
  BtnStartCalculation->hide();
  ProgressCalc->hide();
  BtnStop->hide();
  connect(BtnStop, &QPushButton::clicked, this, &TFTervane2::BtnStopClick);
  connect(BtnStartCalculation, &QPushButton::clicked, this,
          [this] { m_host.runCommand(CommandId::StartCalculation); });
  setStatusBar(StatusPrinc);

  const CommandActions::Trigger run = [this](CommandId command) { m_host.runCommand(command); };
  m_menuActions.build(*menuBar(), mainMenu(), run);
  addRecentFilesMenu();
  // Calculate, as in the Draw Profile window, without going there first.
  auto* calculate = new QAction(this);
  calculate->setObjectName(QStringLiteral("CalculateShortcut"));
  calculate->setShortcut(QKeySequence(Qt::Key_F5));
  connect(calculate, &QAction::triggered, this,
          [run](bool) { run(CommandId::CalculateExcitation); });
  addAction(calculate);
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  m_popupActions.build(*PopupMenu1, ::popupMenu(), run);
  m_popup = new PopupMenuForwarder(m_host, this);
  m_popup->watchTree(*StatusPrinc);

  TrayIcon1 = new QSystemTrayIcon(programIcon(), this);
  TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
  TrayIcon1->setToolTip(QStringLiteral("Tervane 2 comp"));
  connect(TrayIcon1, &QSystemTrayIcon::activated, this, &TFTervane2::TrayIcon1Activated);
  auto* trayMenu = new QMenu(this);
  trayMenu->setObjectName(QStringLiteral("TrayMenu"));
  connect(trayMenu->addAction(QStringLiteral("&Restore")), &QAction::triggered, this,
          &TFTervane2::restoreFromTray);
  connect(trayMenu->addAction(QStringLiteral("&Exit")), &QAction::triggered, this,
          [run](bool) { run(CommandId::Exit); });
  TrayIcon1->setContextMenu(trayMenu);

  setOuterSize(*this, QSize(597, 453));
  FormCreate();
}

void TFTervane2::addRecentFilesMenu() {
  QMenu* data = nullptr;
  for (QAction* action : menuBar()->actions()) {
    if (action->text() == QStringLiteral("&Data")) data = action->menu();
  }
  if (!data) return;
  QMenu* recent = data->addMenu(QStringLiteral("&Recent files"));
  recent->setObjectName(QStringLiteral("RecentFilesMenu"));
  // Built when opened, from the list the commands keep.
  connect(recent, &QMenu::aboutToShow, this, [this, recent] {
    recent->clear();
    for (const RecentFile& file : m_host.context().texts.recentFiles) {
      connect(recent->addAction(QString::fromStdString(file.path)), &QAction::triggered, this,
              [this, file](bool) {
                m_host.runGuarded([&] { openRecentFile(m_host.context(), file); });
              });
    }
    if (recent->isEmpty()) recent->addAction(QStringLiteral("(none)"))->setEnabled(false);
  });
}

void TFTervane2::FormCreate() {
  move(15, 15);
  setWindowTitle(kTitle);
  m_host.setApplicationTitle(kTitle);
  TrayIcon1->setToolTip(kTitle);
  // Without a notification area the window keeps its task-bar entry instead.
  if (QSystemTrayIcon::isSystemTrayAvailable()) TrayIcon1->show();
  m_host.context().state.applyMainWindowStartValues();
  showStatusPanels();
}

void TFTervane2::fitAxesToData() {
  fitMainChartAxes(*ChartPrinc, m_host.context().charts.main);
}

void TFTervane2::showChart() {
  const MainChartData& data = m_host.context().charts.main;
  showMainChartData(*ChartPrinc, m_graphs, data);
  if (!data.computedCurve.points.empty() || !data.measuredPoints.points.empty()) {
    fitAxesToData();
  }
  ChartPrinc->replot(QCustomPlot::rpImmediateRefresh);
}

void TFTervane2::showStatusPanels() {
  const auto& panels = m_host.context().texts.mainStatusPanels;
  StatusPanel1->setText(QString::fromStdString(panels[0]));
  StatusPanel2->setText(QString::fromStdString(panels[1]));
  // A stale set matters more than what the last command reported.
  const WindowTexts& texts = m_host.context().texts;
  const std::string& notice = texts.convolutionsNotice;
  StatusMessage->setText(QString::fromStdString(notice.empty() ? texts.mainStatusMessage : notice));
  BtnStartCalculation->setVisible(!notice.empty() && BtnStop->isHidden());
  if (isVisible()) StatusPrinc->repaint();
}

void TFTervane2::setCalculationRunning(bool running, int nc) {
  for (CommandId command :
       {CommandId::StartCalculation, CommandId::SaveConvolutions, CommandId::LoadConvolutions}) {
    m_menuActions.setEnabled(command, !running);
    m_popupActions.setEnabled(command, !running);
  }
  if (running) {
    ProgressCalc->setRange(0, nc);
    ProgressCalc->setValue(std::min(1, nc));
  }
  ProgressCalc->setVisible(running);
  BtnStop->setVisible(running);
  BtnStartCalculation->setVisible(!running && !m_host.context().texts.convolutionsNotice.empty());
}

void TFTervane2::showCalculationProgress(int n) {
  ProgressCalc->setValue(n);
}

void TFTervane2::setFitRunning(bool running) {
  for (CommandId command : fitReadCommands()) {
    m_menuActions.setEnabled(command, !running);
    m_popupActions.setEnabled(command, !running);
  }
}

std::pair<double, double> TFTervane2::visibleEnergyRange() const {
  const QCPRange range = ChartPrinc->xAxis->range();
  return {range.lower, range.upper};
}

bool TFTervane2::saveChartBitmap(const std::string& path) const {
  return writeFigure({ChartPrinc}, path, {ChartPrinc->size(), 96});
}

void TFTervane2::closeEvent(QCloseEvent* event) {
  FormCloseQuery(event);
}

void TFTervane2::FormCloseQuery(QCloseEvent* event) {
  bool leave = false;
  m_host.runGuarded([&] { leave = confirmExit(m_host.context()); });
  if (!leave) {
    event->ignore();
    return;
  }
  m_host.prepareExit();
  event->accept();
}

void TFTervane2::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  // Minimised, the program lives in the notification area only; hiding has to
  // wait until the window manager has finished minimising.
  if (event->type() == QEvent::WindowStateChange && isMinimized() && TrayIcon1->isVisible()) {
    QTimer::singleShot(0, this, &QWidget::hide);
  }
}

void TFTervane2::TrayIcon1Activated(QSystemTrayIcon::ActivationReason reason) {
  // Some notification areas only ever send a single activation: either kind
  // brings the window back, or it could not be reached at all.
  if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
    restoreFromTray();
  }
}

void TFTervane2::restoreFromTray() {
  showNormal();
  raise();
  activateWindow();
}

void TFTervane2::BtnStopClick() {
  m_host.runCommand(CommandId::StopCalculation);
}
