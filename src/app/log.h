#pragma once

#include <QWidget>

class QTextEdit;
class WindowHost;

// "Log": the calculation's report. The text is the one the commands hold;
// what the user types into it is kept too, since it is saved with the set.
class TFLog : public QWidget {
  Q_OBJECT

 public:
  explicit TFLog(WindowHost& host);

  void showText();
  // What is typed while a calculation runs would be lost when it is stopped.
  void setCalculationRunning(bool running);

 private:
  void EditLogChange();

  WindowHost& m_host;
  bool m_showing = false;
  QTextEdit* EditLog;
};
