#include "app/calculation_worker.h"

#include <exception>

void CalculationWorker::post(CalculationMessage message) {
  m_channel.messages.post(std::move(message));
  emit posted();
}

void CalculationWorker::run() {
  const std::optional<std::shared_ptr<const PreparedCalculation>> prepared = m_channel.jobs.take();
  if (!prepared) return;
  try {
    std::optional<AutoconvolutionResult> result = runAutoconvolutionCalculation(
        **prepared, [this](int n) { post(CalculationProgressed{n}); }, &m_channel.cancel);
    post(CalculationFinished{
        result ? std::make_shared<AutoconvolutionResult>(std::move(*result)) : nullptr, {}});
  } catch (const std::exception& error) {
    post(CalculationFinished{nullptr, error.what()});
  }
}
