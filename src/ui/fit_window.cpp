#include "ui/fit_window.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "commands/command_error.h"
#include "commands/fit_file_commands.h"
#include "commands/fit_table_commands.h"
#include "commands/profile_editor_commands.h"
#include "ui/chart_series_view.h"
#include "ui/dialog_layout.h"
#include "ui/eliding_label.h"
#include "ui/fit_measurements_panel.h"
#include "ui/program_icon.h"
#include "ui/window_host.h"

namespace {

enum Column { kName, kValue, kUnit, kFree, kMin, kMax, kResult, kColumnCount };

}  // namespace

FitWindow::FitWindow(WindowHost& host, EnergyRange mainChartRange)
    : QWidget(nullptr),
      m_host(host),
      m_mainChartRange(std::move(mainChartRange)),
      m_fields(host.context().texts.fit) {
  setObjectName(QStringLiteral("FFit"));
  setWindowTitle(QStringLiteral("Fit"));
  setWindowIcon(programIcon());
  useCompactFont(*this);

  auto* settings = makeGroup(*this, QStringLiteral("GroupModel"), QStringLiteral("Model"));
  EditMaxDepth = addField(*settings, 0, 0, "EditMaxDepth", QStringLiteral("Max depth:"),
                          QStringLiteral("ug/cm2"));
  EditStep =
      addField(*settings, 0, 3, "EditStep", QStringLiteral("Step:"), QStringLiteral("ug/cm2"));
  EditContamination = addField(*settings, 1, 0, "EditContamination",
                               QStringLiteral("Contamination:"), QStringLiteral("ug/cm2"));
  CheckConvolve = new QCheckBox(QStringLiteral("Convolve"), settings);
  CheckConvolve->setObjectName(QStringLiteral("CheckConvolve"));
  gridOf(*settings).addWidget(CheckConvolve, 1, 4);
  ComboStatistic = new QComboBox(settings);
  ComboStatistic->setObjectName(QStringLiteral("ComboStatistic"));
  // In FitStatistic order.
  ComboStatistic->addItems({QStringLiteral("poisson"), QStringLiteral("neyman"),
                            QStringLiteral("errors"), QStringLiteral("equal")});
  auto* statisticLabel = new QLabel(QStringLiteral("Statistic:"), settings);
  statisticLabel->setBuddy(ComboStatistic);
  gridOf(*settings).addWidget(statisticLabel, 2, 0);
  gridOf(*settings).addWidget(ComboStatistic, 2, 1);

  auto* range = makeGroup(*this, QStringLiteral("GroupRange"), QStringLiteral("Energy range"),
                          QStringLiteral("Measured energies taken into the fit; empty: all"));
  EditRangeFrom =
      addField(*range, 0, 0, "EditRangeFrom", QStringLiteral("From:"), QStringLiteral("keV"));
  EditRangeTo = addField(*range, 0, 3, "EditRangeTo", QStringLiteral("To:"), QStringLiteral("keV"));
  auto* zoomed =
      makeButton(*range, QStringLiteral("BtnZoomedRange"), QStringLiteral("Use zoomed range"),
                 QStringLiteral("The energy range shown on the main chart"));
  gridOf(*range).addWidget(zoomed, 0, 6);

  TableParameters = new QTableWidget(0, kColumnCount, this);
  TableParameters->setObjectName(QStringLiteral("TableParameters"));
  TableParameters->setHorizontalHeaderLabels({QStringLiteral("Parameter"), QStringLiteral("Value"),
                                              QStringLiteral("Unit"), QStringLiteral("Free"),
                                              QStringLiteral("Min"), QStringLiteral("Max"),
                                              QStringLiteral("Result")});
  TableParameters->verticalHeader()->setVisible(false);
  TableParameters->verticalHeader()->setDefaultSectionSize(TableParameters->fontMetrics().height() +
                                                           6);
  TableParameters->setWordWrap(false);
  TableParameters->setTextElideMode(Qt::ElideRight);
  QHeaderView* header = TableParameters->horizontalHeader();
  header->setSectionResizeMode(kName, QHeaderView::ResizeToContents);
  header->setSectionResizeMode(kFree, QHeaderView::ResizeToContents);
  header->setSectionResizeMode(kUnit, QHeaderView::ResizeToContents);
  header->setSectionResizeMode(kResult, QHeaderView::Stretch);
  header->resizeSection(kValue, 90);
  header->resizeSection(kMin, 55);
  header->resizeSection(kMax, 55);
  TableParameters->setSelectionBehavior(QAbstractItemView::SelectRows);

  m_measurements = new FitMeasurementsPanel(host, *this);
  QGroupBox* measurements = m_measurements->group();

  auto* addLayer = makeButton(*this, QStringLiteral("BtnAddLayer"), QStringLiteral("Add layer"));
  auto* removeLayer =
      makeButton(*this, QStringLiteral("BtnRemoveLayer"), QStringLiteral("Remove layer"),
                 QStringLiteral("Removes the selected row's layer, or the last"));
  auto* useProfile =
      makeButton(*this, QStringLiteral("BtnUseProfile"), QStringLiteral("Use current profile"),
                 QStringLiteral("Layers where the drawn profile crosses half its maximum"));
  auto* apply = makeButton(*this, QStringLiteral("BtnApply"), QStringLiteral("Apply"),
                           QStringLiteral("The table's layers into the current profile"));
  auto* loadModel = makeButton(*this, QStringLiteral("BtnLoadModel"), QStringLiteral("Load model"));
  auto* saveModel = makeButton(*this, QStringLiteral("BtnSaveModel"), QStringLiteral("Save model"));
  BtnFit = makeButton(*this, QStringLiteral("BtnFit"), QStringLiteral("Fit"));
  BtnFreeForm = makeButton(
      *this, QStringLiteral("BtnFreeForm"), QStringLiteral("Free-form"),
      QStringLiteral("A smooth, non-negative profile from the data alone; the layers are ignored"));
  BtnPosterior =
      makeButton(*this, QStringLiteral("BtnPosterior"), QStringLiteral("Sample posterior"),
                 QStringLiteral("The layer model's posterior around the last fit"));
  // The posterior's steps ("auto" or a number) and seed, beside its button.
  EditPosteriorSteps = smallField(*this, "EditPosteriorSteps", 6,
                                  QStringLiteral("Steps per walker: \"auto\" runs until the "
                                                 "ensembles have converged, or a number"));
  EditPosteriorSeed = smallField(*this, "EditPosteriorSeed", 5,
                                 QStringLiteral("Seed of the sampler's random numbers"));
  auto* clearBandButton =
      makeButton(*this, QStringLiteral("BtnClearBand"), QStringLiteral("Clear band"),
                 QStringLiteral("Removes the 16-84% bands from both charts"));
  BtnStop = makeButton(*this, QStringLiteral("BtnStop"), QStringLiteral("Stop"));
  BtnStop->setEnabled(false);
  auto* copyResults =
      makeButton(*this, QStringLiteral("BtnCopyResults"), QStringLiteral("Copy results"));
  auto* saveResults =
      makeButton(*this, QStringLiteral("BtnSaveResults"), QStringLiteral("Save results"));
  LabelProgress = new ElidingLabel(this);
  LabelProgress->setObjectName(QStringLiteral("LabelProgress"));
  LabelConvolutions = new ElidingLabel(this);
  LabelConvolutions->setObjectName(QStringLiteral("LabelConvolutions"));
  LabelConvolutions->setStyleSheet(QStringLiteral("color: #b00000"));
  BtnStartCalculation =
      makeButton(*this, QStringLiteral("BtnStartCalculation"), QStringLiteral("Start Calculation"),
                 QStringLiteral("New convolutions for the Calculation Parameters"));
  BtnStartCalculation->hide();

  // However many warnings a result has, they scroll in the room they get.
  ListWarnings = new QListWidget(this);
  ListWarnings->setObjectName(QStringLiteral("ListWarnings"));
  ListWarnings->setWordWrap(true);
  ListWarnings->setTextElideMode(Qt::ElideNone);
  ListWarnings->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  ListWarnings->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ListWarnings->setSelectionMode(QAbstractItemView::NoSelection);
  ListWarnings->setResizeMode(QListView::Adjust);
  ListWarnings->setMinimumSize(0, 0);
  ListWarnings->setStyleSheet(QStringLiteral("color: #b00000"));
  EditResults = new QPlainTextEdit(this);
  EditResults->setObjectName(QStringLiteral("EditResults"));
  EditResults->setReadOnly(true);
  EditResults->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  ChartResiduals = new QCustomPlot(this);
  ChartResiduals->setObjectName(QStringLiteral("ChartResiduals"));
  ChartResiduals->setBackground(Qt::white);
  ChartResiduals->xAxis->setLabel(QStringLiteral("Energy (keV)"));
  ChartResiduals->yAxis->setLabel(QStringLiteral("(y - f)/σ"));
  ChartResiduals->setMinimumHeight(120);
  ChartResiduals->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);

  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  top->addWidget(settings);
  top->addWidget(range);
  layout->addLayout(top);
  layout->addWidget(measurements);
  auto* tableButtons = new QHBoxLayout;
  for (QPushButton* button : {addLayer, removeLayer, useProfile, apply, loadModel, saveModel}) {
    tableButtons->addWidget(button);
  }
  tableButtons->addStretch(1);
  layout->addLayout(tableButtons);
  // A row of its own, shown only while there is something to say: beside the
  // buttons it would widen the window.
  auto* notice = new QHBoxLayout;
  notice->addWidget(LabelConvolutions, 1);
  notice->addWidget(BtnStartCalculation);
  layout->addLayout(notice);
  auto* results = new QSplitter(Qt::Vertical, this);
  auto* tableAndWarnings = new QWidget(results);
  auto* tableLayout = new QHBoxLayout(tableAndWarnings);
  tableLayout->setContentsMargins(0, 0, 0, 0);
  tableLayout->addWidget(TableParameters, 3);
  tableLayout->addWidget(ListWarnings, 1);
  results->addWidget(tableAndWarnings);
  results->addWidget(ChartResiduals);
  results->addWidget(EditResults);
  layout->addWidget(results, 1);
  // The depth regions whose amounts and centroids a free-form profile reports.
  auto* regions = new QHBoxLayout;
  EditRegions = new QLineEdit(this);
  EditRegions->setObjectName(QStringLiteral("EditRegions"));
  EditRegions->setToolTip(
      QStringLiteral("Free-form: the amount and centroid between depths A and B (µg/cm²), "
                     "each with its error from the bootstrap replicas; e.g. 0:1, 1:2.5"));
  auto* regionsLabel = new QLabel(QStringLiteral("Regions (µg/cm²):"), this);
  regionsLabel->setBuddy(EditRegions);
  regions->addWidget(regionsLabel);
  regions->addWidget(EditRegions, 1);
  layout->addLayout(regions);
  m_fields.bind(*EditRegions, &FitTexts::regions);
  // The progress line across the window: between the buttons it would be cut
  // to a few letters.
  layout->addWidget(LabelProgress);

  auto* fitButtons = new QHBoxLayout;
  for (QPushButton* button : {BtnFit, BtnFreeForm, BtnPosterior}) fitButtons->addWidget(button);
  for (QLineEdit* field : {EditPosteriorSteps, EditPosteriorSeed}) {
    auto* label = new QLabel(
        field == EditPosteriorSteps ? QStringLiteral("Steps:") : QStringLiteral("Seed:"), this);
    label->setBuddy(field);
    fitButtons->addWidget(label);
    fitButtons->addWidget(field);
  }
  for (QPushButton* button : {clearBandButton, BtnStop}) fitButtons->addWidget(button);
  fitButtons->addStretch(1);
  fitButtons->addWidget(copyResults);
  fitButtons->addWidget(saveResults);
  layout->addLayout(fitButtons);

  m_editors = {settings, range,     TableParameters, addLayer,    removeLayer, useProfile,
               apply,    loadModel, BtnFit,          BtnFreeForm, BtnPosterior};
  m_editors.push_back(EditRegions);
  m_editors.push_back(measurements);
  m_editors.push_back(BtnStartCalculation);
  m_editors.insert(m_editors.end(), {EditPosteriorSteps, EditPosteriorSeed});

  m_fields.bind(*EditMaxDepth, &FitTexts::maxDepth);
  m_fields.bind(*EditStep, &FitTexts::step);
  m_fields.bind(*EditContamination, &FitTexts::contamination);
  m_fields.bind(*EditRangeFrom, &FitTexts::rangeFrom);
  m_fields.bind(*EditRangeTo, &FitTexts::rangeTo);
  m_fields.bind(*CheckConvolve, &FitTexts::convolve);
  m_fields.bind(*EditPosteriorSteps, &FitTexts::posteriorSteps);
  m_fields.bind(*EditPosteriorSeed, &FitTexts::posteriorSeed);
  connect(ComboStatistic, &QComboBox::activated, this, &FitWindow::statisticChosen);
  connect(TableParameters, &QTableWidget::itemChanged, this, &FitWindow::tableItemChanged);

  connect(zoomed, &QPushButton::clicked, this, [this] {
    const auto [minimum, maximum] = m_mainChartRange();
    run([=](CommandContext& context) { useZoomedEnergyRange(context, minimum, maximum); });
  });
  connect(addLayer, &QPushButton::clicked, this, [this] { run(addFitLayer); });
  connect(removeLayer, &QPushButton::clicked, this, &FitWindow::removeLayerClick);
  connect(useProfile, &QPushButton::clicked, this, [this] { run(useCurrentProfile); });
  connect(apply, &QPushButton::clicked, this, [this] { run(applyFitModel); });
  connect(loadModel, &QPushButton::clicked, this, [this] { run(loadFitModel); });
  connect(saveModel, &QPushButton::clicked, this, [this] { run(saveFitModel); });
  connect(saveResults, &QPushButton::clicked, this, [this] { run(saveFitResults); });
  connect(copyResults, &QPushButton::clicked, this, &FitWindow::copyResultsClick);
  connect(BtnFit, &QPushButton::clicked, this, [this] { m_host.runCommand(CommandId::StartFit); });
  connect(BtnFreeForm, &QPushButton::clicked, this,
          [this] { m_host.runCommand(CommandId::StartFreeForm); });
  connect(BtnPosterior, &QPushButton::clicked, this,
          [this] { m_host.runCommand(CommandId::StartPosterior); });
  connect(clearBandButton, &QPushButton::clicked, this, [this] { run(clearBand); });
  connect(BtnStop, &QPushButton::clicked, this, [this] { m_host.runCommand(CommandId::StopFit); });
  connect(BtnStartCalculation, &QPushButton::clicked, this,
          [this] { m_host.runCommand(CommandId::StartCalculation); });

  move(120, 80);
  resize(640, 720);
  showFields();
  showStatus();
  showResults();
}

