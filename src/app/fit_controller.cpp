#include "app/fit_controller.h"

#include "commands/command_error.h"
#include "commands/fit_result_view.h"
#include "ui/window_host.h"

FitController::FitController(WindowHost& host)
    : m_host(host), m_run(QStringLiteral("fit"), *this, &FitController::workerPosted) {}

FitController::~FitController() = default;

void FitController::start(FitJob job) {
  if (isRunning()) return;
  CommandContext& context = m_host.context();
  m_run.start(std::make_shared<const PreparedFit>(prepareFit(context, job)), [&] {
    context.fitRunning = true;
    emit runningChanged(true);
  });
}

void FitController::stop() {
  m_run.stop();
}

void FitController::stopAndWait() {
  m_run.stopAndWait([this] { workerPosted(); }, [this] { workerFinished({}); });
}

void FitController::workerPosted() {
  while (std::optional<FitMessage> message = m_run.takeMessage()) {
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
  const std::shared_ptr<const PreparedFit> prepared = m_run.finish();
  CommandContext& context = m_host.context();
  m_host.runGuarded([&] {
    if (finished.outcome && !m_run.cancelled()) {
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
