#pragma once

#include <memory>
#include <string>
#include <variant>

#include "app/worker_thread.h"
#include "commands/fit_job.h"

// What the fit's worker tells the user-interface thread.
struct FitProgressed {
  int iteration = 0;
  double reducedChi2 = 0.0;
  // The main chart's curve of the current values, or null when the last one
  // went out less than FitWorker::kCurveIntervalMs ago.
  std::shared_ptr<const ChartSeries> curve;
};
// The progress of a free-form inversion or posterior sampling.
struct FitStepped {
  std::string line;
};
struct FitFinished {
  // Null when the job failed (error says why); a stopped job returns an
  // outcome marked cancelled.
  std::shared_ptr<FitOutcome> outcome;
  std::string error;
};
using FitMessage = std::variant<FitProgressed, FitStepped, FitFinished>;

// Runs a fit, free-form inversion or posterior sampling on its own thread.
class FitWorker : public ChannelWorker<PreparedFit, FitMessage, FitFinished> {
 public:
  // The live curve goes to the screen at most this often (or less often when
  // it is dear to compute): a fit iterates faster than a chart is worth redrawing.
  static constexpr int kCurveIntervalMs = 80;

  using ChannelWorker::ChannelWorker;

 private:
  FitFinished work(const PreparedFit& prepared) override;
};
