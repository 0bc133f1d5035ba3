#pragma once

#include <memory>
#include <string>
#include <variant>

#include "app/worker_thread.h"
#include "commands/autoconvolution_commands.h"

// What the calculation's worker tells the user-interface thread.
struct CalculationProgressed {
  int n = 0;
};
struct CalculationFinished {
  // Null when the run was cancelled or failed; error is empty unless it failed.
  std::shared_ptr<AutoconvolutionResult> result;
  std::string error;
};
using CalculationMessage = std::variant<CalculationProgressed, CalculationFinished>;

// Runs the long middle phase of Start Calculation on its own thread.
class CalculationWorker
    : public ChannelWorker<PreparedCalculation, CalculationMessage, CalculationFinished> {
 public:
  using ChannelWorker::ChannelWorker;

 private:
  CalculationFinished work(const PreparedCalculation& prepared) override;
};
