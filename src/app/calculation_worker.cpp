#include "app/calculation_worker.h"

CalculationFinished CalculationWorker::work(const PreparedCalculation& prepared) {
  std::optional<AutoconvolutionResult> result = runAutoconvolutionCalculation(
      prepared, [this](int n) { post(CalculationProgressed{n}); }, &cancel());
  return {result ? std::make_shared<AutoconvolutionResult>(std::move(*result)) : nullptr, {}};
}
