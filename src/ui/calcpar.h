#pragma once

#include <QDialog>
#include <QSize>
#include <string>
#include <vector>

#include "commands/window_texts.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class PopupMenuForwarder;
class WindowHost;

// "Calculation Parameters": every input of the autoconvolution calculation.
// The fields are bound to the texts the commands read, both ways.
class TFCalcPar : public QDialog {
  Q_OBJECT

 public:
  static constexpr QSize kCompactSize{375, 175};
  static constexpr QSize kFullSize{616, 175};

  explicit TFCalcPar(WindowHost& host);

  // Puts the texts held for the dialog into its widgets.
  void showTexts();
  // A running calculation reads these fields and the set they describe.
  void setCalculationRunning(bool running);

 private:
  struct TextBinding {
    QLineEdit* edit;
    std::string CalculationParametersTexts::*text;
  };

  void BtnRefreshClick();
  void BtnMoreClick();
  void BtnTargetClick();
  void setInteractionTabStops(bool inTabOrder);
  QLineEdit* addField(QGroupBox& group, int row, const QString& objectName, const QString& caption,
                      const QString& unit, std::string CalculationParametersTexts::*text);

  WindowHost& m_host;
  std::vector<TextBinding> m_bindings;

  QGroupBox* GroupBeam;
  QGroupBox* GroupCalc;
  QGroupBox* GroupInter;
  QGroupBox* GroupUnits;
  QLineEdit* EditEnrg;
  QLineEdit* EditStopping;
  QLineEdit* EditStrag;
  QLineEdit* EditNc;
  QLineEdit* EditPoints;
  QLineEdit* EditStep;
  QLineEdit* EditMaxEnergy;
  QLineEdit* EditEmin;
  QLineEdit* EditEmax;
  QCheckBox* CheckAutoStep;
  QCheckBox* CheckSaveAutos;
  QPushButton* BtnRefresh;
  QPushButton* BtnMore;
  QPushButton* BtnTarget;
  PopupMenuForwarder* m_popup;
};
