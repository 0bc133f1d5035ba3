#include "fit/layer_fit_evaluator.h"

#include <cmath>

#include "fit/fit_error.h"
#include "fit/profile_rendering.h"

namespace {

// Relative step of the broadening widths' finite differences: the forward
// model holds about 1e-12 of the curve, so the derivative carries about 1e-6.
constexpr double kWidthStep = 1e-6;

enum GlobalParameter { kMultiplier, kBackground, kEnergyShift, kLorentzianWidth, kGaussianWidth };

bool sameSettings(const ForwardModelSettings& a, const ForwardModelSettings& b) {
  return a.convolve == b.convolve && a.lorentzianWidthEv == b.lorentzianWidthEv &&
         a.gaussianWidthEv == b.gaussianWidthEv && a.energyShiftKev == b.energyShiftKev;
}

}  // namespace

std::vector<ExperimentalPoint> pointsInRange(const SampleModel& model, const FitProblem& problem) {
  std::vector<ExperimentalPoint> points;
  for (const ExperimentalPoint& p : problem.points) {
    const double e = p.energy;
    if (model.energyRange && (e < model.energyRange->first || e > model.energyRange->second)) {
      continue;
    }
    points.push_back(p);
  }
  return points;
}

LayerFitEvaluator::LayerFitEvaluator(const SampleModel& start, const FitProblem& problem,
                                     const std::atomic<bool>* cancel)
    : m_start(start), m_problem(problem), m_cancel(cancel) {
  if (problem.set == nullptr || problem.set->size() < 2) {
    throw FitError("There are no autoconvolutions to fit with: calculate or load them first.");
  }
  if (!(problem.collisionRate > 0.0) || !std::isfinite(problem.collisionRate)) {
    throw FitError("The collision rate must be a positive number.");
  }
  // Points outside the curve at the start are left out; the set used stays
  // fixed during the fit, and a point the shift moves off the curve sees 0.
  const std::vector<ExperimentalPoint> inRange = pointsInRange(start, problem);
  std::vector<double> energies;
  for (const ExperimentalPoint& p : inRange) energies.push_back(p.energy);
  const ForwardModel& all = modelFor(forwardModelSettings(start, problem), energies);
  std::vector<double> used;
  for (std::size_t j = 0; j < inRange.size(); ++j) {
    if (!all.covers(j)) continue;
    m_points.push_back(inRange[j]);
    m_yields.push_back({inRange[j].yield, inRange[j].error});
    used.push_back(energies[j]);
  }
  // The model built for the range serves when every point in it is used.
  if (used.size() != energies.size()) m_cached.reset();
  m_energies = std::move(used);
  m_floor = poissonYieldFloor(m_yields);

  SampleModel copy = start;
  const std::vector<NamedParameter> named = namedParameters(copy);
  for (std::size_t i = 0; i < named.size(); ++i) {
    if (named[i].parameter->free) {
      m_free.push_back(static_cast<int>(i));
      m_freeNames.push_back(named[i].name);
    }
  }
}

std::vector<double> LayerFitEvaluator::startValues() const {
  SampleModel copy = m_start;
  const std::vector<NamedParameter> named = namedParameters(copy);
  std::vector<double> x;
  for (int index : m_free) x.push_back(named[index].parameter->value);
  return x;
}

SampleModel LayerFitEvaluator::modelAt(const std::vector<double>& x) const {
  SampleModel model = m_start;
  const std::vector<NamedParameter> named = namedParameters(model);
  for (std::size_t k = 0; k < m_free.size(); ++k) named[m_free[k]].parameter->value = x[k];
  return model;
}

const std::vector<double>& LayerFitEvaluator::weightsOf(const SampleModel& model) {
  if (!m_weightsValid || m_weightsLayers != model.layers) {
    const ForwardModel& fm = current(model);
    m_layerWeights.clear();
    m_weights.clear();
    for (std::size_t k = 0; k < model.layers.size(); ++k) {
      m_layerWeights.push_back(fm.weights(renderLayer(model, static_cast<int>(k))));
      const std::vector<double>& w = m_layerWeights.back();
      m_weights.resize(w.size(), 0.0);
      for (std::size_t n = 0; n < w.size(); ++n) m_weights[n] += w[n];
    }
    if (model.layers.empty()) {
      m_weights = fm.weights(renderProfile(model));
    }
    m_weightsLayers = model.layers;
    m_weightsValid = true;
  }
  return m_weights;
}

