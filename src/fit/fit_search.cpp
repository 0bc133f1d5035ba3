#include "fit/fit_search.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <mutex>
#include <numeric>
#include <random>
#include <thread>

#include "fit/fit_error.h"
#include "fit/layer_measures.h"
#include "fit/number_text.h"
#include "fit/model_check.h"
#include "fit/profile_likelihood.h"
#include "fit/profile_rendering.h"

namespace {

// The free layer positions of a start put in depth order, each kept within
// its own bounds.
void orderPositions(const LayerFitEvaluator& evaluator, const LeastSquaresProblem& lsq,
                    std::vector<double>& x) {
  std::vector<std::size_t> positions;  // in layer order, from before to
  const std::vector<std::size_t>& free = evaluator.freeIndices();
  for (std::size_t q = 0; q < free.size(); ++q) {
    const ParameterKind kind = evaluator.layout()[free[q]].kind;
    if (kind == ParameterKind::From || kind == ParameterKind::To) positions.push_back(q);
  }
  std::vector<double> values;
  for (std::size_t q : positions) values.push_back(x[q]);
  std::sort(values.begin(), values.end());
  for (std::size_t i = 0; i < positions.size(); ++i) {
    const BoundedParameter& b = lsq.parameters[positions[i]];
    x[positions[i]] = std::clamp(values[i], b.min, b.max);
  }
}

// A value at u in [0, 1) of the parameter's range (see furtherStarts).
double drawn(const BoundedParameter& p, double u) {
  if (std::isfinite(p.min) && std::isfinite(p.max)) return p.min + u * (p.max - p.min);
  return std::clamp(p.start * std::pow(3.0, 2.0 * u - 1.0), p.min, p.max);
}

// A first step for a quantity without a covariance error: a twentieth of its
// range within two bounds, else a tenth of its size.
double fallbackScale(double value, double min, double max) {
  if (std::isfinite(min) && std::isfinite(max) && max > min) return 0.05 * (max - min);
  return value != 0.0 ? 0.1 * std::fabs(value) : 1e-3;
}

// C g / (g' C g): the optimum's shift along a constraint on g, per unit.
std::vector<double> directionOf(const CovarianceEstimate& estimate, const std::vector<double>& g) {
  const std::size_t p = g.size();
  if (estimate.covariance.size() != p * p) return {};
  std::vector<double> d(p, 0.0);
  double norm = 0.0;
  for (std::size_t i = 0; i < p; ++i) {
    for (std::size_t j = 0; j < p; ++j) d[i] += estimate.covariance[i * p + j] * g[j];
    norm += g[i] * d[i];
  }
  if (!(norm > 0.0) || !std::isfinite(norm)) return {};
  for (double& v : d) v /= norm;
  return d;
}

void fillInterval(EstimatedValue& v, const ProfiledInterval& interval,
                  std::vector<std::string>& warnings) {
  v.profiled = true;
  v.covarianceError = v.error;
  v.lower = interval.lower.value;
  v.upper = interval.upper.value;
  v.error.reset();
  // A profile that ran into models where the quantity is not defined (a
  // centroid whose layer's amount fell to 0) found no end on that side.
  for (const bool upper : {false, true}) {
    std::optional<double>& end = upper ? v.upper : v.lower;
    const ProfiledEnd& profiled = upper ? interval.upper : interval.lower;
    if (end && std::isfinite(*end)) continue;
    const bool undefined = end.has_value() || !std::isfinite(profiled.furthest);
    end.reset();
    warnings.push_back(undefined ? v.name + " has no " + (upper ? "upper" : "lower") +
                                       " limit: its profile reaches models where it is not "
                                       "defined (a layer of no amount has no centroid)."
                                 : unlimitedWarning(v.name, upper, profiled.furthest));
  }
  if (v.lower && v.upper) v.error = (*v.upper - *v.lower) / 2.0;
}

bool limitedByData(const EstimatedValue& v, const ProfiledInterval& interval) {
  return v.lower && v.upper && !interval.lower.onBound && !interval.upper.onBound;
}

}  // namespace

