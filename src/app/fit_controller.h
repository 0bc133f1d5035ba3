#pragma once

#include <QObject>

#include "app/fit_worker.h"

class WindowHost;

// "Fit", "Free-form" and "Sample posterior" with the windows kept alive:
// prepare on the user-interface thread, run on the worker, then finish (or, when stopped, abandon)
// back on the user-interface thread. While it runs, context().fitRunning is set.
class FitController : public QObject {
  Q_OBJECT

 public:
  explicit FitController(WindowHost& host);
  ~FitController() override;

  // Throws what the preparation throws; nothing runs then.
  void start(FitJob job = FitJob::Fit);
  // Asks the worker to stop; it abandons the fit after the iteration it is in.
  void stop();
  // For leaving the program: stops a fit and settles it before returning.
  void stopAndWait();
  bool isRunning() const { return m_run.isRunning(); }

 signals:
  void runningChanged(bool running);
  void progressed(int iteration, double reducedChi2);

 private slots:
  // Takes every message the worker has left in the channel.
  void workerPosted();

 private:
  void workerProgressed(const FitProgressed& progressed);
  void workerFinished(FitFinished finished);

  WindowHost& m_host;
  WorkerThread<FitWorker> m_run;
};
