#pragma once

#include <QDialog>
#include <functional>

#include "commands/command_context.h"
#include "commands/window_texts.h"
#include "ui/field_bindings.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class PopupMenuForwarder;
class WindowHost;

// "Profile Parameters": depth range, contamination layer, broadening widths
// and the tools that shape the current profile by numbers.
class TFDrawOpts : public QDialog {
  Q_OBJECT

 public:
  explicit TFDrawOpts(WindowHost& host);

  // Puts the texts the commands wrote (Options, Preview) into the widgets.
  void showTexts();

 protected:
  void showEvent(QShowEvent* event) override;
  // Escape and the window's close button cancel as Cancel does.
  void reject() override;

 signals:
  // "Change scale" ran: the profile chart shows the full scale again, also
  // when the scale is the one it had before the user zoomed in.
  void scaleChanged();

 private:
  void OKClick();
  void ButtonPreviewClick();
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void Button5Click();
  void Button6Click();
  void Button7Click();
  void ButtonBroadeningClick();
  void CancelClick();
  void run(const std::function<void(CommandContext&)>& command);

  WindowHost& m_host;
  FieldBindings<ProfileParametersTexts> m_fields;

  QGroupBox* GroupConv;
  QGroupBox* GroupProfile;
  QGroupBox* GroupErfc;
  QGroupBox* GroupLine;
  QGroupBox* GroupSmooth;
  QLineEdit* EditGauss;
  QLineEdit* EditLor;
  QComboBox* ComboResonance;  // beside the Lorentzian width
  QLineEdit* EditMaxDepth;
  QLineEdit* EditCont;
  QLineEdit* EditCmax;
  QLineEdit* Editqtd;
  QLineEdit* EditSigma;
  QLineEdit* Editx1;
  QLineEdit* Editx2;
  QLineEdit* Editc1;
  QLineEdit* Editc2;
  QLineEdit* Editqts;
  QCheckBox* CheckIncContam;
  QPushButton* Button1;  // "<9 pts> "
  QPushButton* Button2;  // "Add erfc"
  QPushButton* Button3;  // "Change scale"
  QPushButton* Button4;  // "Try add erfc"
  QPushButton* Button5;  // "Subtract erfc"
  QPushButton* Button6;  // "Try subtract"
  QPushButton* Button7;  // "Draw line"
  QPushButton* ButtonBroadening;
  QPushButton* ButtonPreview;
  QPushButton* OK;
  QPushButton* Cancel;
  PopupMenuForwarder* m_popup;
  // What Cancel puts back.
  ProfileParametersTexts m_textsWhenShown;
  ResonanceShape m_resonanceWhenShown;
};
