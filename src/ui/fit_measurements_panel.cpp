#include "ui/fit_measurements_panel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <filesystem>

#include "commands/fit_measurements.h"
#include "ui/dialog_layout.h"
#include "ui/window_host.h"

namespace {

// Named apart from the parameter table's columns: the checked builds
// compile the window's files together.
enum MeasurementColumn {
  kMeasurementName,
  kMeasurementData,
  kMeasurementAutos,
  kMeasurementTilt,
  kMeasurementReducedChi2,
  kMeasurementColumns
};

}  // namespace

FitMeasurementsPanel::FitMeasurementsPanel(WindowHost& host, QWidget& window)
    : QObject(&window), m_host(host), m_fields(host.context().texts.fit) {
  m_group = makeGroup(
      window, QStringLiteral("GroupMeasurements"), QStringLiteral("Measurements"),
      QStringLiteral("The sample's measurements, fitted together; the first is the loaded data "
                     "and convolutions. Choose one to see it on the main chart"));
  TableMeasurements = new QTableWidget(0, kMeasurementColumns, m_group);
  TableMeasurements->setObjectName(QStringLiteral("TableMeasurements"));
  TableMeasurements->setHorizontalHeaderLabels(
      {QStringLiteral("Name"), QStringLiteral("Data"), QStringLiteral("Convolutions"),
       QStringLiteral("Tilt (°)"), QStringLiteral("χ²/ν")});
  TableMeasurements->verticalHeader()->setVisible(false);
  TableMeasurements->verticalHeader()->setDefaultSectionSize(
      TableMeasurements->fontMetrics().height() + 6);
  TableMeasurements->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  TableMeasurements->setSelectionBehavior(QAbstractItemView::SelectRows);
  TableMeasurements->setSelectionMode(QAbstractItemView::SingleSelection);
  TableMeasurements->setMaximumHeight(TableMeasurements->fontMetrics().height() * 7);
  auto* addMeasurement =
      makeButton(*m_group, QStringLiteral("BtnAddMeasurement"), QStringLiteral("Add"),
                 QStringLiteral("A measured-data file and its convolutions, at "
                                "the tilt beside"));
  auto* removeMeasurement =
      makeButton(*m_group, QStringLiteral("BtnRemoveMeasurement"), QStringLiteral("Remove"),
                 QStringLiteral("Removes the selected measurement, or the last"));
  EditNewTilt = smallField(*m_group, "EditNewTilt", 4,
                           QStringLiteral("Degrees from the surface normal, from 0 up to 90"));
  auto* tiltLabel = new QLabel(QStringLiteral("Tilt:"), m_group);
  tiltLabel->setBuddy(EditNewTilt);
  QGridLayout& grid = gridOf(*m_group);
  grid.addWidget(TableMeasurements, 0, 0, 1, 5);
  grid.addWidget(addMeasurement, 1, 0);
  grid.addWidget(tiltLabel, 1, 1);
  grid.addWidget(EditNewTilt, 1, 2);
  grid.addWidget(removeMeasurement, 1, 3);
  grid.setColumnStretch(4, 1);

  m_fields.bind(*EditNewTilt, &FitTexts::newTilt);
  connect(TableMeasurements, &QTableWidget::itemChanged, this, &FitMeasurementsPanel::itemChanged);
  connect(TableMeasurements, &QTableWidget::itemSelectionChanged, this, [this] {
    if (m_showing) return;
    const QList<QTableWidgetItem*> selected = TableMeasurements->selectedItems();
    if (selected.isEmpty()) return;
    const auto row = static_cast<std::size_t>(selected.front()->row());
    m_host.runGuarded([&] { showFitMeasurement(m_host.context(), row); });
  });
  connect(addMeasurement, &QPushButton::clicked, this,
          [this] { m_host.runGuarded([&] { addFitMeasurement(m_host.context()); }); });
  connect(removeMeasurement, &QPushButton::clicked, this, [this] {
    const int row = TableMeasurements->currentRow();
    m_host.runGuarded([&] { removeFitMeasurement(m_host.context(), row); });
  });
}

void FitMeasurementsPanel::show() {
  m_fields.show();
  const CommandContext& context = m_host.context();
  const FitTexts& texts = context.texts.fit;
  // The first row's files are those the program loaded.
  const auto fileItem = [](const std::string& path, const char* none) {
    QTableWidgetItem* item = fixedItem(
        path.empty() ? std::string(none) : std::filesystem::path(path).filename().string());
    item->setToolTip(QString::fromStdString(path));
    return item;
  };
  m_showing = true;
  TableMeasurements->setRowCount(static_cast<int>(texts.measurements.size()));
  for (int row = 0; row < TableMeasurements->rowCount(); ++row) {
    const FitMeasurementTexts& m = texts.measurements[static_cast<std::size_t>(row)];
    const bool first = row == 0;
    TableMeasurements->setItem(row, kMeasurementName, editableItem(m.name));
    TableMeasurements->setItem(
        row, kMeasurementData,
        fileItem(first ? context.texts.dialogNames.measuredData : m.data, "loaded data"));
    TableMeasurements->setItem(
        row, kMeasurementAutos, fileItem(first ? context.texts.dialogNames.convolutions : m.autos, "loaded set"));
    TableMeasurements->setItem(row, kMeasurementTilt, editableItem(m.tilt));
    TableMeasurements->setItem(row, kMeasurementReducedChi2, fixedItem(m.reducedChi2));
  }
  TableMeasurements->selectRow(static_cast<int>(texts.shownMeasurement));
  m_showing = false;
}

void FitMeasurementsPanel::itemChanged(QTableWidgetItem* item) {
  if (m_showing) return;
  std::vector<FitMeasurementTexts>& rows = m_host.context().texts.fit.measurements;
  const auto row = static_cast<std::size_t>(item->row());
  if (row >= rows.size()) return;
  if (item->column() == kMeasurementName) rows[row].name = item->text().toStdString();
  if (item->column() == kMeasurementTilt) rows[row].tilt = item->text().toStdString();
}
