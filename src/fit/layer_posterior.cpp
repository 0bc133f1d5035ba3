#include "fit/layer_posterior.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <optional>

#include "fit/fit_error.h"
#include "fit/fit_statistic.h"
#include "fit/forward_model.h"
#include "fit/layer_measures.h"
#include "fit/measurement_term.h"
#include "fit/model_check.h"
#include "fit/number_text.h"
#include "fit/parameter_layout.h"
#include "fit/profile_rendering.h"

namespace {

constexpr double kBallScale = 0.1;   // of each parameter's error
constexpr double kChainTaus = 50.0;  // autocorrelation times a kept half should span
constexpr double kMostRhat = 1.01;   // what split R-hat has to stay below

// Whether item n of `total` is one of `wanted` picked evenly among them (all
// of them when there are no more than wanted).
bool evenlyPicked(std::size_t n, std::size_t wanted, std::size_t total) {
  return total <= wanted || n * wanted / total != (n + 1) * wanted / total;
}
// Above this many numbers (32 MB) the grid points' weights are not kept.
constexpr std::size_t kMostKeptWeights = std::size_t{1} << 22;

// -chi2/2 of a model whose free parameters take the values x, summed over
// every measurement's term. A term builds a forward model only for a shift
// or widths it has not seen (when they are free).
// The collision weights are linear in the profile, so on grids of moderate
// size the weights of every grid point are kept and a sample's weights are
// their sum over its nonzero points: the same weights to about 1e-13 of their
// size (another order of summation), several times faster than forming them
// anew, which is what the chain's tens of thousands of samples spend most on.
// Every building step stops when `cancel` is set; a likelihood built or
// evaluated after that says so and gives nothing to use.
class LayerLikelihood {
 public:
  LayerLikelihood(const SampleProblem& optimum, const std::atomic<bool>* cancel)
      : m_model(optimum.model()),
        m_layout(m_model, optimum.measurementNames()),
        m_free(m_layout.freeIndices(m_model)),
        m_cancel(cancel) {
    try {
      m_terms = termsOf(optimum, cancel);
    } catch (const FitCancelled&) {
      return;
    }
    m_pointWeights.resize(m_terms.size());
    for (std::size_t t = 0; t < m_terms.size() && !cancelled(); ++t) keepPointWeights(t);
  }

  const std::vector<std::size_t>& free() const { return m_free; }
  const ParameterLayout& layout() const { return m_layout; }
  bool cancelled() const { return m_cancel != nullptr && m_cancel->load(); }

  // The model at x, or nothing when x lies outside the bounds or makes no
  // sample (a layer turned inside out, a negative width).
  std::optional<JointModel> modelAt(const std::vector<double>& x) const {
    JointModel model = m_model;
    for (std::size_t k = 0; k < m_free.size(); ++k) m_layout.setValue(model, m_free[k], x[k]);
    if (modelFault(model, m_layout)) return std::nullopt;
    return model;
  }

  double operator()(const std::vector<double>& x) const {
    const std::optional<JointModel> model = modelAt(x);
    if (!model) return -std::numeric_limits<double>::infinity();
    const DepthProfile profile = renderProfile(model->sample);
    double chi2 = 0.0;
    for (std::size_t t = 0; t < m_terms.size(); ++t) {
      const MeasurementModel& own = model->measurements[t];
      std::shared_ptr<const ForwardModel> forward;
      try {
        forward = m_terms[t]->forward(own);
      } catch (const FitCancelled&) {
        return -std::numeric_limits<double>::infinity();
      }
      const std::vector<double> values = forward->values(weightsOf(profile, t));
      chi2 += m_terms[t]->chi2(
          own.statistic,
          MeasurementTerm::yieldsOf(own.multiplier.value, own.background.value, values));
    }
    return std::isfinite(chi2) ? -0.5 * chi2 : -std::numeric_limits<double>::infinity();
  }

