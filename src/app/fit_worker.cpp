#include "app/fit_worker.h"

#include <QElapsedTimer>
#include <algorithm>

FitFinished FitWorker::work(const PreparedFit& prepared) {
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
  control.cancel = &cancel();
  control.fitProgress = progress;
  control.stepProgress = [this](const std::string& line) { post(FitStepped{line}); };
  FitOutcome outcome = runFitJob(prepared, control);
  return {std::make_shared<FitOutcome>(std::move(outcome)), {}};
}
