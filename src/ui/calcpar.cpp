#include "ui/calcpar.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <iterator>

#include "commands/calculation_parameters_commands.h"
#include "ui/dialog_layout.h"
#include "ui/popup_menu_forwarder.h"
#include "ui/program_icon.h"
#include "ui/target_dialog.h"
#include "ui/window_geometry.h"
#include "ui/window_host.h"

namespace {

const QString kMoreCaption = QStringLiteral("More >>");
const QString kHideCaption = QStringLiteral("<< Hide");

// The groups sit at fixed places so that the compact size shows exactly the
// beam and grid inputs and the buttons; the derived cut energies and the unit
// legend lie beyond its right edge until "More >>" widens the window.
constexpr QRect kBeamGroup{4, 2, 184, 106};
constexpr QRect kCalcGroup{192, 2, 179, 140};
constexpr QRect kRefreshButton{4, 114, 88, 26};
constexpr QRect kMoreButton{100, 114, 88, 26};
constexpr QRect kTargetButton{4, 144, 184, 26};
constexpr QRect kInterGroup{377, 2, 235, 70};
constexpr QRect kUnitsGroup{377, 74, 235, 68};

QGroupBox* makeGroup(QWidget& parent, const QString& objectName, const QString& title,
                     const QRect& geometry) {
  auto* group = new QGroupBox(title, &parent);
  group->setObjectName(objectName);
  group->setGeometry(geometry);
  auto* grid = new QGridLayout(group);
  grid->setContentsMargins(6, 2, 6, 4);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(2);
  return group;
}

QCheckBox* makeCheck(QGroupBox& group, const QString& objectName, const QString& caption) {
  auto* check = new QCheckBox(caption, &group);
  check->setObjectName(objectName);
  return check;
}

}  // namespace

TFCalcPar::TFCalcPar(WindowHost& host) : QDialog(nullptr), m_host(host) {
  setObjectName(QStringLiteral("FCalcPar"));
  setWindowTitle(QStringLiteral("Calculation Parameters"));
  setWindowIcon(programIcon());
  QFont compact = font();
  compact.setPointSizeF(compact.pointSizeF() * 0.85);
  setFont(compact);

  using Texts = CalculationParametersTexts;
  GroupBeam =
      makeGroup(*this, QStringLiteral("GroupBeam"), QStringLiteral("Beam Parameters"), kBeamGroup);
  EditEnrg = addField(*GroupBeam, 0, QStringLiteral("EditEnrg"), QStringLiteral("Beam Energy"),
                      QStringLiteral("keV"), &Texts::beamEnergy);
  EditStopping = addField(*GroupBeam, 1, QStringLiteral("EditStopping"),
                          QStringLiteral("Stopping Power:"), QString(), &Texts::stoppingPower);
  EditStrag = addField(*GroupBeam, 2, QStringLiteral("EditStrag"), QStringLiteral("Straggling:"),
                       QString(), &Texts::straggling);

  GroupCalc =
      makeGroup(*this, QStringLiteral("GroupCalc"), QStringLiteral("Calculation"), kCalcGroup);
  EditNc = addField(*GroupCalc, 0, QStringLiteral("EditNc"), QStringLiteral("Nc:"), QString(),
                    &Texts::nc);
  EditPoints = addField(*GroupCalc, 1, QStringLiteral("EditPoints"), QStringLiteral("Data Points:"),
                        QString(), &Texts::dataPoints);
  EditStep = addField(*GroupCalc, 2, QStringLiteral("EditStep"), QStringLiteral("Step size:"),
                      QStringLiteral("eV"), &Texts::stepSize);
  EditMaxEnergy = addField(*GroupCalc, 3, QStringLiteral("EditMaxEnergy"),
                           QStringLiteral("Max Energy:"), QStringLiteral("keV"), &Texts::maxEnergy);
  CheckAutoStep =
      makeCheck(*GroupCalc, QStringLiteral("CheckAutoStep"), QStringLiteral("AutoStep"));
  CheckSaveAutos =
      makeCheck(*GroupCalc, QStringLiteral("CheckSaveAutos"), QStringLiteral("Save Autos"));
  gridOf(*GroupCalc).addWidget(CheckAutoStep, 4, 0, 1, 2);
  gridOf(*GroupCalc).addWidget(CheckSaveAutos, 5, 0, 1, 2);

  BtnRefresh = new QPushButton(QStringLiteral("Refresh"), this);
  BtnRefresh->setObjectName(QStringLiteral("BtnRefresh"));
  BtnRefresh->setGeometry(kRefreshButton);
  BtnRefresh->setAutoDefault(false);
  BtnMore = new QPushButton(kMoreCaption, this);
  BtnMore->setObjectName(QStringLiteral("BtnMore"));
  BtnMore->setGeometry(kMoreButton);
  BtnMore->setAutoDefault(false);
  BtnTarget = new QPushButton(QStringLiteral("From target…"), this);
  BtnTarget->setObjectName(QStringLiteral("BtnTarget"));
  BtnTarget->setToolTip(
      QStringLiteral("Stopping power and straggling from the target's composition"));
  BtnTarget->setGeometry(kTargetButton);
  BtnTarget->setAutoDefault(false);

  GroupInter = makeGroup(*this, QStringLiteral("GroupInter"),
                         QStringLiteral("Interaction Parameters"), kInterGroup);
  EditEmin = addField(*GroupInter, 0, QStringLiteral("EditEmin"), QStringLiteral("Emin:"),
                      QStringLiteral("eV"), &Texts::emin);
  EditEmax = addField(*GroupInter, 1, QStringLiteral("EditEmax"), QStringLiteral("Emax:"),
                      QStringLiteral("eV"), &Texts::emax);

  GroupUnits = makeGroup(*this, QStringLiteral("GroupUnits"), QStringLiteral("Units"), kUnitsGroup);
  gridOf(*GroupUnits).addWidget(new QLabel(QStringLiteral("Stopping Power: "), GroupUnits), 0, 0);
  gridOf(*GroupUnits).addWidget(new QLabel(QStringLiteral("keV/mg/cm^2"), GroupUnits), 0, 1);
  gridOf(*GroupUnits)
      .addWidget(new QLabel(QStringLiteral("Straggling Constant:"), GroupUnits), 1, 0);
  gridOf(*GroupUnits).addWidget(new QLabel(QStringLiteral("keV/(mg.cm^-2)^.5"), GroupUnits), 1, 1);

  // Tab order as the fields are read: beam values, grid, buttons, then the cut energies.
  QWidget* const tabOrder[] = {EditEnrg, EditStopping,  EditStrag,     EditNc,         EditPoints,
                               EditStep, EditMaxEnergy, CheckAutoStep, CheckSaveAutos, BtnRefresh,
                               BtnMore,  BtnTarget,     EditEmin,      EditEmax};
  for (std::size_t i = 1; i < std::size(tabOrder); ++i) {
    QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
  }

  CalculationParametersTexts& texts = m_host.context().texts.calculationParameters;
  connect(CheckAutoStep, &QCheckBox::toggled, this, [&texts](bool on) { texts.autoStep = on; });
  connect(CheckSaveAutos, &QCheckBox::toggled, this, [&texts](bool on) { texts.saveAutos = on; });
  connect(BtnRefresh, &QPushButton::clicked, this, &TFCalcPar::BtnRefreshClick);
  connect(BtnMore, &QPushButton::clicked, this, &TFCalcPar::BtnMoreClick);
  connect(BtnTarget, &QPushButton::clicked, this, &TFCalcPar::BtnTargetClick);

  showTexts();
  setInteractionTabStops(false);
  move(300, 141);
  setFixedOuterSize(*this, kCompactSize);

  m_popup = new PopupMenuForwarder(m_host, this);
  m_popup->watchTree(*this);
}

