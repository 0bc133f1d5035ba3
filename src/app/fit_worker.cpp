#include "app/fit_worker.h"

#include <QElapsedTimer>
#include <algorithm>
#include <exception>

void FitWorker::run(std::shared_ptr<const PreparedFit> prepared) {
  try {
    QElapsedTimer sinceCurve;
    qint64 curveIntervalMs = kCurveIntervalMs;
    const auto progress = [&](const FitProgress& step) {
      std::shared_ptr<const ChartSeries> curve;
      if (step.model && (!sinceCurve.isValid() || sinceCurve.elapsed() >= curveIntervalMs)) {
        sinceCurve.start();
        curve = std::make_shared<const ChartSeries>(fitCurveSeries(*prepared, *step.model));
        // On a deep grid a curve costs as much as several iterations: the fit
        // spends at most a quarter of its time on the live view.
        curveIntervalMs = std::max<qint64>(kCurveIntervalMs, 4 * sinceCurve.elapsed());
      }
      emit progressed(step.iteration, step.reducedChi2, curve);
    };
    FitJobControl control;
    control.cancel = &m_cancel;
    control.fitProgress = progress;
    control.stepProgress = [this](const std::string& line) {
      emit stepped(QString::fromStdString(line));
    };
    FitOutcome outcome = runFitJob(*prepared, control);
    emit finished(std::make_shared<FitOutcome>(std::move(outcome)), QString());
  } catch (const std::exception& error) {
    emit finished(nullptr, QString::fromStdString(error.what()));
  }
}
