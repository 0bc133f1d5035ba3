#pragma once

#include <QObject>
#include <memory>
#include <string>
#include <variant>

#include "app/mailbox.h"
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

using FitChannel = WorkerChannel<PreparedFit, FitMessage>;

// Runs a fit, free-form inversion or posterior sampling on its own thread. It
// reads nothing but the prepared fit it takes from the channel and writes
// nothing but its messages, so the program state is touched on the
// user-interface thread alone.
class FitWorker : public QObject {
  Q_OBJECT

 public:
  // The live curve goes to the screen at most this often (or less often when
  // it is dear to compute): a fit iterates faster than a chart is worth redrawing.
  static constexpr int kCurveIntervalMs = 80;

  explicit FitWorker(FitChannel& channel) : m_channel(channel) {}

 public slots:
  // Runs the job waiting in the channel.
  void run();

 signals:
  // A message waits in the channel.
  void posted();

 private:
  void post(FitMessage message);

  FitChannel& m_channel;
};
