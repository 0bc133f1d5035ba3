#include "app/calculation_controller.h"

#include <string>

#include "commands/command_error.h"
#include "ui/window_host.h"

CalculationController::CalculationController(WindowHost& host)
    : m_host(host),
      m_run(QStringLiteral("autoconvolution"), *this, &CalculationController::workerPosted) {}

CalculationController::~CalculationController() = default;

void CalculationController::start() {
  if (isRunning()) return;
  CommandContext& context = m_host.context();
  std::optional<PreparedCalculation> prepared = prepareAutoconvolutionCalculation(context);
  if (!prepared) return;
  auto job = std::make_shared<const PreparedCalculation>(std::move(*prepared));
  const int nc = job->inputs.nc;
  m_run.start(std::move(job), [&] {
    context.calculationRunning = true;
    emit runningChanged(true, nc);
  });
}

void CalculationController::stop() {
  m_run.stop();
}

void CalculationController::stopAndWait() {
  m_run.stopAndWait([this] { workerPosted(); }, [this] { workerFinished({}); });
}

void CalculationController::workerPosted() {
  while (std::optional<CalculationMessage> message = m_run.takeMessage()) {
    if (const auto* step = std::get_if<CalculationProgressed>(&*message))
      workerProgressed(step->n);
    else
      workerFinished(std::get<CalculationFinished>(std::move(*message)));
  }
}

void CalculationController::workerProgressed(int n) {
  if (!isRunning()) return;
  CommandContext& context = m_host.context();
  context.texts.mainStatusPanels[0] = std::to_string(n);
  context.ui.redraw(View::MainStatus);
  emit progressed(n);
}

void CalculationController::workerFinished(CalculationFinished finished) {
  if (!isRunning()) return;
  const std::shared_ptr<const PreparedCalculation> prepared = m_run.finish();
  CommandContext& context = m_host.context();
  m_host.runGuarded([&] {
    if (finished.result) {
      finishAutoconvolutionCalculation(context, *prepared, std::move(*finished.result));
    } else {
      abandonAutoconvolutionCalculation(context, *prepared);
      if (!finished.error.empty()) throw CommandError(finished.error);
    }
  });
  // runGuarded has caught whatever went wrong, so the controls always come back.
  context.calculationRunning = false;
  emit runningChanged(false, 0);
}