void freeGradient(const ParameterLayout& layout, const std::vector<std::size_t>& free, int layer,
                  const LayerMeasure& measure, std::vector<double>& gradient) {
  gradient.assign(free.size(), 0.0);
  for (std::size_t q = 0; q < free.size(); ++q) {
    const ParameterSlot& slot = layout[free[q]];
    if (slot.layer == layer) gradient[q] = measure.gradient[layerSlot(slot.kind)];
  }
}

std::vector<std::vector<double>> furtherStarts(const LayerFitEvaluator& evaluator,
                                               const LeastSquaresProblem& lsq, int count,
                                               std::uint64_t seed) {
  const std::size_t p = lsq.parameters.size();
  const int further = std::max(count - 1, 0);
  std::vector<std::vector<double>> starts;
  if (further == 0 || p == 0) return starts;
  std::mt19937_64 generator(seed);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  // Each parameter's strata, shuffled: start s takes stratum order[q][s].
  std::vector<std::vector<int>> order(p, std::vector<int>(static_cast<std::size_t>(further)));
  for (auto& strata : order) {
    std::iota(strata.begin(), strata.end(), 0);
    std::shuffle(strata.begin(), strata.end(), generator);
  }
  for (int s = 0; s < further; ++s) {
    std::vector<double> x(p);
    for (std::size_t q = 0; q < p; ++q) {
      x[q] = drawn(lsq.parameters[q],
                   (order[q][static_cast<std::size_t>(s)] + uniform(generator)) / further);
    }
    orderPositions(evaluator, lsq, x);
    for (int attempt = 0; attempt < 20 && !layersInOrder(evaluator.modelAt(x).sample); ++attempt) {
      for (std::size_t q = 0; q < p; ++q) x[q] = drawn(lsq.parameters[q], uniform(generator));
      orderPositions(evaluator, lsq, x);
    }
    if (layersInOrder(evaluator.modelAt(x).sample)) starts.push_back(std::move(x));
  }
  return starts;
}