void FitWindow::run(const std::function<void(CommandContext&)>& command) {
  m_host.runGuarded([&] { command(m_host.context()); });
}

void FitWindow::showFields() {
  const FitTexts& texts = m_host.context().texts.fit;
  m_fields.show();
  ComboStatistic->setCurrentIndex(static_cast<int>(texts.statistic));

  m_showing = true;
  TableParameters->setRowCount(static_cast<int>(texts.parameters.size()));
  for (int row = 0; row < TableParameters->rowCount(); ++row) {
    const FitParameterTexts& parameter = texts.parameters[static_cast<std::size_t>(row)];
    TableParameters->setItem(row, kName, fixedItem(parameter.name));
    TableParameters->setItem(row, kValue, editableItem(parameter.value));
    auto* unit = fixedItem(parameter.unit);
    if (parameter.kind == ParameterKind::GaussianWidth) unit->setToolTip(gaussianWidthToolTip());
    TableParameters->setItem(row, kUnit, unit);
    auto* free = fixedItem("");
    free->setFlags(free->flags() | Qt::ItemIsUserCheckable);
    free->setCheckState(parameter.free ? Qt::Checked : Qt::Unchecked);
    TableParameters->setItem(row, kFree, free);
    TableParameters->setItem(row, kMin, editableItem(parameter.min));
    TableParameters->setItem(row, kMax, editableItem(parameter.max));
    auto* result = fixedItem(parameter.result);
    if (!parameter.warning.empty()) {
      result->setToolTip(QString::fromStdString(parameter.warning));
      result->setBackground(QColor(255, 235, 200));
    }
    TableParameters->setItem(row, kResult, result);
  }
  m_showing = false;
  m_measurements->show();
}

