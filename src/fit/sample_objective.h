#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

#include "fit/fit_result.h"
#include "fit/fit_statistic.h"
#include "fit/measurement.h"
#include "fit/measurement_term.h"

// What every estimator of a sample problem measures a model by: each
// measurement's term, in the problem's order, with its taken points one after
// the other (the rows), the yields multiplier * curve + background at them,
// and the statistic over them, summed measurement by measurement. The layer
// fit, its intervals, the posterior and the free-form profile all ask this
// one object, so that their chi2 and per-measurement parts are the same sums.
class SampleObjective {
 public:
  // Throws FitError when a measurement has no set or no collision rate,
  // FitCancelled when `cancel` stops a forward model's building.
  explicit SampleObjective(const SampleProblem& problem, const std::atomic<bool>* cancel = nullptr);

  const std::vector<std::shared_ptr<const MeasurementTerm>>& terms() const { return m_terms; }
  const MeasurementTerm& term(std::size_t t) const { return *m_terms[t]; }
  std::size_t size() const { return m_terms.size(); }
  std::size_t rows() const { return m_points.size(); }
  std::size_t firstRow(std::size_t t) const { return m_first[t]; }
  std::size_t rowCount(std::size_t t) const { return m_terms[t]->points().size(); }
  // The taken points and their counts, in row order.
  const std::vector<ExperimentalPoint>& points() const { return m_points; }
  const std::vector<MeasuredYield>& yields() const { return m_yields; }

  // Every measurement's multiplier * values + background, in row order;
  // values[t] is measurement t's curve at its taken points.
  std::vector<double> yieldsOf(const std::vector<MeasurementModel>& models,
                               const std::vector<std::vector<double>>& values) const;
  // Measurement t's part of the statistic.
  double chi2Of(std::size_t t, FitStatistic statistic, const std::vector<double>& fitted,
                const std::vector<MeasuredYield>& counts) const;
  // The statistic over every row, of the measured counts or of others in
  // their place (a bootstrap replica's).
  double chi2(const std::vector<MeasurementModel>& models, const std::vector<double>& fitted) const;
  double chi2(const std::vector<MeasurementModel>& models, const std::vector<double>& fitted,
              const std::vector<MeasuredYield>& counts) const;
  // Each row's residual (their squares sum to chi2).
  void residuals(const std::vector<MeasurementModel>& models, const std::vector<double>& fitted,
                 double* r) const;
  // The rows with their fitted yields and (y - f)/sigma.
  std::vector<FittedPoint> fittedPoints(const std::vector<MeasurementModel>& models,
                                        const std::vector<double>& fitted, double equalSigma) const;
  // Each measurement's part: its chi2, points and share of the degrees of
  // freedom, given its own free parameters and those it shares with all.
  std::vector<MeasurementSummary> summaries(const std::vector<MeasurementModel>& models,
                                            const std::vector<double>& fitted,
                                            const std::vector<double>& ownFree,
                                            double sharedFree) const;

 private:
  std::vector<std::shared_ptr<const MeasurementTerm>> m_terms;
  std::vector<std::size_t> m_first;
  std::vector<ExperimentalPoint> m_points;
  std::vector<MeasuredYield> m_yields;
};
