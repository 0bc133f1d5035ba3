#pragma once

#include <QObject>

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
  bool isRunning() const { return m_run.isRunning(); }

 signals:
  // nc is the highest collision number of the run that starts.
  void runningChanged(bool running, int nc);
  void progressed(int n);

 private slots:
  // Takes every message the worker has left in the channel.
  void workerPosted();

 private:
  void workerProgressed(int n);
  void workerFinished(CalculationFinished finished);

  WindowHost& m_host;
  WorkerThread<CalculationWorker> m_run;
};