void FitWindow::showStatus() {
  const WindowTexts& texts = m_host.context().texts;
  LabelProgress->setText(QString::fromStdString(texts.fit.progress));
  LabelConvolutions->setText(QString::fromStdString(texts.convolutionsNotice));
  LabelConvolutions->setVisible(!texts.convolutionsNotice.empty());
  BtnStartCalculation->setVisible(!texts.convolutionsNotice.empty());
}

void FitWindow::showResults() {
  const CommandContext& context = m_host.context();
  const FitTexts& texts = context.texts.fit;
  EditResults->setPlainText(QString::fromStdString(texts.results));
  ListWarnings->clear();
  for (const std::string& warning : texts.warnings) {
    ListWarnings->addItem(QString::fromStdString(warning));
  }
  ListWarnings->setVisible(!texts.warnings.empty());
  ::showResiduals(*ChartResiduals, context.charts.fit);
  ChartResiduals->rescaleAxes();
  // Room above and below, so that the largest residuals are drawn whole.
  ChartResiduals->yAxis->scaleRange(1.15, 0.0);
  ChartResiduals->replot();
}

void FitWindow::setFitRunning(bool running) {
  for (QWidget* editor : m_editors) editor->setEnabled(!running);
  BtnStop->setEnabled(running);
}

void FitWindow::tableItemChanged(QTableWidgetItem* item) {
  if (m_showing) return;
  std::vector<FitParameterTexts>& rows = m_host.context().texts.fit.parameters;
  const auto row = static_cast<std::size_t>(item->row());
  if (row >= rows.size()) return;
  FitParameterTexts& parameter = rows[row];
  const std::string text = item->text().toStdString();
  switch (item->column()) {
    case kValue:
      parameter.value = text;
      return;
    case kFree:
      parameter.free = item->checkState() == Qt::Checked;
      return;
    case kMin:
      parameter.min = text;
      return;
    case kMax:
      parameter.max = text;
      return;
    default:
      return;
  }
}

void FitWindow::statisticChosen(int index) {
  m_host.context().texts.fit.statistic = static_cast<FitStatistic>(index);
}

void FitWindow::removeLayerClick() {
  const int row = TableParameters->currentRow();
  const std::vector<FitParameterTexts>& rows = m_host.context().texts.fit.parameters;
  // A constant's row, or none, removes the last layer.
  const int layer = row >= 0 && static_cast<std::size_t>(row) < rows.size()
                        ? rows[static_cast<std::size_t>(row)].layer
                        : -1;
  run([layer](CommandContext& context) { removeFitLayer(context, layer); });
}

void FitWindow::copyResultsClick() {
  const FitTexts& texts = m_host.context().texts.fit;
  if (texts.results.empty()) {
    run([](CommandContext&) {
      throw CommandError("There is no fit result yet: press Fit first.");
    });
    return;
  }
  QApplication::clipboard()->setText(QString::fromStdString(texts.results));
}
