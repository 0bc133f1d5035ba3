#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class WindowHost;

// "About Tervane": shown modally from the main menu.
class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(WindowHost& host);

 private:
  QLabel* ProgramIcon;
  QLabel* ProductName;
  QLabel* Purpose;
  QLabel* Version;
  QLabel* Usage;
  QPushButton* OKButton;
};