QLineEdit* TFCalcPar::addField(QGroupBox& group, int row, const QString& objectName,
                               const QString& caption, const QString& unit,
                               std::string CalculationParametersTexts::*text) {
  auto* label = new QLabel(caption, &group);
  auto* edit = new QLineEdit(&group);
  edit->setObjectName(objectName);
  edit->setMinimumWidth(44);
  label->setBuddy(edit);
  QGridLayout& grid = gridOf(group);
  grid.addWidget(label, row, 0);
  grid.addWidget(edit, row, 1);
  grid.setColumnStretch(1, 1);
  if (!unit.isEmpty()) grid.addWidget(new QLabel(unit, &group), row, 2);
  CalculationParametersTexts& texts = m_host.context().texts.calculationParameters;
  connect(edit, &QLineEdit::textChanged, this,
          [&texts, text](const QString& typed) { texts.*text = typed.toStdString(); });
  m_bindings.push_back({edit, text});
  return edit;
}

void TFCalcPar::showTexts() {
  const CalculationParametersTexts& texts = m_host.context().texts.calculationParameters;
  for (const TextBinding& binding : m_bindings) {
    const QString wanted = QString::fromStdString(texts.*binding.text);
    // Rewriting an unchanged field would move the caret of a user typing in it.
    if (binding.edit->text() != wanted) {
      binding.edit->setText(wanted);
      // Long numbers are read from their leading digits.
      binding.edit->setCursorPosition(0);
    }
  }
  CheckAutoStep->setChecked(texts.autoStep);
  CheckSaveAutos->setChecked(texts.saveAutos);
  if (isVisible()) repaint();
}

void TFCalcPar::setCalculationRunning(bool running) {
  for (const TextBinding& binding : m_bindings) binding.edit->setEnabled(!running);
  CheckAutoStep->setEnabled(!running);
  CheckSaveAutos->setEnabled(!running);
  BtnRefresh->setEnabled(!running);
  BtnTarget->setEnabled(!running);
}

void TFCalcPar::BtnRefreshClick() {
  m_host.runGuarded([this] { refreshCalculationParameters(m_host.context()); });
  showTexts();
}

void TFCalcPar::BtnMoreClick() {
  const bool expand = BtnMore->text() == kMoreCaption;
  BtnMore->setText(expand ? kHideCaption : kMoreCaption);
  setFixedOuterSize(*this, expand ? kFullSize : kCompactSize);
  setInteractionTabStops(expand);
}

void TFCalcPar::BtnTargetClick() {
  auto* dialog = new TFTarget(m_host, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this, &TFCalcPar::showTexts);
  dialog->open();
}

void TFCalcPar::setInteractionTabStops(bool inTabOrder) {
  // Out of the tab order the fields can still be clicked into.
  for (QLineEdit* edit : {EditEmin, EditEmax}) {
    edit->setFocusPolicy(inTabOrder ? Qt::StrongFocus : Qt::ClickFocus);
  }
}
