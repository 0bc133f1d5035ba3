#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "fit/fit_statistic.h"
#include "fit/forward_model.h"
#include "fit/layer_fit.h"
#include "fit/sample_model.h"

// Building a forward model was cancelled through the evaluator's flag.
struct FitCancelled {};

// The measured points inside the model's energy range (all without one).
std::vector<ExperimentalPoint> pointsInRange(const SampleModel& model, const FitProblem& problem);

// The residual function of a layer fit and its Jacobian, by the free
// parameters of the start model in namedParameters order (x). The used points
// are those in the energy range that the start model's curve covers; they stay
// the same during a fit, and a point that the shift moves off the curve sees
// a curve value of 0. The forward model is rebuilt only when the shift or a
// broadening width changes. Profile parameters, the multiplier, the
// background and the shift have analytic derivatives; the broadening widths
// forward differences of relative step 1e-6 (about 1e-6 relative error).
class LayerFitEvaluator {
 public:
  // Throws FitError when the problem has no set or no collision rate,
  // FitCancelled when `cancel` stops a forward model's building.
  LayerFitEvaluator(const SampleModel& start, const FitProblem& problem,
                    const std::atomic<bool>* cancel = nullptr);

  const std::vector<ExperimentalPoint>& points() const { return m_points; }
  const std::vector<MeasuredYield>& yields() const { return m_yields; }
  const std::vector<int>& freeIndices() const { return m_free; }
  const std::vector<std::string>& freeNames() const { return m_freeNames; }
  std::vector<double> startValues() const;
  double poissonFloor() const { return m_floor; }

  // The start model with the free parameters set to x.
  SampleModel modelAt(const std::vector<double>& x) const;
  // The fitted yield multiplier*curve + background at every used point.
  std::vector<double> yieldOf(const SampleModel& model);
  // The statistic's residuals at x (one per used point); their squares sum to chi2.
  void residuals(const std::vector<double>& x, std::vector<double>& r);
  // dr/dx, row-major points x free parameters.
  void jacobian(const std::vector<double>& x, std::vector<double>& J);

 private:
  ForwardModel build(const ForwardModelSettings& settings, const std::vector<double>& energies);
  const ForwardModel& modelFor(const ForwardModelSettings& settings,
                               const std::vector<double>& energies);
  const ForwardModel& current(const SampleModel& model);
  // The collision weights of the model's profile, as the sum of its layers'
  // (the weights are linear in the profile); kept for the last layers asked.
  const std::vector<double>& weightsOf(const SampleModel& model);

  SampleModel m_start;
  FitProblem m_problem;
  const std::atomic<bool>* m_cancel;
  std::vector<ExperimentalPoint> m_points;
  std::vector<MeasuredYield> m_yields;
  std::vector<double> m_energies;
  std::vector<int> m_free;
  std::vector<std::string> m_freeNames;
  double m_floor = 0.0;
  std::optional<ForwardModel> m_cached;
  bool m_weightsValid = false;
  std::vector<LayerModel> m_weightsLayers;
  std::vector<std::vector<double>> m_layerWeights;
  std::vector<double> m_weights;
};