std::optional<std::vector<double>> addProfileIntervals(
    LayerFitEvaluator& evaluator, const LeastSquaresProblem& lsq, const std::vector<double>& x,
    const CovarianceEstimate& estimate, FitResult& result, const std::atomic<bool>* cancel) {
  const std::size_t p = lsq.parameters.size();
  if (p == 0) return std::nullopt;
  std::vector<double> r(lsq.residualCount);
  lsq.residuals(x, r);
  const double chi2 = sumOfSquares(r);
  const double threshold =
      std::isfinite(result.reducedChi2) ? std::max(1.0, result.reducedChi2) : 1.0;

  // Every quantity to profile, with where its interval goes.
  struct Job {
    EstimatedValue* value = nullptr;
    ProfiledQuantity quantity;
    const DerivedSlot* derived = nullptr;  // a layer's quantity rather than a parameter
    bool undetermined = false;
    ProfiledInterval interval;
    std::optional<std::pair<double, std::vector<double>>> better;
    std::vector<std::vector<double>> accepted;
  };
  std::vector<std::string> warnings;
  std::vector<Job> jobs;
  const ParameterLayout& layout = evaluator.layout();
  const std::vector<std::size_t>& free = evaluator.freeIndices();
  for (std::size_t q = 0; q < p; ++q) {
    ProfiledQuantity quantity;
    quantity.name = result.parameters[free[q]].name;
    quantity.parameter = static_cast<int>(q);
    quantity.value = x[q];
    quantity.min = lsq.parameters[q].min;
    quantity.max = lsq.parameters[q].max;
    const std::optional<double>& error = estimate.errors[q];
    quantity.scale =
        error && *error > 0.0 ? *error : fallbackScale(x[q], quantity.min, quantity.max);
    std::vector<double> unit(p, 0.0);
    unit[q] = 1.0;
    quantity.direction = directionOf(estimate, unit);
    Job& job = jobs.emplace_back();
    job.value = &result.parameters[free[q]];
    job.quantity = std::move(quantity);
    job.undetermined = estimate.undetermined[q];
  }
  const JointModel optimum = evaluator.modelAt(x);
  for (EstimatedValue& v : result.derived) {
    const std::size_t k = static_cast<std::size_t>(v.layer);
    const DerivedSlot& slot = layout.derived()[static_cast<std::size_t>(&v - result.derived.data())];
    const DerivedKind which = slot.kind;
    // Reads the evaluator's start and layout only: safe from every thread.
    const LayerFitEvaluator* reader = &evaluator;
    auto measureAt = [reader, k, which, &layout, &free](const std::vector<double>& at,
                                                        std::vector<double>* gradient) {
      const JointModel model = reader->modelAt(at);
      const LayerMeasures measures = layerMeasures(
          renderLayerWithDerivatives(model.sample, static_cast<int>(k)), model.sample.layers[k]);
      const LayerMeasure& m = measures.of(which);
      if (gradient != nullptr) freeGradient(layout, free, static_cast<int>(k), m, *gradient);
      return m.value;
    };
    std::vector<double> gradient(p, 0.0);
    const double value = measureAt(x, &gradient);
    // Undefined, or not moved by any free parameter: the fit's own warning says so.
    if (!std::isfinite(value) ||
        std::all_of(gradient.begin(), gradient.end(), [](double g) { return g == 0.0; })) {
      // A layer whose free parameters do not move it here (both its edges
      // within one grid cell) still moves with them further off: no error of 0.
      const bool layerFree = std::any_of(free.begin(), free.end(), [&](std::size_t index) {
        return layout[index].layer == static_cast<int>(k);
      });
      if (std::isfinite(value) && layerFree && v.error && *v.error == 0.0) {
        v.error.reset();
        warnings.push_back(v.name + " does not move with its layer's free parameters at the fit " +
                           "(the layer lies within one grid step): it has no interval.");
      }
      continue;
    }
    ProfiledQuantity quantity;
    quantity.name = v.name;
    quantity.value = value;
    // What the model allows: no layer thinner than nothing, and no negative
    // amount where the concentration cannot go below 0.
    const LayerModel& layer = optimum.sample.layers[k];
    const bool concentrationPositive =
        layer.concentration.value >= 0.0 && (!layer.concentration.free || layer.concentration.min >= 0.0);
    if (which == DerivedKind::Thickness || (which == DerivedKind::Amount && concentrationPositive)) {
      quantity.min = 0.0;
    }
    quantity.scale =
        v.error && *v.error > 0.0 ? *v.error : fallbackScale(value, -INFINITY, INFINITY);
    quantity.direction = directionOf(estimate, gradient);
    quantity.at = measureAt;
    Job& job = jobs.emplace_back();
    job.value = &v;
    job.quantity = std::move(quantity);
    job.derived = &slot;
  }

  // The profiles are independent: one evaluator per thread (they share the
  // measurements' forward models, whose caches are thread-safe).
  std::atomic<std::size_t> next{0};
  std::vector<std::exception_ptr> failures;
  std::mutex failureMutex;
  const auto work = [&](LayerFitEvaluator& own) {
    LeastSquaresProblem local = lsq;
    local.residuals = [&own](const std::vector<double>& at, std::vector<double>& out) {
      own.residuals(at, out);
    };
    local.jacobian = [&own](const std::vector<double>& at, std::vector<double>& J) {
      own.jacobian(at, J);
    };
    try {
      for (std::size_t j = next++; j < jobs.size(); j = next++) {
        ProfileLikelihood likelihood(local, x, chi2, threshold, {cancel});
        jobs[j].interval = likelihood.interval(jobs[j].quantity);
        jobs[j].better = likelihood.better();
        jobs[j].accepted = likelihood.accepted();
      }
    } catch (...) {
      std::lock_guard lock(failureMutex);
      failures.push_back(std::current_exception());
      next = jobs.size();
    }
  };
  const std::size_t threads =
      std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, jobs.size());
  std::vector<LayerFitEvaluator> evaluators(threads - 1, evaluator);
  std::vector<std::thread> pool;
  for (LayerFitEvaluator& own : evaluators) pool.emplace_back(work, std::ref(own));
  work(evaluator);
  for (std::thread& thread : pool) thread.join();
  for (const std::exception_ptr& failure : failures) {
    // A cancel is what the caller expects first.
    try {
      std::rethrow_exception(failure);
    } catch (const FitCancelled&) {
      throw;
    } catch (...) {
    }
  }
  if (!failures.empty()) std::rethrow_exception(failures.front());

  std::optional<std::pair<double, std::vector<double>>> better;
  for (const Job& job : jobs) {
    if (job.better && (!better || job.better->first < better->first)) better = job.better;
  }
  if (better) return better->second;

  // A constrained optimum below the threshold is a model the data allow: every
  // quantity's profile lies at or below its chi2 there, so every interval holds
  // its value. Profiles that ended in different valleys are widened to agree
  // (a layer's from never reaching past its to's upper end, an amount and a
  // thickness that are one number keeping one interval).
  for (const Job& source : jobs) {
    for (const std::vector<double>& at : source.accepted) {
      // Each layer's values at this point, rendered once for its three quantities.
      const JointModel model = evaluator.modelAt(at);
      std::vector<std::array<double, kDerivedKindCount>> layers;
      for (std::size_t k = 0; k < model.sample.layers.size(); ++k) {
        layers.push_back(layerValues(model.sample, static_cast<int>(k)));
      }
      for (Job& job : jobs) {
        double q = job.derived == nullptr
                       ? at[static_cast<std::size_t>(job.quantity.parameter)]
                       : layers[static_cast<std::size_t>(job.derived->layer)]
                               [static_cast<std::size_t>(job.derived->kind)];
        if (!std::isfinite(q)) continue;
        // Within the order's slack a layer's from may pass its to by a hair.
        q = std::clamp(q, job.quantity.min, job.quantity.max);
        ProfiledEnd& lower = job.interval.lower;
        ProfiledEnd& upper = job.interval.upper;
        if (lower.value && q < *lower.value) lower = {q, false, q, lower.fits};
        if (upper.value && q > *upper.value) upper = {q, false, q, upper.fits};
      }
    }
  }
  // A layer of fixed concentration c whose amount is c times its thickness
  // (sharp, whole, below the contamination layer) has one number under two
  // names: both get the wider interval.
  for (Job& amount : jobs) {
    if (amount.derived == nullptr || amount.derived->kind != DerivedKind::Amount) continue;
    const LayerModel& layer = optimum.sample.layers[static_cast<std::size_t>(amount.derived->layer)];
    const double c = layer.concentration.value;
    for (Job& thickness : jobs) {
      if (thickness.derived == nullptr || thickness.derived->kind != DerivedKind::Thickness ||
          thickness.derived->layer != amount.derived->layer || layer.concentration.free ||
          !(c > 0.0) ||
          std::fabs(amount.quantity.value - c * thickness.quantity.value) >
              1e-9 * std::max(1.0, std::fabs(amount.quantity.value))) {
        continue;
      }
      const auto unite = [c](ProfiledEnd& a, ProfiledEnd& t, double side) {
        if (!a.value || !t.value) {
          a.value.reset();
          t.value.reset();
          a.furthest = side * std::max(side * a.furthest, side * c * t.furthest);
          t.furthest = a.furthest / c;
          return;
        }
        const double v = side * std::max(side * *a.value, side * c * *t.value);
        a.value = v;
        t.value = v / c;
      };
      unite(amount.interval.lower, thickness.interval.lower, -1.0);
      unite(amount.interval.upper, thickness.interval.upper, +1.0);
    }
  }
  bool allLimited = true;
  for (Job& job : jobs) {
    fillInterval(*job.value, job.interval, warnings);
    if (job.undetermined && !limitedByData(*job.value, job.interval)) allLimited = false;
    EstimatedValue& v = *job.value;
    if (job.derived != nullptr && v.lower && v.upper && *v.lower == *v.upper) {
      // The bounds of its parts hold it on both sides: no interval, not a zero one.
      v.error.reset();
      v.lower.reset();
      v.upper.reset();
      warnings.push_back(v.name + " cannot move from " + significantText(v.value, 4) +
                         " within the bounds of the parameters it is made of: it has no interval.");
    }
  }
  // The covariance's "undetermined" warnings say nothing true of parameters
  // whose profile the data limit on both sides.
  if (allLimited) {
    std::erase_if(result.warnings, [&](const std::string& w) {
      return std::find(estimate.warnings.begin(), estimate.warnings.end(), w) !=
             estimate.warnings.end();
    });
  }
  result.warnings.insert(result.warnings.end(), warnings.begin(), warnings.end());
  return std::nullopt;
}