 private:
  void keepPointWeights(std::size_t t) {
    const MeasurementTerm& term = *m_terms[t];
    const DepthProfile grid = renderProfile(m_model.sample);
    const std::size_t points = grid.values.size();
    const std::size_t entries = term.entries();
    if (points * entries > kMostKeptWeights) return;
    std::vector<double>& kept = m_pointWeights[t];
    kept.assign(points * entries, 0.0);
    DepthProfile unit = grid;
    std::fill(unit.values.begin(), unit.values.end(), 0.0);
    for (std::size_t i = 0; i < points; ++i) {
      if (cancelled()) {
        kept.clear();
        return;
      }
      unit.values[i] = 1.0;
      const std::vector<double> w = term.weights(unit);
      std::copy(w.begin(), w.end(), kept.begin() + i * entries);
      unit.values[i] = 0.0;
    }
  }

  std::vector<double> weightsOf(const DepthProfile& profile, std::size_t t) const {
    const std::vector<double>& kept = m_pointWeights[t];
    if (kept.empty()) return m_terms[t]->weights(profile);
    const std::size_t entries = m_terms[t]->entries();
    std::vector<double> weights(entries, 0.0);
    for (std::size_t i = 0; i < profile.values.size(); ++i) {
      const double c = profile.values[i];
      if (c == 0.0) continue;
      const double* w = kept.data() + i * entries;
      for (std::size_t n = 0; n < entries; ++n) weights[n] += c * w[n];
    }
    return weights;
  }

  JointModel m_model;
  ParameterLayout m_layout;
  std::vector<std::size_t> m_free;
  const std::atomic<bool>* m_cancel;
  std::vector<std::shared_ptr<const MeasurementTerm>> m_terms;
  // Per term, point-major: the weights of a unit at each grid point.
  std::vector<std::vector<double>> m_pointWeights;
};

// Why the chains cannot be trusted yet: the quantity whose chain is shortest
// for its autocorrelation time, and the one whose ensembles disagree most.
std::string notConvergedWarning(const LayerPosterior& posterior, const ConvergedSampling& run) {
  const EnsembleChain& chain = run.chains.front();
  const double keptSteps = static_cast<double>(chain.stored() - run.first) * chain.thin;
  const PosteriorInterval* slowest = nullptr;
  const PosteriorInterval* apart = nullptr;
  for (const PosteriorInterval& p : posterior.intervals) {
    const bool tooShort = std::isnan(p.tau) || p.tau * kChainTaus >= keptSteps;
    if (tooShort &&
        (!slowest || std::isnan(p.tau) || (!std::isnan(slowest->tau) && p.tau > slowest->tau))) {
      slowest = &p;
    }
    if (!(p.rhat < kMostRhat) && (!apart || !(p.rhat <= apart->rhat))) apart = &p;
  }
  std::string text = "The posterior has not converged in " + std::to_string(posterior.steps) +
                     " steps per walker" +
                     (posterior.untilConverged ? " (the most auto takes)" : "") + ":";
  if (slowest && std::isnan(slowest->tau)) {
    text += " " + slowest->name + " does not vary in the kept half of the chains;";
  } else if (slowest) {
    text += " " + slowest->name + " has an autocorrelation time of about " +
            significantText(slowest->tau, 3) +
            " steps, and the kept half of the chains spans fewer than " +
            significantText(kChainTaus, 3) + " of them;";
  }
  if (apart && std::isnan(apart->rhat)) {
    text += " the ensembles cannot be compared on " + apart->name + " (no split R-hat);";
  } else if (apart) {
    text += " the ensembles disagree on " + apart->name + " (split R-hat " +
            significantText(apart->rhat, 3) + ", not below " + significantText(kMostRhat, 3) + ");";
  }
  text.back() = '.';
  return text + " Its percentiles are rough." +
         (posterior.untilConverged ? "" : " Sample more steps, or use auto.");
}

}  // namespace

