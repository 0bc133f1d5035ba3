#include "app/calculation_worker.h"

#include <exception>

void CalculationWorker::run(std::shared_ptr<const PreparedCalculation> prepared) {
  try {
    std::optional<AutoconvolutionResult> result = runAutoconvolutionCalculation(
        *prepared, [this](int n) { emit progressed(n); }, &m_cancel);
    emit finished(result ? std::make_shared<AutoconvolutionResult>(std::move(*result)) : nullptr,
                  QString());
  } catch (const std::exception& error) {
    emit finished(nullptr, QString::fromStdString(error.what()));
  }
}