std::optional<std::string> twoSolutionsWarning(const LayerFitEvaluator& evaluator,
                                               const FitResult& best,
                                               const std::vector<double>& other, double otherChi2) {
  if (otherChi2 - best.chi2 > 1.0) return std::nullopt;
  const std::vector<std::size_t>& free = evaluator.freeIndices();
  std::string differences;
  for (std::size_t q = 0; q < free.size(); ++q) {
    const EstimatedValue& v = best.parameters[free[q]];
    const bool outside = (v.lower && other[q] < *v.lower) || (v.upper && other[q] > *v.upper);
    if (!outside) continue;
    if (!differences.empty()) differences += ", ";
    differences +=
        v.name + " " + significantText(v.value, 4) + " or " + significantText(other[q], 4);
  }
  if (differences.empty()) return std::nullopt;
  return "Two solutions explain the data about equally well (chi2 " +
         significantText(best.chi2, 4) + " and " + significantText(otherChi2, 4) +
         "): " + differences + ". The first is kept; the data cannot choose between them.";
}

std::vector<FitResult::OtherOptimum> otherOptima(const LayerFitEvaluator& evaluator,
                                                 const FitResult& best,
                                                 std::vector<FitResult::OtherOptimum> ends) {
  const std::vector<std::size_t>& free = evaluator.freeIndices();
  // Whether a and b lie apart in some free parameter: by more than the
  // best's interval on that side, as seen from a.
  const auto apart = [&](const std::vector<double>& a, const std::vector<double>& b) {
    for (std::size_t q = 0; q < free.size(); ++q) {
      const EstimatedValue& v = best.parameters[free[q]];
      // Without a profile interval the covariance error stands for it; a
      // side with neither never tells two optima apart.
      const double none = std::numeric_limits<double>::quiet_NaN();
      const double error = v.error ? *v.error : none;
      const double below = v.lower ? v.value - *v.lower : error;
      const double above = v.upper ? *v.upper - v.value : error;
      if (b[q] < a[q] - below || b[q] > a[q] + above) return true;
    }
    return false;
  };
  std::stable_sort(ends.begin(), ends.end(),
                   [](const FitResult::OtherOptimum& a, const FitResult::OtherOptimum& b) {
                     return a.chi2 < b.chi2;
                   });
  std::vector<double> bestFree;
  for (const std::size_t index : free) bestFree.push_back(best.parameters[index].value);
  std::vector<FitResult::OtherOptimum> kept;
  for (FitResult::OtherOptimum& end : ends) {
    if (!(end.chi2 - best.chi2 <= kOtherOptimumChi2) || end.free.size() != free.size() ||
        !apart(bestFree, end.free)) {
      continue;
    }
    if (std::all_of(kept.begin(), kept.end(),
                    [&](const FitResult::OtherOptimum& k) { return apart(k.free, end.free); })) {
      kept.push_back(std::move(end));
    }
  }
  return kept;
}
