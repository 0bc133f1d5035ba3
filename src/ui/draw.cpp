#include "ui/draw.h"

#include <qcustomplot.h>

#include <QCheckBox>
#include <algorithm>
#include <QEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

#include "commands/profile_editor_commands.h"
#include "ui/chart_figures.h"
#include "ui/chart_series_view.h"
#include "ui/eliding_label.h"
#include "ui/popup_menu_forwarder.h"
#include "ui/program_icon.h"
#include "ui/rectangle_zoom.h"
#include "ui/window_geometry.h"
#include "ui/window_host.h"

namespace {

QCheckBox* makeChartCheck(QWidget& chart, const QString& objectName, const QString& caption,
                          bool checked) {
  auto* check = new QCheckBox(caption, &chart);
  check->setObjectName(objectName);
  check->setChecked(checked);
  // The box lies over the plot; an opaque background keeps it readable.
  check->setAutoFillBackground(true);
  QPalette palette = check->palette();
  palette.setColor(QPalette::Window, Qt::white);
  check->setPalette(palette);
  check->adjustSize();
  return check;
}

}  // namespace

TFDraw::TFDraw(WindowHost& host) : QMainWindow(nullptr), m_host(host) {
  setObjectName(QStringLiteral("FDraw"));
  setWindowTitle(QStringLiteral("Draw Profile"));
  setWindowIcon(programIcon());

  Chart3 = new QCustomPlot(this);
  Chart3->setObjectName(QStringLiteral("Chart3"));
  setCentralWidget(Chart3);

  // Drawing redraws the whole profile at every mouse move, and a deep profile
  // has tens of thousands of points. The two series get a layer of their own,
  // so a redraw repaints only them over the unchanged axes, and the area is
  // filled from a few points per pixel column instead of from every point.
  m_seriesLayer = Chart3->layer(QStringLiteral("main"));
  m_seriesLayer->setMode(QCPLayer::lmBuffered);
  m_graphs = setUpProfileChart(*Chart3);
  SeriesAmostra = m_graphs.profile;
  SeriesReference = m_graphs.reference;

  const DrawProfileTexts& texts = m_host.context().texts.drawProfile;
  CheckZoom = makeChartCheck(*Chart3, QStringLiteral("CheckZoom"), QStringLiteral("Allow Zoom"),
                             texts.allowZoom);
  CheckConv = makeChartCheck(*Chart3, QStringLiteral("CheckConv"), QStringLiteral("Convolve"),
                             texts.convolve);
  Chart3->installEventFilter(this);
  // The axis rectangle's top is known from the last layout on.
  connect(Chart3, &QCustomPlot::beforeReplot, this, &TFDraw::placeLegend);

  m_zoom = new RectangleZoom(*Chart3, 7, [this] { showHomeView(); });
  m_zoom->setEnabled(texts.allowZoom);
  connect(CheckZoom, &QCheckBox::clicked, this, &TFDraw::CheckZoomClick);
  connect(CheckConv, &QCheckBox::clicked, this, &TFDraw::CheckConvClick);
  connect(Chart3, &QCustomPlot::mouseDoubleClick, this, &TFDraw::Chart3DblClick);
  // Moves without a button arm the pen, so they have to arrive too.
  Chart3->setMouseTracking(true);
  connect(Chart3, &QCustomPlot::mouseMove, this, &TFDraw::Chart3MouseMove);

  StatusDraw = new QStatusBar(this);
  StatusDraw->setObjectName(QStringLiteral("StatusDraw"));
  StatusDraw->setSizeGripEnabled(false);
  m_statusText = new ElidingLabel(StatusDraw);
  m_statusText->setObjectName(QStringLiteral("StatusDrawText"));
  StatusDraw->addWidget(m_statusText, 1);
  m_readout = new ElidingLabel(StatusDraw);
  m_readout->setObjectName(QStringLiteral("StatusDrawReadout"));
  StatusDraw->addPermanentWidget(m_readout);
  setStatusBar(StatusDraw);

  m_actions.build(*menuBar(), drawProfileMenu(),
                  [this](CommandId command) { m_host.runCommand(command); });

  m_popup = new PopupMenuForwarder(m_host, this);
  m_popup->watch(*CheckZoom);
  m_popup->watch(*CheckConv);
  m_popup->watchTree(*StatusDraw);

  move(586, 391);
  setOuterSize(*this, QSize(431, 338));
  showChart();
  showStatus();
}

