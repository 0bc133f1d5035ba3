#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "fit/fit_error.h"
#include "fit/fit_result.h"
#include "fit/fit_statistic.h"
#include "fit/forward_model.h"
#include "fit/measurement.h"
#include "state/depth_profile.h"

// One measurement as every estimator on a problem sees it, built once: the
// points it takes (those in the energy range that the curve covers at the
// start's energy shift and, when the shift is free, at its finite bounds:
// no point enters or leaves as the shift moves), their yields and Poisson
// floor, and
// the forward models of the shifts and widths asked for so far. A model is
// built only for a shift or widths not seen before, and then only what
// depends on them: a new shift reuses its widths' broadened set. Safe to use
// from several threads at once.
class MeasurementTerm {
 public:
  // Throws FitError when the measurement has no set or no collision rate,
  // FitCancelled when `cancel` stops a forward model's building (here or later).
  MeasurementTerm(const Measurement& measurement, const std::atomic<bool>* cancel = nullptr);

  const Measurement& measurement() const { return m_measurement; }
  // The points taken, in the measurement's order, and their places in its list.
  const std::vector<ExperimentalPoint>& points() const { return m_points; }
  const std::vector<std::size_t>& pointIndices() const { return m_indices; }
  // The measured points in the energy range, taken or not.
  std::size_t pointsInRange() const { return m_inRange; }
  const std::vector<MeasuredYield>& yields() const { return m_yields; }
  double poissonFloor() const { return m_floor; }

  // The collision weights K0..Kc of a profile, as the measurement's tilted
  // path meets it (alongPath). They are linear in it: on the
  // grid of the first profile asked for, each point's own weights are kept
  // (when they take at most 32 MB; each point's Poisson terms from its mode
  // outwards by their ratios) and a profile's are their sum weighted by its
  // values, within about 1e-15 of the weights computed anew; on any other
  // grid they are computed.
  std::vector<double> weights(const DepthProfile& profile) const;
  // The same weights as a sampler forms them at every step: from each depth
  // point's own weights, kept for the first grid asked for (at most 32 MB;
  // a building stopped by `cancel` keeps none). At normal incidence these
  // are weights() itself and share its table; along a tilted path a depth
  // point's own are the weights of a unit there, stretched.
  std::vector<double> depthWeights(const DepthProfile& profile) const;
  std::size_t entries() const { return m_measurement.set->size(); }

  // The forward model at the taken points for a model's shift and widths.
  std::shared_ptr<const ForwardModel> forward(const MeasurementModel& model) const;

  // multiplier * value + background at every taken point.
  static std::vector<double> yieldsOf(double multiplier, double background,
                                      const std::vector<double>& values);
  // The statistic's residual and its slope at each taken point.
  StatisticResidual residual(FitStatistic statistic, std::size_t j, double fitted) const;
  // The statistic summed over the taken points.
  double chi2(FitStatistic statistic, const std::vector<double>& fitted) const;
  // The taken points with their fitted yields and (y - f)/sigma; `equalSigma`
  // is the spread an "equal" fit shows.
  std::vector<FittedPoint> fittedPoints(FitStatistic statistic, const std::vector<double>& fitted,
                                        double equalSigma) const;

 private:
  ForwardModelSettings settingsOf(const MeasurementModel& model) const;
  std::shared_ptr<const ForwardModel> build(const ForwardModelSettings& settings,
                                            const std::vector<double>& energies) const;

  Measurement m_measurement;
  const std::atomic<bool>* m_cancel;
  std::vector<ExperimentalPoint> m_points;
  std::vector<std::size_t> m_indices;
  std::size_t m_inRange = 0;
  std::vector<double> m_energies;
  std::vector<MeasuredYield> m_yields;
  double m_floor = 0.0;
  mutable std::mutex m_mutex;
  mutable std::vector<std::shared_ptr<const ForwardModel>> m_models;  // most recent last
  mutable std::vector<std::shared_ptr<const BroadenedSet>> m_broadened;
  struct PointWeights {
    double step = 0.0;
    std::size_t points = 0;
    std::vector<double> weights;  // points x entries; empty when too large
  };
  mutable std::mutex m_pointWeightsMutex;
  mutable std::shared_ptr<const PointWeights> m_pointWeights;
  mutable std::mutex m_depthWeightsMutex;
  mutable std::shared_ptr<const PointWeights> m_depthWeights;  // tilted paths only
};

// The terms of every measurement of a problem, in its order.
std::vector<std::shared_ptr<const MeasurementTerm>> termsOf(const SampleProblem& problem,
                                                             const std::atomic<bool>* cancel);
