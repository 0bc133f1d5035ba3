#include "app/fit_worker.h"

#include <QElapsedTimer>
#include <exception>

void FitWorker::run(std::shared_ptr<const PreparedFit> prepared) {
  try {
    QElapsedTimer sinceCurve;
    const auto progress = [&](const FitProgress& step) {
      std::shared_ptr<const ChartSeries> curve;
      if (step.model && (!sinceCurve.isValid() || sinceCurve.elapsed() >= kCurveIntervalMs)) {
        curve = std::make_shared<const ChartSeries>(fitCurveSeries(*prepared, *step.model));
        sinceCurve.start();
      }
      emit progressed(step.iteration, step.reducedChi2, curve);
    };
    FitResult result = runFit(*prepared, &m_cancel, progress);
    emit finished(std::make_shared<FitResult>(std::move(result)), QString());
  } catch (const std::exception& error) {
    emit finished(nullptr, QString::fromStdString(error.what()));
  }
}
