#pragma once

#include <QDialog>
#include <string>

#include "commands/target_commands.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class WindowHost;

// "Gaussian width from physics...": the Doppler broadening of the resonance
// and the beam's energy spread, each shown, combined into the Gaussian width
// that OK writes into `widthText` (a dialog's Gaussian field).
// The small button beside a Gaussian width field that opens the dialog; its
// tool tip names it, as the field leaves no room for the caption.
QPushButton* makeBroadeningButton(QWidget& parent, const QString& objectName);

class TFBroadening : public QDialog {
  Q_OBJECT

 public:
  TFBroadening(WindowHost& host, std::string& widthText, QWidget* parent);

 private:
  BroadeningTexts texts() const;
  void showFigures();
  void OKClick();

  WindowHost& m_host;
  std::string& m_widthText;
  QLineEdit* EditEnergy;
  QLineEdit* EditBeamMass;
  QLineEdit* EditTargetMass;
  QLineEdit* EditTemperature;
  QLineEdit* EditDebye;
  QLineEdit* EditSpread;
  QComboBox* ComboSpread;
  QLabel* LabelDoppler;
  QLabel* LabelBeam;
  QLabel* LabelWidth;
};
