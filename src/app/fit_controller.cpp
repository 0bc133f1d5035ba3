#include "app/fit_controller.h"

#include <QCoreApplication>

#include "commands/command_error.h"
#include "ui/window_host.h"

FitController::FitController(WindowHost& host) : m_host(host), m_worker(new FitWorker(m_cancel)) {
  qRegisterMetaType<std::shared_ptr<const PreparedFit>>();
  qRegisterMetaType<std::shared_ptr<const ChartSeries>>();
  qRegisterMetaType<std::shared_ptr<FitOutcome>>();
  m_thread.setObjectName(QStringLiteral("fit"));
  m_worker->moveToThread(&m_thread);
  connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
  connect(this, &FitController::runRequested, m_worker, &FitWorker::run);
  connect(m_worker, &FitWorker::progressed, this, &FitController::workerProgressed);
  connect(m_worker, &FitWorker::stepped, this, &FitController::workerStepped);
  connect(m_worker, &FitWorker::finished, this, &FitController::workerFinished);
  m_thread.start();
}

FitController::~FitController() {
  m_cancel = true;
  m_thread.quit();
  m_thread.wait();
}

void FitController::start(FitJob job) {
  if (isRunning()) return;
  CommandContext& context = m_host.context();
  m_prepared = std::make_shared<const PreparedFit>(prepareFit(context, job));
  m_cancel = false;
  context.fitRunning = true;
  emit runningChanged(true);
  emit runRequested(m_prepared);
}

void FitController::stop() {
  if (isRunning()) m_cancel = true;
}

void FitController::stopAndWait() {
  if (!isRunning()) return;
  m_cancel = true;
  // The worker leaves its slot after the iteration it is in; its last signals
  // are then waiting in this thread's queue.
  m_thread.quit();
  m_thread.wait();
  QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
  if (isRunning()) workerFinished(nullptr, QString());
}

void FitController::workerProgressed(int iteration, double reducedChi2,
                                     std::shared_ptr<const ChartSeries> curve) {
  if (!isRunning()) return;
  showFitProgress(m_host.context(), iteration, reducedChi2, curve.get());
  emit progressed(iteration, reducedChi2);
}

void FitController::workerStepped(QString line) {
  if (isRunning()) showFitStatus(m_host.context(), line.toStdString());
}

void FitController::workerFinished(std::shared_ptr<FitOutcome> outcome, QString error) {
  if (!isRunning()) return;
  const std::shared_ptr<const PreparedFit> prepared = std::move(m_prepared);
  CommandContext& context = m_host.context();
  m_host.runGuarded([&] {
    if (outcome && !m_cancel) {
      finishFitJob(context, *prepared, std::move(*outcome));
    } else {
      abandonFit(context, *prepared);
      if (!error.isEmpty()) throw CommandError(error.toStdString());
    }
  });
  // runGuarded has caught whatever went wrong, so the controls always come back.
  context.fitRunning = false;
  emit runningChanged(false);
}
