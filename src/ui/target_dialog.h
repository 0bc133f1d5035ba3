#pragma once

#include <QDialog>

#include "commands/target_commands.h"

class QComboBox;
class QLabel;
class QLineEdit;
class WindowHost;

// "From target...": the stopping power and straggling constant of a
// composition, shown as they are typed; OK puts them into the Calculation
// Parameters fields, Cancel changes nothing.
class TFTarget : public QDialog {
  Q_OBJECT

 public:
  TFTarget(WindowHost& host, QWidget* parent);

 private:
  TargetTexts texts() const;
  void showFigures();
  void OKClick();

  WindowHost& m_host;
  QComboBox* ComboBeam;
  QLineEdit* EditComposition;
  QLineEdit* EditEnergy;
  QComboBox* ComboStraggling;
  QLabel* LabelStopping;
  QLabel* LabelStraggling;
  QLabel* LabelPerMicrogram;
};
