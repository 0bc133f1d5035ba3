#include "fit/layer_posterior.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>

#include "fit/fit_error.h"
#include "fit/fit_statistic.h"
#include "fit/forward_model.h"
#include "fit/layer_measures.h"
#include "fit/measurement_term.h"
#include "fit/model_check.h"
#include "fit/number_text.h"
#include "fit/parameter_layout.h"
#include "fit/posterior_solutions.h"
#include "fit/profile_rendering.h"
#include "fit/sample_objective.h"
#include "fit/sampling_coordinates.h"

namespace {

constexpr double kBallScale = 0.1;   // of each parameter's error
constexpr double kChainTaus = 50.0;  // autocorrelation times a kept half should span
constexpr double kMostRhat = 1.01;   // what split R-hat has to stay below
constexpr double kBarrierChi2 = 2.0;  // a dip parting two optima
constexpr int kBarrierSteps = 16;     // points looked at between them, less one

// Whether item n of `total` is one of `wanted` picked evenly among them (all
// of them when there are no more than wanted).
bool evenlyPicked(std::size_t n, std::size_t wanted, std::size_t total) {
  return total <= wanted || n * wanted / total != (n + 1) * wanted / total;
}

// -chi2/2 of a model whose free parameters take the values x: the problem's
// objective. A term builds a forward model only for a shift or widths it has
// not seen (when they are free). The collision weights are linear in the
// profile, so each term keeps the weights of every grid point (on grids of
// moderate size) and a sample's weights are their sum over its nonzero
// points: the same weights to about 1e-13 of their size (another order of
// summation), several times faster than forming them anew, which is what the
// chain's tens of thousands of samples spend most on. Every building step
// stops when `cancel` is set; a likelihood built or evaluated after that says
// so and gives nothing to use.
class LayerLikelihood {
 public:
  LayerLikelihood(const SampleProblem& optimum, const std::atomic<bool>* cancel)
      : m_model(optimum.model()),
        m_layout(m_model, optimum.measurementNames()),
        m_free(m_layout.freeIndices(m_model)),
        m_order(m_model.sample.layers.size()),
        m_cancel(cancel) {
    std::iota(m_order.begin(), m_order.end(), std::size_t{0});
    std::stable_sort(m_order.begin(), m_order.end(), [this](std::size_t a, std::size_t b) {
      return m_model.sample.layers[a].from.value < m_model.sample.layers[b].from.value;
    });
    try {
      m_objective.emplace(optimum, cancel);
    } catch (const FitCancelled&) {
      return;
    }
    const DepthProfile grid = renderProfile(m_model.sample);
    for (std::size_t t = 0; t < m_objective->size() && !cancelled(); ++t) {
      m_objective->term(t).depthWeights(grid);
    }
  }

  const std::vector<std::size_t>& free() const { return m_free; }

  // Whether the layers lie in the depth order they hold at the optimum (from
  // the surface, unless a fit left them otherwise): a sample never swaps two
  // layers' roles, and names with them.
  bool keepsOrder(const Sample& sample) const {
    for (std::size_t k = 1; k < m_order.size(); ++k) {
      if (sample.layers[m_order[k]].from.value < sample.layers[m_order[k - 1]].from.value) {
        return false;
      }
    }
    return true;
  }
  const ParameterLayout& layout() const { return m_layout; }
  bool cancelled() const { return m_cancel != nullptr && m_cancel->load(); }

  // The model at x, or nothing when x lies outside the bounds or makes no
  // sample (a layer turned inside out, a negative width, layers out of their order).
  std::optional<JointModel> modelAt(const std::vector<double>& x) const {
    JointModel model = m_model;
    for (std::size_t k = 0; k < m_free.size(); ++k) m_layout.setValue(model, m_free[k], x[k]);
    if (modelFault(model, m_layout) || !keepsOrder(model.sample)) return std::nullopt;
    return model;
  }

  double operator()(const std::vector<double>& x) const {
    const std::optional<JointModel> model = modelAt(x);
    if (!model) return -std::numeric_limits<double>::infinity();
    const DepthProfile profile = renderProfile(model->sample);
    std::vector<std::vector<double>> values;
    for (std::size_t t = 0; t < m_objective->size(); ++t) {
      const MeasurementTerm& term = m_objective->term(t);
      std::shared_ptr<const ForwardModel> forward;
      try {
        forward = term.forward(model->measurements[t]);
      } catch (const FitCancelled&) {
        return -std::numeric_limits<double>::infinity();
      }
      values.push_back(forward->values(term.depthWeights(profile)));
    }
    const double chi2 =
        m_objective->chi2(model->measurements, m_objective->yieldsOf(model->measurements, values));
    return std::isfinite(chi2) ? -0.5 * chi2 : -std::numeric_limits<double>::infinity();
  }

