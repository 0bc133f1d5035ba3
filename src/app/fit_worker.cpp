#include "app/fit_worker.h"

#include <QElapsedTimer>
#include <algorithm>
#include <exception>

void FitWorker::post(FitMessage message) {
  m_channel.messages.post(std::move(message));
  emit posted();
}

void FitWorker::run() {
  const std::optional<std::shared_ptr<const PreparedFit>> job = m_channel.jobs.take();
  if (!job) return;
  const PreparedFit& prepared = **job;
  try {
    QElapsedTimer sinceCurve;
    qint64 curveIntervalMs = kCurveIntervalMs;
    const auto progress = [&](const FitProgress& step) {
      std::shared_ptr<const ChartSeries> curve;
      if (step.model && (!sinceCurve.isValid() || sinceCurve.elapsed() >= curveIntervalMs)) {
        sinceCurve.start();
        curve = std::make_shared<const ChartSeries>(fitCurveSeries(prepared, *step.model));
        // On a deep grid a curve costs as much as several iterations: the fit
        // spends at most a quarter of its time on the live view.
        curveIntervalMs = std::max<qint64>(kCurveIntervalMs, 4 * sinceCurve.elapsed());
      }
      post(FitProgressed{step.iteration, step.reducedChi2, std::move(curve)});
    };
    FitJobControl control;
    control.cancel = &m_channel.cancel;
    control.fitProgress = progress;
    control.stepProgress = [this](const std::string& line) { post(FitStepped{line}); };
    FitOutcome outcome = runFitJob(prepared, control);
    post(FitFinished{std::make_shared<FitOutcome>(std::move(outcome)), {}});
  } catch (const std::exception& error) {
    post(FitFinished{nullptr, error.what()});
  }
}
