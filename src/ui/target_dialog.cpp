#include "ui/target_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "commands/command_error.h"
#include "ui/dialog_layout.h"
#include "ui/form_dialog.h"
#include "ui/window_host.h"

namespace {

QString number(double value, int decimals) {
  return QString::number(value, 'f', decimals);
}

}  // namespace

TFTarget::TFTarget(WindowHost& host, QWidget* parent) : QDialog(parent), m_host(host) {
  setObjectName(QStringLiteral("FTarget"));
  setWindowTitle(QStringLiteral("From target"));
  useCompactFont(*this);

  const TargetTexts start;
  ComboBeam = new QComboBox(this);
  ComboBeam->setObjectName(QStringLiteral("ComboBeam"));
  ComboBeam->addItems({QStringLiteral("H"), QStringLiteral("He")});
  EditComposition = new QLineEdit(QString::fromStdString(start.composition), this);
  EditComposition->setObjectName(QStringLiteral("EditComposition"));
  EditComposition->setToolTip(QStringLiteral("Chemical formula, e.g. Al, Al2O3, SiO2, TiO1.9"));
  EditEnergy = new QLineEdit(
      QString::fromStdString(host.context().texts.calculationParameters.beamEnergy), this);
  EditEnergy->setObjectName(QStringLiteral("EditEnergy"));
  ComboStraggling = new QComboBox(this);
  ComboStraggling->setObjectName(QStringLiteral("ComboStraggling"));
  ComboStraggling->addItems({QStringLiteral("Bohr"), QStringLiteral("Bohr × √(Chu factor)")});
  LabelStopping = new QLabel(this);
  LabelStopping->setObjectName(QStringLiteral("LabelStopping"));
  LabelStraggling = new QLabel(this);
  LabelStraggling->setObjectName(QStringLiteral("LabelStraggling"));
  LabelPerMicrogram = new QLabel(this);
  LabelPerMicrogram->setObjectName(QStringLiteral("LabelPerMicrogram"));
  LabelPerMicrogram->setWordWrap(true);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Beam:"), ComboBeam);
  form->addRow(QStringLiteral("Composition:"), EditComposition);
  form->addRow(QStringLiteral("Energy (keV):"), EditEnergy);
  form->addRow(QStringLiteral("Straggling:"), ComboStraggling);
  form->addRow(QStringLiteral("Stopping power:"), LabelStopping);
  form->addRow(QStringLiteral("Straggling constant:"), LabelStraggling);
  form->addRow(LabelPerMicrogram);

  QDialogButtonBox* buttons = layOutFormDialog(*this, form);

  connect(ComboBeam, &QComboBox::currentIndexChanged, this, &TFTarget::showFigures);
  connect(ComboStraggling, &QComboBox::currentIndexChanged, this, &TFTarget::showFigures);
  connect(EditComposition, &QLineEdit::textChanged, this, &TFTarget::showFigures);
  connect(EditEnergy, &QLineEdit::textChanged, this, &TFTarget::showFigures);
  connect(buttons, &QDialogButtonBox::accepted, this, &TFTarget::OKClick);
  showFigures();
}

TargetTexts TFTarget::texts() const {
  TargetTexts texts;
  texts.beam = ComboBeam->currentText().toStdString();
  texts.composition = EditComposition->text().toStdString();
  texts.energy = EditEnergy->text().toStdString();
  texts.chuCorrection = ComboStraggling->currentIndex() == 1;
  return texts;
}

void TFTarget::showFigures() {
  try {
    const TargetFigures figures = computeTargetFigures(texts(), m_host.context().decimal);
    LabelStopping->setText(QString::fromStdString(figures.stoppingText) +
                           QStringLiteral(" keV/mg/cm^2"));
    LabelStraggling->setText(QString::fromStdString(figures.stragglingText) +
                             QStringLiteral(" keV/(mg.cm^-2)^.5 (") +
                             ComboStraggling->currentText() + QStringLiteral(")"));
    LabelPerMicrogram->setText(QStringLiteral("Straggling over 1 µg/cm²: σ = ") +
                               number(figures.stragglingPerMicrogramEv, 1) +
                               QStringLiteral(" eV (") + ComboStraggling->currentText() +
                               QStringLiteral(")"));
  } catch (const std::exception& error) {
    LabelStopping->setText(QStringLiteral("—"));
    LabelStraggling->setText(QStringLiteral("—"));
    LabelPerMicrogram->setText(QString::fromStdString(error.what()));
  }
}

void TFTarget::OKClick() {
  m_host.runGuarded([this] {
    const TargetFigures figures = computeTargetFigures(texts(), m_host.context().decimal);
    applyTargetFigures(m_host.context(), figures);
    accept();
  });
}