 private:
  JointModel m_model;
  ParameterLayout m_layout;
  std::vector<std::size_t> m_free;
  std::vector<std::size_t> m_order;  // the layers from the surface, at the optimum
  const std::atomic<bool>* m_cancel;
  std::optional<SampleObjective> m_objective;
};

// Whether the posterior dips between the parameters a and b: somewhere on
// the straight line between them in the sampling coordinates chi2 lies more
// than kBarrierChi2 above the worse end's, or the line leaves the model.
bool dipBetween(const LayerLikelihood& likelihood, const SamplingCoordinates& coordinates,
                const std::vector<double>& a, const std::vector<double>& b) {
  const std::vector<double> ya = coordinates.toSampling(a);
  const std::vector<double> yb = coordinates.toSampling(b);
  const double floor = std::min(likelihood(a), likelihood(b)) - 0.5 * kBarrierChi2;
  std::vector<double> y(ya.size());
  for (int step = 1; step < kBarrierSteps && !likelihood.cancelled(); ++step) {
    const double t = static_cast<double>(step) / kBarrierSteps;
    for (std::size_t k = 0; k < y.size(); ++k) y[k] = ya[k] + t * (yb[k] - ya[k]);
    if (!(likelihood(coordinates.toParameters(y)) >= floor)) return true;
  }
  return false;
}

// The 16th, 50th and 84th percentiles of value(n) over the samples n given,
// the finite values only (no centroid without an amount).
template <typename Value>
PosteriorInterval percentilesOf(const std::string& name, const std::vector<std::size_t>& samples,
                                Value&& value) {
  std::vector<double> values;
  values.reserve(samples.size());
  for (const std::size_t n : samples) {
    const double v = value(n);
    if (std::isfinite(v)) values.push_back(v);
  }
  return {name, percentile(values, 0.16), percentile(values, 0.5), percentile(values, 0.84)};
}

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
  // The walkers move in coordinates where the data's degeneracies are
  // straight; the parameters and what they make are stored beside them.
  const JointModel atFit = *likelihood.modelAt(optimum);
  const SamplingCoordinates coordinates(likelihood.layout(), likelihood.free(), atFit);
  // The optima walkers start around: the fit's, then each other one the fit
  // found that a dip in the density parts from those taken before it (two
  // ends of one flat valley are one solution).
  std::vector<std::vector<double>> centres{optimum};
  std::vector<double> weights{1.0};
  for (const FitResult::OtherOptimum& other : fit.otherOptima) {
    if (other.free.size() != dimension || !std::isfinite(likelihood(other.free))) continue;
    const bool apart = std::all_of(centres.begin(), centres.end(), [&](const auto& centre) {
      return dipBetween(likelihood, coordinates, centre, other.free);
    });
    if (likelihood.cancelled()) return cancelled;
    if (!apart) continue;
    centres.push_back(other.free);
    weights.push_back(std::exp(-0.5 * std::max(other.chi2 - fit.chi2, 0.0)));
  }
  const std::vector<std::size_t> centreOf = startingCentres(weights, walkers / 2);
  // Every ensemble's balls drawn in turn from the one generator.
  std::vector<std::vector<std::vector<double>>> starts(std::max(settings.ensembles, 2));
  std::normal_distribution<double> normal;
  for (auto& start : starts) {
    for (int w = 0; w < walkers; ++w) {
      if (likelihood.cancelled()) return cancelled;
      // Both halves hold the same share of every optimum's walkers.
      const std::vector<double>& centre = centres[centreOf[static_cast<std::size_t>(w % (walkers / 2))]];
      std::vector<double> x(dimension);
      bool inside = false;
      for (int attempt = 0; attempt < 100 && !inside; ++attempt) {
        for (std::size_t k = 0; k < dimension; ++k) {
          x[k] = centre[k] + spread[k] * normal(generator);
        }
        inside = std::isfinite(likelihood(x));
      }
      // Against a bound the ball is squeezed to the optimum's side.
      for (int attempt = 0; !inside && attempt < 30; ++attempt) {
        for (std::size_t k = 0; k < dimension; ++k) x[k] = 0.5 * (x[k] + centre[k]);
        inside = std::isfinite(likelihood(x));
      }
      start.push_back(coordinates.toSampling(inside ? x : centre));
    }
  }