LayerPosterior sampleLayerPosterior(const FitResult& fit, const FitProblem& problem,
                                    const PosteriorSettings& settings, std::mt19937_64& generator,
                                    const SamplerControl& control) {
  return samplePosterior(fit, sampleProblemOf(fit.model, problem), settings, generator, control);
}

LayerPosterior samplePosterior(const FitResult& fit, const SampleProblem& problemAtOptimum,
                               const PosteriorSettings& settings, std::mt19937_64& generator,
                               const SamplerControl& control) {
  LayerPosterior cancelled;
  cancelled.cancelled = true;
  const LayerLikelihood likelihood(problemAtOptimum, control.cancel);
  if (likelihood.cancelled()) return cancelled;
  const std::size_t dimension = likelihood.free().size();
  if (dimension == 0) throw FitError("The model has no free parameter to sample.");
  if (settings.steps != 0 && settings.steps < 2) {
    throw FitError("The sampler needs at least 2 steps.");
  }

  // The optimum and the ball's size in every free direction.
  std::vector<double> optimum(dimension);
  std::vector<double> spread(dimension);
  for (std::size_t k = 0; k < dimension; ++k) {
    const EstimatedValue& p = fit.parameters[likelihood.free()[k]];
    optimum[k] = p.value;
    spread[k] = kBallScale *
                (p.error && *p.error > 0.0 ? *p.error : 1e-3 * std::max(std::fabs(p.value), 1e-3));
  }
  const double atOptimum = likelihood(optimum);
  if (likelihood.cancelled()) return cancelled;
  if (!std::isfinite(atOptimum)) {
    throw FitError("The fitted model lies where the posterior is 0: it cannot be sampled.");
  }
  int walkers =
      settings.walkers > 0 ? settings.walkers : std::max(16, 4 * static_cast<int>(dimension));
  walkers = std::max(walkers + walkers % 2, 2 * static_cast<int>(dimension));
  // Every ensemble's ball drawn in turn from the one generator.
  std::vector<std::vector<std::vector<double>>> starts(std::max(settings.ensembles, 2));
  std::normal_distribution<double> normal;
  for (auto& start : starts) {
    for (int w = 0; w < walkers; ++w) {
      if (likelihood.cancelled()) return cancelled;
      std::vector<double> x(dimension);
      bool inside = false;
      for (int attempt = 0; attempt < 100 && !inside; ++attempt) {
        for (std::size_t k = 0; k < dimension; ++k) {
          x[k] = optimum[k] + spread[k] * normal(generator);
        }
        inside = std::isfinite(likelihood(x));
      }
      // Against a bound the ball is squeezed to the optimum's side.
      for (int attempt = 0; !inside && attempt < 30; ++attempt) {
        for (std::size_t k = 0; k < dimension; ++k) x[k] = 0.5 * (x[k] + optimum[k]);
        inside = std::isfinite(likelihood(x));
      }
      start.push_back(inside ? x : optimum);
    }
  }

  const std::size_t layers = fit.model.layers.size();
  const LogDensity density = [&likelihood](const std::vector<double>& x) { return likelihood(x); };
  // Every layer's amount, centroid and thickness beside each stored position.
  const Observables derived = [&likelihood, layers](const std::vector<double>& x) {
    std::vector<double> values(3 * layers, std::numeric_limits<double>::quiet_NaN());
    const std::optional<JointModel> model = likelihood.modelAt(x);
    for (std::size_t k = 0; model && k < layers; ++k) {
      const ProfileMeasures m = profileMeasures(renderLayer(model->sample, static_cast<int>(k)));
      const LayerModel& layer = model->sample.layers[k];
      values[3 * k] = m.amount;
      values[3 * k + 1] = m.centroid;
      values[3 * k + 2] = layer.to.value - layer.from.value;
    }
    return values;
  };
  ConvergenceSettings rule;
  rule.steps = settings.steps;
  rule.mostSteps = settings.mostSteps;
  rule.mostStored = settings.mostStored;
  rule.chainTaus = kChainTaus;
  rule.mostRhat = kMostRhat;
  const ConvergedSampling run =
      sampleUntilConverged(density, derived, starts, generator, rule, control);
  LayerPosterior posterior;
  // Sampled around the fit: its match to the data is the fit's.
  static_cast<EstimateSummary&>(posterior) = fit;
  posterior.warnings.clear();
  posterior.walkers = walkers;
  posterior.ensembles = static_cast<int>(starts.size());
  posterior.untilConverged = settings.steps == 0;
  posterior.steps = run.steps;
  posterior.acceptance = run.acceptance;
  posterior.optimumChi2 = -2.0 * atOptimum;
  if (run.cancelled) {
    posterior.cancelled = true;
    return posterior;
  }
  posterior.converged = run.converged;

  // Every kept sample of every ensemble: ensemble, then stored step, then walker.
  const int first = run.first;
  const std::size_t perChain =
      static_cast<std::size_t>(run.chains.front().stored() - first) * walkers;
  const std::size_t kept = perChain * run.chains.size();
  const auto sample = [&](std::size_t index) {
    const EnsembleChain& chain = run.chains[index / perChain];
    const std::size_t within = index % perChain;
    return chain.at(first + static_cast<int>(within / walkers), static_cast<int>(within % walkers));
  };
  std::vector<std::string> names;
  for (const std::size_t index : likelihood.free())
    names.push_back(likelihood.layout()[index].name);
  for (std::size_t k = 0; k < layers; ++k) {
    for (const char* quantity : {".amount", ".centroid", ".thickness"}) {
      names.push_back("layer" + std::to_string(k + 1) + quantity);
    }
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::vector<double> values;
    values.reserve(kept);
    for (std::size_t n = 0; n < kept; ++n) {
      const double value = sample(n)[i];
      if (std::isfinite(value)) values.push_back(value);  // no centroid without an amount
    }
    posterior.intervals.push_back({names[i], percentile(values, 0.16), percentile(values, 0.5),
                                   percentile(values, 0.84), run.tau[i], run.rhat[i]});
    posterior.tau = std::isnan(run.tau[i]) ? posterior.tau : std::max(posterior.tau, run.tau[i]);
  }
  if (!run.converged) {
    posterior.warnings.push_back(notConvergedWarning(posterior, run));
  }

  // The band over evenly thinned kept samples. It holds every sample's
  // profile; on a very fine grid it takes fewer of them, evenly thinned, so
  // that it stays within a fixed size.
  const std::size_t samples = std::min<std::size_t>(kept, std::max(settings.mostSamples, 1));
  const std::size_t points = std::max<std::size_t>(fit.profile.values.size(), 1);
  const std::size_t bandSamples =
      std::min(samples, std::max<std::size_t>(kBandMembers, settings.mostBandBytes / (points * 8)));
  if (bandSamples < samples) {
    posterior.warnings.push_back(
        "The profile's band is drawn from " + std::to_string(bandSamples) + " of the " +
        std::to_string(samples) + " kept samples: more profiles of " + std::to_string(points) +
        " points would not fit in " + std::to_string(settings.mostBandBytes >> 20) +
        " MiB. A coarser step gives a smoother band.");
  }
  std::vector<DepthProfile> profiles;
  profiles.reserve(bandSamples);
  for (std::size_t n = 0; n < samples; ++n) {
    const double* at = sample(n * kept / samples);
    const bool inBand = evenlyPicked(n, bandSamples, samples);
    const bool member = evenlyPicked(n, kBandMembers, samples);
    if (!inBand && !member) continue;
    const JointModel model = *likelihood.modelAt(std::vector<double>(at, at + dimension));
    if (inBand) profiles.push_back(renderProfile(model.sample));
    if (member) posterior.bandMembers.push_back(sampleModelOf(model));
  }
  posterior.band = profileBand(profiles);
  return posterior;
}
