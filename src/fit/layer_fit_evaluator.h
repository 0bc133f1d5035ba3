#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "fit/layer_fit.h"
#include "fit/measurement_term.h"
#include "fit/parameter_layout.h"

// The residual function of a layer fit over every measurement of a problem
// and its Jacobian, by the free parameters of the start model in the layout's
// order (x). Each measurement's term gives its points (rows, in the
// measurements' order) and forward models. Profile parameters, the
// multiplier, the background and the shift have analytic derivatives; the
// broadening widths forward differences of relative step 1e-6 (about 1e-6
// relative error).
class LayerFitEvaluator {
 public:
  // Throws FitError when a measurement has no set or no collision rate,
  // FitCancelled when `cancel` stops a forward model's building.
  LayerFitEvaluator(const SampleProblem& problem, const std::atomic<bool>* cancel = nullptr);
  // One measurement: the model's sample and constants with the problem's data.
  LayerFitEvaluator(const SampleModel& start, const FitProblem& problem,
                    const std::atomic<bool>* cancel = nullptr);

  const std::vector<std::shared_ptr<const MeasurementTerm>>& terms() const { return m_terms; }
  const ParameterLayout& layout() const { return m_layout; }
  // The taken points of every measurement, in row order.
  const std::vector<ExperimentalPoint>& points() const { return m_points; }
  const std::vector<std::size_t>& freeIndices() const { return m_free; }
  std::vector<std::string> freeNames() const;
  std::vector<ParameterKind> freeKinds() const;
  std::vector<double> startValues() const;

  // The start model with the free parameters set to x.
  JointModel modelAt(const std::vector<double>& x) const;
  // The fitted yield multiplier*curve + background at every taken point of
  // each measurement.
  std::vector<std::vector<double>> yieldsOf(const JointModel& model);
  // The statistic summed over every measurement.
  double chi2Of(const JointModel& model, const std::vector<std::vector<double>>& fitted) const;
  // The statistic's residuals at x, one per taken point (their squares sum to
  // chi2), then one per layer that keeps its from before its to: 0 while it
  // does, (from - to)/1e-4 ug/cm2 when it does not. A layer turned inside out
  // is a narrow bump of any height (its erf edges cross), which a free
  // multiplier can scale into a false optimum; the fit never goes there.
  void residuals(const std::vector<double>& x, std::vector<double>& r);
  std::size_t rowCount() const { return m_points.size() + m_start.sample.layers.size(); }
  // dr/dx, row-major rows x free parameters.
  void jacobian(const std::vector<double>& x, std::vector<double>& J);

 private:
  // The collision weights of the model's profile for term t, as the sum of
  // its layers' (the weights are linear in the profile); kept for the last
  // layers asked.
  const std::vector<double>& weightsOf(const Sample& sample, std::size_t t);

  JointModel m_start;
  std::vector<std::shared_ptr<const MeasurementTerm>> m_terms;
  ParameterLayout m_layout;
  std::vector<std::size_t> m_free;
  std::vector<ExperimentalPoint> m_points;
  std::vector<LayerModel> m_weightsLayers;
  bool m_weightsValid = false;
  std::vector<std::vector<std::vector<double>>> m_layerWeights;  // per term, per layer
  std::vector<std::vector<double>> m_weights;                    // per term
};
