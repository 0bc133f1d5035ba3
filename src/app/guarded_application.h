#pragma once

#include <QApplication>
#include <functional>
#include <string>

// An exception that leaves an event handler would end the program. Every
// command already runs under its own handler; this one catches whatever slips
// past and shows it the same way.
class GuardedApplication : public QApplication {
 public:
  using ErrorReporter = std::function<void(const std::string&)>;

  GuardedApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;
  // Until set, errors go to a plain message box.
  void setErrorReporter(ErrorReporter reporter) { m_report = std::move(reporter); }

 private:
  void report(const std::string& text);

  ErrorReporter m_report;
};
