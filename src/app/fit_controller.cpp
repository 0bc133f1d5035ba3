#include "app/fit_controller.h"

#include "commands/command_error.h"
#include "commands/fit_result_view.h"
#include "ui/window_host.h"

FitController::FitController(WindowHost& host)
    : m_host(host), m_worker(new FitWorker(m_channel)) {
  m_thread.setObjectName(QStringLiteral("fit"));
  m_worker->moveToThread(&m_thread);
  connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
  connect(this, &FitController::runRequested, m_worker, &FitWorker::run);
  connect(m_worker, &FitWorker::posted, this, &FitController::workerPosted);
  m_thread.start();
}

FitController::~FitController() {
  m_channel.cancel = true;
  m_thread.quit();
  m_thread.wait();
}

void FitController::start(FitJob job) {
  if (isRunning()) return;
  CommandContext& context = m_host.context();
  m_prepared = std::make_shared<const PreparedFit>(prepareFit(context, job));
  m_channel.cancel = false;
  context.fitRunning = true;
  emit runningChanged(true);
  m_channel.jobs.post(m_prepared);
  emit runRequested();
}

void FitController::stop() {
  if (isRunning()) m_channel.cancel = true;
}

void FitController::stopAndWait() {
  if (!isRunning()) return;
  m_channel.cancel = true;
  // The worker leaves its slot after the iteration it is in; its last
  // messages are then waiting in the channel.
  m_thread.quit();
  m_thread.wait();
  workerPosted();
  if (isRunning()) workerFinished({});
}

void FitController::workerPosted() {
  while (std::optional<FitMessage> message = m_channel.messages.take()) {
    if (const auto* step = std::get_if<FitProgressed>(&*message)) {
      workerProgressed(*step);
    } else if (const auto* stepped = std::get_if<FitStepped>(&*message)) {
      if (isRunning()) showFitStatus(m_host.context(), stepped->line);
    } else {
      workerFinished(std::get<FitFinished>(std::move(*message)));
    }
  }
}

void FitController::workerProgressed(const FitProgressed& step) {
  if (!isRunning()) return;
  showFitProgress(m_host.context(), step.iteration, step.reducedChi2, step.curve.get());
  emit progressed(step.iteration, step.reducedChi2);
}

void FitController::workerFinished(FitFinished finished) {
  if (!isRunning()) return;
  const std::shared_ptr<const PreparedFit> prepared = std::move(m_prepared);
  CommandContext& context = m_host.context();
  m_host.runGuarded([&] {
    if (finished.outcome && !m_channel.cancel) {
      finishFitJob(context, *prepared, std::move(*finished.outcome));
    } else {
      abandonFit(context, *prepared);
      if (!finished.error.empty()) throw CommandError(finished.error);
    }
  });
  // runGuarded has caught whatever went wrong, so the controls always come back.
  context.fitRunning = false;
  emit runningChanged(false);
}
