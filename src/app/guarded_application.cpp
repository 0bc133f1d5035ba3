#include "app/guarded_application.h"

#include <QMessageBox>
#include <exception>

#include "ui/program_title.h"

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    report(error.what());
  } catch (...) {
    report("Unexpected error");
  }
  return false;
}

void GuardedApplication::report(const std::string& text) {
  if (m_report) {
    m_report(text);
  } else {
    QMessageBox::critical(nullptr, programTitle(), QString::fromStdString(text));
  }
}
