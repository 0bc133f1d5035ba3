#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "fit/layer_fit.h"
#include "fit/parameter_layout.h"
#include "fit/sample_objective.h"

// The residual function of a layer fit over every measurement of a problem
// and its Jacobian, by the free parameters of the start model in the layout's
// order (x). The problem's objective gives the rows (each measurement's taken
// points, in the measurements' order), forward models and statistic. Profile parameters, the
// multiplier, the background and the shift have analytic derivatives; the
// broadening widths forward differences of relative step 1e-6 (about 1e-6
// relative error).
class LayerFitEvaluator {
 public:
  // Throws FitError when a measurement has no set or no collision rate,
  // FitCancelled when `cancel` stops a forward model's building.
  LayerFitEvaluator(const SampleProblem& problem, const std::atomic<bool>* cancel = nullptr);

  const SampleObjective& objective() const { return m_objective; }
  const ParameterLayout& layout() const { return m_layout; }
  // The taken points of every measurement, in row order.
  const std::vector<ExperimentalPoint>& points() const { return m_objective.points(); }
  const std::vector<std::size_t>& freeIndices() const { return m_free; }
  std::vector<std::string> freeNames() const;
  std::vector<ParameterKind> freeKinds() const;
  std::vector<double> startValues() const;

  // The start model with the free parameters set to x.
  JointModel modelAt(const std::vector<double>& x) const;
  // The fitted yield multiplier*curve + background at every row.
  std::vector<double> yieldsOf(const JointModel& model);
  // The statistic's residuals at x, one per taken point (their squares sum to
  // chi2), then one per layer that keeps its from before its to: 0 while it
  // does, (from - to)/1e-4 ug/cm2 when it does not. A layer turned inside out
  // is a narrow bump of any height (its erf edges cross), which a free
  // multiplier can scale into a false optimum; the fit never goes there.
  void residuals(const std::vector<double>& x, std::vector<double>& r);
  std::size_t rowCount() const { return m_objective.rows() + m_start.sample.layers.size(); }
  // dr/dx, row-major rows x free parameters.
  void jacobian(const std::vector<double>& x, std::vector<double>& J);

 private:
  // The collision weights of the model's profile for term t, as the sum of
  // its layers' (the weights are linear in the profile); kept for the last
  // layers asked.
  const std::vector<double>& weightsOf(const Sample& sample, std::size_t t);

  JointModel m_start;
  SampleObjective m_objective;
  ParameterLayout m_layout;
  std::vector<std::size_t> m_free;
  std::vector<LayerModel> m_weightsLayers;
  bool m_weightsValid = false;
  std::vector<std::vector<std::vector<double>>> m_layerWeights;  // per term, per layer
  std::vector<std::vector<double>> m_weights;                    // per term
};
