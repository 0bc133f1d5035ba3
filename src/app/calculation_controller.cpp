#include "app/calculation_controller.h"

#include <QCoreApplication>
#include <string>

#include "commands/command_error.h"
#include "ui/window_host.h"

CalculationController::CalculationController(WindowHost& host)
    : m_host(host), m_worker(new CalculationWorker(m_cancel)) {
  qRegisterMetaType<std::shared_ptr<const PreparedCalculation>>();
  qRegisterMetaType<std::shared_ptr<AutoconvolutionResult>>();
  m_thread.setObjectName(QStringLiteral("autoconvolution"));
  m_worker->moveToThread(&m_thread);
  connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
  connect(this, &CalculationController::runRequested, m_worker, &CalculationWorker::run);
  connect(m_worker, &CalculationWorker::progressed, this, &CalculationController::workerProgressed);
  connect(m_worker, &CalculationWorker::finished, this, &CalculationController::workerFinished);
  m_thread.start();
}

CalculationController::~CalculationController() {
  m_cancel = true;
  m_thread.quit();
  m_thread.wait();
}

void CalculationController::start() {
  if (isRunning()) return;
  CommandContext& context = m_host.context();
  std::optional<PreparedCalculation> prepared = prepareAutoconvolutionCalculation(context);
  if (!prepared) return;
  m_prepared = std::make_shared<const PreparedCalculation>(std::move(*prepared));
  m_cancel = false;
  context.calculationRunning = true;
  emit runningChanged(true, m_prepared->inputs.nc);
  emit runRequested(m_prepared);
}

void CalculationController::stop() {
  if (isRunning()) m_cancel = true;
}

void CalculationController::stopAndWait() {
  if (!isRunning()) return;
  m_cancel = true;
  // The worker leaves its slot once it sees the flag; its last signals are then
  // waiting in this thread's queue.
  m_thread.quit();
  m_thread.wait();
  QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
  if (isRunning()) workerFinished(nullptr, QString());
}

void CalculationController::workerProgressed(int n) {
  if (!isRunning()) return;
  CommandContext& context = m_host.context();
  context.texts.mainStatusPanels[0] = std::to_string(n);
  context.ui.redraw(View::MainStatus);
  emit progressed(n);
}

void CalculationController::workerFinished(std::shared_ptr<AutoconvolutionResult> result,
                                           QString error) {
  if (!isRunning()) return;
  const std::shared_ptr<const PreparedCalculation> prepared = std::move(m_prepared);
  CommandContext& context = m_host.context();
  m_host.runGuarded([&] {
    if (result) {
      finishAutoconvolutionCalculation(context, *prepared, std::move(*result));
    } else {
      abandonAutoconvolutionCalculation(context, *prepared);
      if (!error.isEmpty()) throw CommandError(error.toStdString());
    }
  });
  // runGuarded has caught whatever went wrong, so the controls always come back.
  context.calculationRunning = false;
  emit runningChanged(false, 0);
}
