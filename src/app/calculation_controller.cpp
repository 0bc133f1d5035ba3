#include "app/calculation_controller.h"

#include <string>

#include "commands/command_error.h"
#include "ui/window_host.h"

CalculationController::CalculationController(WindowHost& host)
    : m_host(host), m_worker(new CalculationWorker(m_channel)) {
  m_thread.setObjectName(QStringLiteral("autoconvolution"));
  m_worker->moveToThread(&m_thread);
  connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
  connect(this, &CalculationController::runRequested, m_worker, &CalculationWorker::run);
  connect(m_worker, &CalculationWorker::posted, this, &CalculationController::workerPosted);
  m_thread.start();
}

CalculationController::~CalculationController() {
  m_channel.cancel = true;
  m_thread.quit();
  m_thread.wait();
}

void CalculationController::start() {
  if (isRunning()) return;
  CommandContext& context = m_host.context();
  std::optional<PreparedCalculation> prepared = prepareAutoconvolutionCalculation(context);
  if (!prepared) return;
  m_prepared = std::make_shared<const PreparedCalculation>(std::move(*prepared));
  m_channel.cancel = false;
  context.calculationRunning = true;
  emit runningChanged(true, m_prepared->inputs.nc);
  m_channel.jobs.post(m_prepared);
  emit runRequested();
}

void CalculationController::stop() {
  if (isRunning()) m_channel.cancel = true;
}

void CalculationController::stopAndWait() {
  if (!isRunning()) return;
  m_channel.cancel = true;
  // The worker leaves its slot once it sees the flag; its last messages are
  // then waiting in the channel.
  m_thread.quit();
  m_thread.wait();
  workerPosted();
  if (isRunning()) workerFinished({});
}

void CalculationController::workerPosted() {
  while (std::optional<CalculationMessage> message = m_channel.messages.take()) {
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
  const std::shared_ptr<const PreparedCalculation> prepared = std::move(m_prepared);
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
