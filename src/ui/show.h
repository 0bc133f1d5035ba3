#pragma once

#include <QDialog>

#include "commands/window_texts.h"
#include "ui/field_bindings.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class WindowHost;

// "Show": the Lewis-effect line shape of the whole set and single
// autoconvolutions, one per press of the Single Auto group's Plot.
class TFShow : public QDialog {
  Q_OBJECT

 public:
  explicit TFShow(WindowHost& host);

  // Puts the texts held for the dialog into its widgets. Showing the dialog
  // does not call this: its fields keep what the user typed.
  void showTexts();

 private:
  void PlotLewisExecute();
  void PlotsingleExecute();
  void BtnBroadeningClick();

  WindowHost& m_host;
  FieldBindings<ShowTexts> m_fields;

  QGroupBox* GroupLewis;
  QGroupBox* GroupSingle;
  QLineEdit* EditGauss;
  QLineEdit* EditLorentz;
  QComboBox* ComboResonance;  // beside the Lorentzian width
  QCheckBox* CheckConv;
  QPushButton* BtnPlotLewis;
  QPushButton* BtnBroadening;
  QLineEdit* EditC;
  QPushButton* BtnPlotSingle;
};
