#include "fit/layer_fit_evaluator.h"

#include <optional>

#include "fit/profile_rendering.h"

namespace {

// How far a layer's from may pass its to before its residual reaches 1.
constexpr double kLayerOrderWidth = 1e-4;

// Relative step of the broadening widths' finite differences: the forward
// model holds about 1e-12 of the curve, so the derivative carries about 1e-6.
constexpr double kWidthStep = 1e-6;

}  // namespace

LayerFitEvaluator::LayerFitEvaluator(const SampleProblem& problem, const std::atomic<bool>* cancel)
    : m_start(problem.model()),
      m_objective(problem, cancel),
      m_layout(m_start, problem.measurementNames()),
      m_free(m_layout.freeIndices(m_start)) {}

std::vector<std::string> LayerFitEvaluator::freeNames() const {
  std::vector<std::string> names;
  for (std::size_t i : m_free) names.push_back(m_layout[i].name);
  return names;
}

std::vector<ParameterKind> LayerFitEvaluator::freeKinds() const {
  std::vector<ParameterKind> kinds;
  for (std::size_t i : m_free) kinds.push_back(m_layout[i].kind);
  return kinds;
}

std::vector<double> LayerFitEvaluator::startValues() const {
  std::vector<double> x;
  for (std::size_t i : m_free) x.push_back(m_layout.at(m_start, i).value);
  return x;
}

JointModel LayerFitEvaluator::modelAt(const std::vector<double>& x) const {
  JointModel model = m_start;
  for (std::size_t k = 0; k < m_free.size(); ++k) m_layout.setValue(model, m_free[k], x[k]);
  return model;
}

const std::vector<double>& LayerFitEvaluator::weightsOf(const Sample& sample, std::size_t t) {
  if (!m_weightsValid || m_weightsLayers != sample.layers) {
    m_layerWeights.assign(m_objective.size(), {});
    m_weights.assign(m_objective.size(), {});
    std::vector<DepthProfile> layers;
    for (std::size_t k = 0; k < sample.layers.size(); ++k) {
      layers.push_back(renderLayer(sample, static_cast<int>(k)));
    }
    for (std::size_t u = 0; u < m_objective.size(); ++u) {
      for (const DepthProfile& layer : layers) {
        m_layerWeights[u].push_back(m_objective.term(u).weights(layer));
        const std::vector<double>& w = m_layerWeights[u].back();
        m_weights[u].resize(w.size(), 0.0);
        for (std::size_t n = 0; n < w.size(); ++n) m_weights[u][n] += w[n];
      }
      if (sample.layers.empty()) m_weights[u] = m_objective.term(u).weights(renderProfile(sample));
    }
    m_weightsLayers = sample.layers;
    m_weightsValid = true;
  }
  return m_weights[t];
}

std::vector<double> LayerFitEvaluator::yieldsOf(const JointModel& model) {
  std::vector<std::vector<double>> values;
  for (std::size_t t = 0; t < m_objective.size(); ++t) {
    values.push_back(
        m_objective.term(t).forward(model.measurements[t])->values(weightsOf(model.sample, t)));
  }
  return m_objective.yieldsOf(model.measurements, values);
}

void LayerFitEvaluator::residuals(const std::vector<double>& x, std::vector<double>& r) {
  const JointModel model = modelAt(x);
  m_objective.residuals(model.measurements, yieldsOf(model), r.data());
  std::size_t row = m_objective.rows();
  for (const LayerModel& layer : model.sample.layers) {
    r[row++] = std::max(layer.from.value - layer.to.value, 0.0) / kLayerOrderWidth;
  }
}

void LayerFitEvaluator::jacobian(const std::vector<double>& x, std::vector<double>& J) {
  const JointModel model = modelAt(x);
  const std::size_t p = m_free.size();
  // Each layer's rendering with its derivatives, when a position or width of
  // it is free; the same for every measurement.
  std::vector<std::optional<LayerRendering>> layers(model.sample.layers.size());
  std::size_t firstRow = 0;
  for (std::size_t t = 0; t < m_objective.size(); ++t) {
    const MeasurementTerm& term = m_objective.term(t);
    const MeasurementModel& own = model.measurements[t];
    const std::shared_ptr<const ForwardModel> fm = term.forward(own);
    const std::size_t n = term.points().size();
    const double m = own.multiplier.value;
    const std::vector<double> weights = weightsOf(model.sample, t);
    const std::vector<double> values = fm->values(weights);
    std::vector<double> slope(n);
    for (std::size_t j = 0; j < n; ++j) {
      slope[j] = term.residual(own.statistic, j, m * values[j] + own.background.value).slope;
    }
    for (std::size_t k = 0; k < p; ++k) {
      const ParameterSlot& slot = m_layout[m_free[k]];
      std::vector<double> df(n, 0.0);
      if (isLayerParameter(slot.kind)) {
        const auto layer = static_cast<std::size_t>(slot.layer);
        const double c = model.sample.layers[layer].concentration.value;
        std::vector<double> dWeights;
        if (slot.kind == ParameterKind::Concentration && c != 0.0) {
          // The layer is linear in its concentration.
          dWeights = m_layerWeights[t][layer];
          for (double& w : dWeights) w /= c;
        } else {
          if (!layers[layer]) layers[layer] = renderLayerWithDerivatives(model.sample, slot.layer);
          DepthProfile derivative = layers[layer]->value;
          derivative.values = layers[layer]->by(slot.kind);
          dWeights = term.weights(derivative);
        }
        const std::vector<double> dv = fm->derivative(weights, dWeights);
        for (std::size_t j = 0; j < n; ++j) df[j] = m * dv[j];
      } else if (slot.appliesTo(static_cast<int>(t))) {
        switch (slot.kind) {
          case ParameterKind::Multiplier:
            df = values;
            break;
          case ParameterKind::Background:
            df.assign(n, 1.0);
            break;
          case ParameterKind::EnergyShift: {
            const std::vector<double> dv = fm->shiftDerivative(weights);
            for (std::size_t j = 0; j < n; ++j) df[j] = m * dv[j];
            break;
          }
          default: {
            MeasurementModel moved = own;
            double& width = slot.kind == ParameterKind::LorentzianWidth
                                ? moved.lorentzianWidth.value
                                : moved.gaussianWidth.value;
            const double h = kWidthStep * width;
            width += h;
            const std::vector<double> shifted = term.forward(moved)->values(weights);
            for (std::size_t j = 0; j < n; ++j) df[j] = m * (shifted[j] - values[j]) / h;
          }
        }
      }
      for (std::size_t j = 0; j < n; ++j) J[(firstRow + j) * p + k] = slope[j] * df[j];
    }
    firstRow += n;
  }
  for (std::size_t k = 0; k < p; ++k) {
    const ParameterSlot& slot = m_layout[m_free[k]];
    for (std::size_t l = 0; l < model.sample.layers.size(); ++l) {
      const LayerModel& layer = model.sample.layers[l];
      const bool inverted = layer.from.value > layer.to.value;
      double d = 0.0;
      if (inverted && slot.layer == static_cast<int>(l) && slot.kind == ParameterKind::From) d = 1.0;
      if (inverted && slot.layer == static_cast<int>(l) && slot.kind == ParameterKind::To) d = -1.0;
      J[(firstRow + l) * p + k] = d / kLayerOrderWidth;
    }
  }
}
