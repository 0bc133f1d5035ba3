#pragma once

#include <QDialog>

#include "commands/window_texts.h"
#include "ui/field_bindings.h"

class QLineEdit;
class QPushButton;
class PopupMenuForwarder;
class WindowHost;

// "Constants": energy shift of the measured points, background and multiplier
// of the computed curve, with a preview and a Cancel that restores the
// parameters of the moment the dialog was opened. Its close box only hides it.
class TFConst : public QDialog {
  Q_OBJECT

 public:
  explicit TFConst(WindowHost& host);

  // Puts the texts the Constants command filled into the widgets.
  void showTexts();

 private:
  void Button1Click();
  void Button2Click();
  void Button3Click();

  WindowHost& m_host;
  FieldBindings<ConstantsTexts> m_fields;

  QLineEdit* EditShift;
  QLineEdit* EditBack;
  QLineEdit* EditMult;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* Button3;
  PopupMenuForwarder* m_popup;
};
