#pragma once

#include <QObject>
#include <QThread>
#include <atomic>
#include <memory>

#include "app/calculation_worker.h"

class WindowHost;

// Start Calculation with the window kept alive: prepare on the user-interface
// thread, compute on the worker, then finish (or, when stopped, abandon) back
// on the user-interface thread. While it runs, context().calculationRunning is set.
class CalculationController : public QObject {
  Q_OBJECT

 public:
  explicit CalculationController(WindowHost& host);
  ~CalculationController() override;

  // Throws what the preparation throws; nothing runs then.
  void start();
  // Asks the worker to stop; it abandons the run within a tenth of a second.
  void stop();
  // For leaving the program: stops a run and settles it before returning.
  void stopAndWait();
  bool isRunning() const { return m_prepared != nullptr; }

 signals:
  // nc is the highest collision number of the run that starts.
  void runningChanged(bool running, int nc);
  void progressed(int n);
  void runRequested(std::shared_ptr<const PreparedCalculation> prepared);

 private slots:
  void workerProgressed(int n);
  void workerFinished(std::shared_ptr<AutoconvolutionResult> result, QString error);

 private:
  WindowHost& m_host;
  std::atomic<bool> m_cancel{false};
  QThread m_thread;
  CalculationWorker* m_worker;
  std::shared_ptr<const PreparedCalculation> m_prepared;
};