  const LogDensity density = [&likelihood, &coordinates](const std::vector<double>& y) {
    const double value = likelihood(coordinates.toParameters(y));
    return std::isfinite(value) ? value + coordinates.logJacobian(y)
                                : -std::numeric_limits<double>::infinity();
  };
  // The free parameters, then every layer's derived quantities, beside each
  // stored position.
  const Observables derived = [&likelihood, &coordinates](const std::vector<double>& y) {
    const std::vector<DerivedSlot>& slots = likelihood.layout().derived();
    const std::vector<double> x = coordinates.toParameters(y);
    std::vector<double> values = x;
    const std::size_t parameters = values.size();
    values.resize(parameters + slots.size(), std::numeric_limits<double>::quiet_NaN());
    const std::optional<JointModel> model = likelihood.modelAt(x);
    if (!model) return values;
    std::vector<std::array<double, kDerivedKindCount>> layers;
    for (std::size_t k = 0; k < model->sample.layers.size(); ++k) {
      layers.push_back(layerValues(model->sample, static_cast<int>(k)));
    }
    for (std::size_t i = 0; i < slots.size(); ++i) {
      values[parameters + i] =
          layers[static_cast<std::size_t>(slots[i].layer)][static_cast<std::size_t>(slots[i].kind)];
    }
    return values;
  };
  ConvergenceSettings rule;
  rule.steps = settings.steps;
  rule.mostSteps = settings.mostSteps;
  rule.mostStored = settings.mostStored;
  rule.chainTaus = kChainTaus;
  rule.mostRhat = kMostRhat;
  rule.moves = settings.moves;
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
  for (const DerivedSlot& slot : likelihood.layout().derived()) names.push_back(slot.name);
  // Each name's numbers are stored after the sampling coordinates.
  std::vector<std::size_t> all(kept);
  for (std::size_t n = 0; n < kept; ++n) all[n] = n;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::size_t at = dimension + i;
    PosteriorInterval& interval = posterior.intervals.emplace_back(
        percentilesOf(names[i], all, [&](std::size_t n) { return sample(n)[at]; }));
    interval.tau = run.tau[at];
    interval.rhat = run.rhat[at];
    posterior.tau = std::isnan(run.tau[at]) ? posterior.tau : std::max(posterior.tau, run.tau[at]);
  }
  if (!run.converged) {
    posterior.warnings.push_back(notConvergedWarning(posterior, run));
  }
  if (centres.size() > 1) {
    std::vector<const double*> positions(kept);
    for (std::size_t n = 0; n < kept; ++n) positions[n] = sample(n) + dimension;
    const std::vector<std::vector<std::size_t>> members =
        solutionMembers(centres, spread, positions);
    for (const std::vector<std::size_t>& own : members) {
      const double share = static_cast<double>(own.size()) / static_cast<double>(kept);
      if (share < kLeastSolutionShare) continue;
      PosteriorSolution& solution = posterior.solutions.emplace_back();
      solution.share = share;
      for (std::size_t i = 0; i < names.size(); ++i) {
        solution.intervals.push_back(percentilesOf(names[i], own, [&](std::size_t n) {
          return sample(n)[dimension + i];
        }));
      }
    }
    if (posterior.solutions.size() > 1) {
      posterior.warnings.push_back(solutionsWarning(posterior.solutions, dimension));
    } else {
      posterior.solutions.clear();
    }
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
  posterior.sampleNames = names;
  posterior.samples.reserve(samples * names.size());
  for (std::size_t n = 0; n < samples; ++n) {
    const double* at = sample(n * kept / samples);
    posterior.samples.insert(posterior.samples.end(), at + dimension, at + dimension + names.size());
    const bool inBand = evenlyPicked(n, bandSamples, samples);
    const bool member = evenlyPicked(n, kBandMembers, samples);
    if (!inBand && !member) continue;
    const JointModel model =
        *likelihood.modelAt(std::vector<double>(at + dimension, at + 2 * dimension));
    if (inBand) profiles.push_back(renderProfile(model.sample));
    if (member) posterior.bandMembers.push_back(model);
  }
  posterior.band = profileBand(profiles);
  return posterior;
}
