#include "fit/sample_objective.h"

#include <span>
#include <string>

SampleObjective::SampleObjective(const SampleProblem& problem, const std::atomic<bool>* cancel)
    : m_terms(termsOf(problem, cancel)) {
  for (const auto& term : m_terms) {
    m_first.push_back(m_points.size());
    m_points.insert(m_points.end(), term->points().begin(), term->points().end());
    m_yields.insert(m_yields.end(), term->yields().begin(), term->yields().end());
  }
}

std::vector<double> SampleObjective::yieldsOf(
    const std::vector<MeasurementModel>& models,
    const std::vector<std::vector<double>>& values) const {
  std::vector<double> fitted;
  fitted.reserve(rows());
  for (std::size_t t = 0; t < m_terms.size(); ++t) {
    const std::vector<double> f = MeasurementTerm::yieldsOf(models[t].multiplier.value,
                                                            models[t].background.value, values[t]);
    fitted.insert(fitted.end(), f.begin(), f.end());
  }
  return fitted;
}

double SampleObjective::chi2Of(std::size_t t, FitStatistic statistic,
                               const std::vector<double>& fitted,
                               const std::vector<MeasuredYield>& counts) const {
  return statisticChi2(statistic, std::span(counts).subspan(m_first[t], rowCount(t)),
                       std::span(fitted).subspan(m_first[t], rowCount(t)),
                       m_terms[t]->poissonFloor());
}

double SampleObjective::chi2(const std::vector<MeasurementModel>& models,
                             const std::vector<double>& fitted) const {
  return chi2(models, fitted, m_yields);
}

double SampleObjective::chi2(const std::vector<MeasurementModel>& models,
                             const std::vector<double>& fitted,
                             const std::vector<MeasuredYield>& counts) const {
  double sum = 0.0;
  for (std::size_t t = 0; t < m_terms.size(); ++t) {
    sum += chi2Of(t, models[t].statistic, fitted, counts);
  }
  return sum;
}

void SampleObjective::residuals(const std::vector<MeasurementModel>& models,
                                const std::vector<double>& fitted, double* r) const {
  for (std::size_t t = 0; t < m_terms.size(); ++t) {
    for (std::size_t j = 0; j < rowCount(t); ++j) {
      const std::size_t row = m_first[t] + j;
      r[row] = m_terms[t]->residual(models[t].statistic, j, fitted[row]).value;
    }
  }
}

std::vector<FittedPoint> SampleObjective::fittedPoints(const std::vector<MeasurementModel>& models,
                                                       const std::vector<double>& fitted,
                                                       double equalSigma) const {
  std::vector<FittedPoint> points;
  for (std::size_t t = 0; t < m_terms.size(); ++t) {
    const auto first = fitted.begin() + static_cast<std::ptrdiff_t>(m_first[t]);
    const std::vector<FittedPoint> own = m_terms[t]->fittedPoints(
        models[t].statistic,
        std::vector<double>(first, first + static_cast<std::ptrdiff_t>(rowCount(t))), equalSigma);
    points.insert(points.end(), own.begin(), own.end());
  }
  return points;
}

std::vector<MeasurementSummary> SampleObjective::summaries(
    const std::vector<MeasurementModel>& models, const std::vector<double>& fitted,
    const std::vector<double>& ownFree, double sharedFree) const {
  std::vector<std::string> names;
  std::vector<double> chi2;
  std::vector<int> points;
  for (std::size_t t = 0; t < m_terms.size(); ++t) {
    names.push_back(m_terms[t]->measurement().name);
    chi2.push_back(chi2Of(t, models[t].statistic, fitted, m_yields));
    points.push_back(static_cast<int>(rowCount(t)));
  }
  return measurementSummaries(names, chi2, points, ownFree, sharedFree);
}
