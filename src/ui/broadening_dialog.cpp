#include "ui/broadening_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/dialog_layout.h"
#include "ui/form_dialog.h"
#include "ui/window_host.h"

namespace {

QLineEdit* makeEdit(QWidget& parent, const char* objectName, const std::string& text,
                    const QString& hint = QString()) {
  auto* edit = new QLineEdit(QString::fromStdString(text), &parent);
  edit->setObjectName(QString::fromLatin1(objectName));
  edit->setToolTip(hint);
  return edit;
}

}  // namespace

QPushButton* makeBroadeningButton(QWidget& parent, const QString& objectName) {
  QPushButton* button = makeButton(parent, objectName, QStringLiteral("…"),
                                   QStringLiteral("Gaussian width from physics…"));
  button->setAccessibleName(QStringLiteral("Gaussian width from physics…"));
  // Out of the Tab chain: the dialogs keep the order their fields are read in.
  button->setFocusPolicy(Qt::ClickFocus);
  button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("…")) + 12);
  return button;
}

TFBroadening::TFBroadening(WindowHost& host, std::string& widthText, QWidget* parent)
    : QDialog(parent), m_host(host), m_widthText(widthText) {
  setObjectName(QStringLiteral("FBroadening"));
  setWindowTitle(QStringLiteral("Gaussian width from physics"));
  useCompactFont(*this);

  BroadeningTexts start;
  start.energy = host.context().texts.calculationParameters.beamEnergy;
  EditEnergy = makeEdit(*this, "EditEnergy", start.energy);
  EditBeamMass =
      makeEdit(*this, "EditBeamMass", start.beamMass, QStringLiteral("Proton: 1.007276"));
  EditTargetMass =
      makeEdit(*this, "EditTargetMass", start.targetMass, QStringLiteral("27Al: 26.98153844"));
  EditTemperature = makeEdit(*this, "EditTemperature", start.temperature);
  EditDebye = makeEdit(*this, "EditDebye", start.debyeTemperature,
                       QStringLiteral("Leave empty to use the temperature itself"));
  EditSpread = makeEdit(*this, "EditSpread", start.beamSpread);
  ComboSpread = new QComboBox(this);
  ComboSpread->setObjectName(QStringLiteral("ComboSpread"));
  ComboSpread->addItems({QStringLiteral("FWHM"), QStringLiteral("σ")});
  LabelDoppler = new QLabel(this);
  LabelDoppler->setObjectName(QStringLiteral("LabelDoppler"));
  LabelDoppler->setWordWrap(true);
  LabelBeam = new QLabel(this);
  LabelBeam->setObjectName(QStringLiteral("LabelBeam"));
  LabelWidth = new QLabel(this);
  LabelWidth->setObjectName(QStringLiteral("LabelWidth"));

  auto* spread = new QHBoxLayout;
  spread->addWidget(EditSpread, 1);
  spread->addWidget(ComboSpread);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Resonance energy (keV):"), EditEnergy);
  form->addRow(QStringLiteral("Beam particle mass (u):"), EditBeamMass);
  form->addRow(QStringLiteral("Target atom mass (u):"), EditTargetMass);
  form->addRow(QStringLiteral("Temperature (K):"), EditTemperature);
  form->addRow(QStringLiteral("Debye temperature (K):"), EditDebye);
  form->addRow(QStringLiteral("Beam energy spread (eV):"), spread);
  form->addRow(QStringLiteral("Doppler:"), LabelDoppler);
  form->addRow(QStringLiteral("Beam:"), LabelBeam);
  form->addRow(QStringLiteral("Gaussian width:"), LabelWidth);

  QDialogButtonBox* buttons = layOutFormDialog(*this, form);

  for (QLineEdit* edit :
       {EditEnergy, EditBeamMass, EditTargetMass, EditTemperature, EditDebye, EditSpread}) {
    connect(edit, &QLineEdit::textChanged, this, &TFBroadening::showFigures);
  }
  connect(ComboSpread, &QComboBox::currentIndexChanged, this, &TFBroadening::showFigures);
  connect(buttons, &QDialogButtonBox::accepted, this, &TFBroadening::OKClick);
  showFigures();
}

BroadeningTexts TFBroadening::texts() const {
  BroadeningTexts texts;
  texts.energy = EditEnergy->text().toStdString();
  texts.beamMass = EditBeamMass->text().toStdString();
  texts.targetMass = EditTargetMass->text().toStdString();
  texts.temperature = EditTemperature->text().toStdString();
  texts.debyeTemperature = EditDebye->text().toStdString();
  texts.beamSpread = EditSpread->text().toStdString();
  texts.spreadIsSigma = ComboSpread->currentIndex() == 1;
  return texts;
}

void TFBroadening::showFigures() {
  try {
    const BroadeningFigures figures = computeBroadening(texts(), m_host.context().decimal);
    LabelDoppler->setText(QStringLiteral("σ = %1 eV at T_eff = %2 K")
                              .arg(QString::fromStdString(figures.dopplerText))
                              .arg(figures.effectiveTemperatureK, 0, 'f', 1));
    LabelBeam->setText(QStringLiteral("σ = %1 eV").arg(figures.beamSigmaEv, 0, 'f', 1));
    LabelWidth->setText(QString::fromStdString(figures.widthText) +
                        QStringLiteral(" eV = 2·√(σ_Doppler² + σ_beam²)"));
  } catch (const std::exception& error) {
    LabelDoppler->setText(QString::fromStdString(error.what()));
    LabelBeam->setText(QStringLiteral("—"));
    LabelWidth->setText(QStringLiteral("—"));
  }
}

void TFBroadening::OKClick() {
  m_host.runGuarded([this] {
    m_widthText = computeBroadening(texts(), m_host.context().decimal).widthText;
    accept();
  });
}