std::vector<double> LayerFitEvaluator::yieldOf(const SampleModel& model) {
  const std::vector<double>& weights = weightsOf(model);
  const std::vector<double> values = current(model).values(weights);
  std::vector<double> f(values.size());
  for (std::size_t j = 0; j < f.size(); ++j) {
    f[j] = model.multiplier.value * values[j] + model.background.value;
  }
  return f;
}

void LayerFitEvaluator::residuals(const std::vector<double>& x, std::vector<double>& r) {
  const std::vector<double> f = yieldOf(modelAt(x));
  for (std::size_t j = 0; j < f.size(); ++j) {
    r[j] = statisticResidual(m_start.statistic, m_yields[j], f[j], m_floor).value;
  }
}

void LayerFitEvaluator::jacobian(const std::vector<double>& x, std::vector<double>& J) {
  const SampleModel model = modelAt(x);
  const ForwardModel& fm = current(model);
  const std::size_t n = m_energies.size();
  const std::size_t p = m_free.size();
  const double m = model.multiplier.value;

  const std::vector<double> weights = weightsOf(model);
  const std::vector<double> values = fm.values(weights);
  std::vector<std::optional<LayerRendering>> layers(model.layers.size());

  std::vector<double> slope(n);
  for (std::size_t j = 0; j < n; ++j) {
    const double f = m * values[j] + model.background.value;
    slope[j] = statisticResidual(m_start.statistic, m_yields[j], f, m_floor).slope;
  }
  const int layerParameters = static_cast<int>(model.layers.size()) * kLayerParameterCount;
  for (std::size_t k = 0; k < p; ++k) {
    const int index = m_free[k];
    std::vector<double> df(n);
    if (index < layerParameters) {
      const int k = index / kLayerParameterCount;
      const int q = index % kLayerParameterCount;
      const double c = model.layers[k].concentration.value;
      std::vector<double> dWeights;
      if (q == kConcentration && c != 0.0) {
        // The layer is linear in its concentration.
        dWeights = m_layerWeights[k];
        for (double& w : dWeights) w /= c;
      } else {
        if (!layers[k]) layers[k] = renderLayerWithDerivatives(model, k);
        DepthProfile derivative = layers[k]->value;
        derivative.values = layers[k]->derivative[q];
        dWeights = fm.weights(derivative);
      }
      const std::vector<double> dv = fm.derivative(weights, dWeights);
      for (std::size_t j = 0; j < n; ++j) df[j] = m * dv[j];
    } else {
      switch (index - layerParameters) {
        case kMultiplier:
          df = values;
          break;
        case kBackground:
          df.assign(n, 1.0);
          break;
        case kEnergyShift: {
          const std::vector<double> dv = fm.shiftDerivative(weights);
          for (std::size_t j = 0; j < n; ++j) df[j] = m * dv[j];
          break;
        }
        default: {
          ForwardModelSettings s = fm.settings();
          double& width =
              index - layerParameters == kLorentzianWidth ? s.lorentzianWidthEv : s.gaussianWidthEv;
          const double h = kWidthStep * width;
          width += h;
          const ForwardModel moved = build(s, m_energies);
          const std::vector<double> shifted = moved.values(weights);
          for (std::size_t j = 0; j < n; ++j) df[j] = m * (shifted[j] - values[j]) / h;
        }
      }
    }
    for (std::size_t j = 0; j < n; ++j) J[j * p + k] = slope[j] * df[j];
  }
}

ForwardModel LayerFitEvaluator::build(const ForwardModelSettings& settings,
                                      const std::vector<double>& energies) {
  ForwardModel fm(*m_problem.set, settings, energies, m_cancel);
  if (fm.cancelled()) throw FitCancelled{};
  return fm;
}

const ForwardModel& LayerFitEvaluator::modelFor(const ForwardModelSettings& settings,
                                                const std::vector<double>& energies) {
  if (!m_cached || !sameSettings(m_cached->settings(), settings)) {
    m_cached.reset();
    m_cached.emplace(build(settings, energies));
  }
  return *m_cached;
}

const ForwardModel& LayerFitEvaluator::current(const SampleModel& model) {
  return modelFor(forwardModelSettings(model, m_problem), m_energies);
}