void TFDraw::showChart() {
  const DrawProfileChartData& data = m_host.context().charts.drawProfile;
  showSeries(*SeriesAmostra, data.profile);
  showSeries(*SeriesReference, data.reference);
  const bool bandShown = showProfileBand(*Chart3, m_graphs, data.band);
  if (data.depthAxis != m_shownDepthAxis || data.concentrationAxis != m_shownConcentrationAxis) {
    showFullScale();
  } else if (data.contaminationDepth != m_shownContaminationDepth || bandShown) {
    // The contamination shade and the band's legend lie on other layers than
    // the series: the whole chart repaints.
    showContaminationLayer(m_graphs, data.contaminationDepth);
    m_shownContaminationDepth = data.contaminationDepth;
    Chart3->replot();
  } else {
    // Falls back to a full replot by itself when the chart was resized.
    m_seriesLayer->replot();
  }
}

void TFDraw::showFullScale() {
  showHomeView();
  Chart3->replot();
}

void TFDraw::showHomeView() {
  const DrawProfileChartData& data = m_host.context().charts.drawProfile;
  Chart3->xAxis->setRange(data.depthAxis.minimum, data.depthAxis.maximum);
  Chart3->yAxis->setRange(data.concentrationAxis.minimum, data.concentrationAxis.maximum);
  m_shownDepthAxis = data.depthAxis;
  showContaminationLayer(m_graphs, data.contaminationDepth);
  m_shownContaminationDepth = data.contaminationDepth;
  m_shownConcentrationAxis = data.concentrationAxis;
}

void TFDraw::showStatus() {
  const DrawProfileTexts& texts = m_host.context().texts.drawProfile;
  m_statusText->setText(QString::fromStdString(texts.status));
  CheckConv->setChecked(texts.convolve);
  if (CheckZoom->isChecked() != texts.allowZoom) setZoomAllowed(texts.allowZoom);
  if (isVisible()) StatusDraw->repaint();
}

void TFDraw::setCalculationRunning(bool running) {
  m_actions.setEnabled(CommandId::CalculateExcitation, !running);
}

void TFDraw::setZoomAllowed(bool allowed) {
  CheckZoom->setChecked(allowed);
  m_host.context().texts.drawProfile.allowZoom = allowed;
  m_zoom->setEnabled(allowed);
}

void TFDraw::CheckZoomClick() {
  setZoomAllowed(CheckZoom->isChecked());
}

void TFDraw::CheckConvClick() {
  m_host.context().texts.drawProfile.convolve = CheckConv->isChecked();
}

void TFDraw::Chart3DblClick() {
  setZoomAllowed(!CheckZoom->isChecked());
  Chart3->setCursor(CheckZoom->isChecked() ? Qt::CrossCursor : Qt::ArrowCursor);
}

void TFDraw::Chart3MouseMove(QMouseEvent* event) {
  const QPointF position = event->position();
  const double depth = SeriesAmostra->keyAxis()->pixelToCoord(position.x());
  const double concentration = SeriesAmostra->valueAxis()->pixelToCoord(position.y());
  m_readout->setText(profileChartReadout(depth, concentration));
  const bool leftButton = event->buttons().testFlag(Qt::LeftButton);
  const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
  m_host.runGuarded(
      [&] { profileMouseMove(m_host.context(), depth, concentration, leftButton, shift); });
}

bool TFDraw::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Chart3 && event->type() == QEvent::Resize) placeChecks();
  return QMainWindow::eventFilter(watched, event);
}

void TFDraw::placeChecks() {
  constexpr int kMargin = 6;
  const int right = Chart3->width() - kMargin;
  CheckZoom->move(right - CheckZoom->width(), kMargin);
  CheckConv->move(right - CheckConv->width(), kMargin + CheckZoom->height() + 2);
  placeLegend();
}

void TFDraw::placeLegend() {
  // The band's legend keeps the top right corner of the plot, below the two
  // check boxes that lie over it.
  constexpr int kGap = 4;
  QCPLayoutInset* insets = Chart3->axisRect()->insetLayout();
  const int below = CheckConv->geometry().bottom() + kGap - Chart3->axisRect()->top();
  insets->setAutoMargins(QCP::msNone);
  insets->setMargins(QMargins(0, std::max(0, below), 0, 0));
}
