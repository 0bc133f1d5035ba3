#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>

#include "commands/fit_commands.h"

// Runs a fit, free-form inversion or posterior sampling on its own thread. It reads nothing but the
// prepared fit and writes nothing but its signals, so the program state is touched on the
// user-interface thread alone.
class FitWorker : public QObject {
  Q_OBJECT

 public:
  // The live curve goes to the screen at most this often (or less often when
  // it is dear to compute): a fit iterates faster than a chart is worth redrawing.
  static constexpr int kCurveIntervalMs = 80;

  explicit FitWorker(const std::atomic<bool>& cancel) : m_cancel(cancel) {}

 public slots:
  void run(std::shared_ptr<const PreparedFit> prepared);

 signals:
  // After every iteration; curve is the main chart's curve of the current
  // values, or null when the last one went out less than kCurveIntervalMs ago.
  void progressed(int iteration, double reducedChi2, std::shared_ptr<const ChartSeries> curve);
  // The progress of a free-form inversion or posterior sampling.
  void stepped(QString line);
  // outcome is null when the job failed (error says why); a stopped job
  // returns an outcome marked cancelled.
  void finished(std::shared_ptr<FitOutcome> outcome, QString error);

 private:
  const std::atomic<bool>& m_cancel;
};

Q_DECLARE_METATYPE(std::shared_ptr<const PreparedFit>)
Q_DECLARE_METATYPE(std::shared_ptr<const ChartSeries>)
Q_DECLARE_METATYPE(std::shared_ptr<FitOutcome>)
