#pragma once

#include <QObject>
#include <QThread>
#include <atomic>
#include <memory>

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
  bool isRunning() const { return m_prepared != nullptr; }

 signals:
  void runningChanged(bool running);
  void progressed(int iteration, double reducedChi2);
  void runRequested(std::shared_ptr<const PreparedFit> prepared);

 private slots:
  void workerProgressed(int iteration, double reducedChi2,
                        std::shared_ptr<const ChartSeries> curve);
  void workerStepped(QString line);
  void workerFinished(std::shared_ptr<FitOutcome> outcome, QString error);

 private:
  WindowHost& m_host;
  std::atomic<bool> m_cancel{false};
  QThread m_thread;
  FitWorker* m_worker;
  std::shared_ptr<const PreparedFit> m_prepared;
};
