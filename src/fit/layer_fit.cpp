#include "fit/layer_fit.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

#include "fit/fit_covariance.h"
#include "fit/fit_error.h"
#include "fit/fit_statistic.h"
#include "fit/forward_model.h"
#include "fit/layer_fit_evaluator.h"
#include "fit/layer_measures.h"
#include "fit/least_squares.h"
#include "fit/profile_rendering.h"

namespace {

// Shortest form, or `digits` significant digits (a single-precision reading).
std::string number(double value, int digits = 0) {
  char buffer[32];
  const auto result = digits > 0 ? std::to_chars(buffer, buffer + sizeof buffer, value,
                                                 std::chars_format::general, digits)
                                 : std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

// What the model alone must satisfy.
void checkSampleModel(const SampleModel& model) {
  if (!(model.step > 0.0) || !std::isfinite(model.step)) {
    throw FitError("The profile's step must be a positive number of ug/cm2.");
  }
  if (!(model.maxDepth >= model.step) || !std::isfinite(model.maxDepth)) {
    throw FitError("The profile's maximum depth must be at least one step.");
  }
  if (!(model.contamination >= 0.0) || !(model.contamination < model.maxDepth)) {
    throw FitError("The contamination layer must lie between 0 and the maximum depth.");
  }
  SampleModel copy = model;
  for (const NamedParameter& p : namedParameters(copy)) {
    const FitParameter& q = *p.parameter;
    if (!std::isfinite(q.value)) throw FitError(p.name + " must be a finite number.");
    if (!q.free) continue;
    if (!(q.min < q.max)) {
      throw FitError("The bounds of " + p.name + " leave it no room: min must be below max.");
    }
    if (q.value < q.min || q.value > q.max) {
      throw FitError("The bounds of " + p.name + " [" + number(q.min) + ", " + number(q.max) +
                     "] exclude its start value " + number(q.value) + ".");
    }
  }
  for (std::size_t k = 0; k < model.layers.size(); ++k) {
    const LayerModel& l = model.layers[k];
    const std::string name = "layer" + std::to_string(k + 1);
    if (l.from.value < 0.0) throw FitError(name + ".from lies above the surface (below 0).");
    if (l.from.value > l.to.value) throw FitError(name + ".from lies after " + name + ".to.");
    if (l.topWidth.value < 0.0 || l.bottomWidth.value < 0.0) {
      throw FitError("The interface widths of " + name + " must not be negative.");
    }
  }
  if (model.convolve) {
    if (!(model.lorentzianWidth.value > 0.0) || !(model.gaussianWidth.value > 0.0)) {
      throw FitError("The Lorentzian and Gaussian widths must be greater than 0 eV.");
    }
  } else if (model.lorentzianWidth.free || model.gaussianWidth.free) {
    throw FitError("A broadening width is free, but the curve is not convolved.");
  }
  if (model.energyRange && !(model.energyRange->first <= model.energyRange->second)) {
    throw FitError("The energy range ends before it begins.");
  }
}

int freeCount(const SampleModel& model) {
  SampleModel copy = model;
  int count = 0;
  for (const NamedParameter& p : namedParameters(copy)) count += p.parameter->free ? 1 : 0;
  return count;
}

void checkPointCount(std::size_t points, int free, const char* where) {
  if (points == 0) throw FitError(std::string("No measured point lies ") + where + ".");
  if (static_cast<int>(points) < free) {
    throw FitError("Only " + std::to_string(points) + " measured points lie " + where +
                   ", fewer than the " + std::to_string(free) + " free parameters.");
  }
}

void checkErrorsPresent(const SampleModel& model, const std::vector<ExperimentalPoint>& points) {
  if (model.statistic != FitStatistic::Errors) return;
  for (const ExperimentalPoint& p : points) {
    if (!(p.error > 0.0f)) {
      throw FitError(
          "The statistic \"errors\" needs a positive error (a third column) for every "
          "measured point; the point at " +
          number(p.energy, 7) + " keV has none.");
    }
  }
}

// Everything but the fit itself: chi2, the residuals, the profile, the derived
// values; errors when an estimate is given.
FitResult assemble(LayerFitEvaluator& evaluator, const SampleModel& model,
                   const CovarianceEstimate* estimate) {
  FitResult result;
  result.model = model;
  result.profile = renderProfile(model);
  const std::vector<double> f = evaluator.yieldOf(model);
  const std::vector<MeasuredYield>& yields = evaluator.yields();
  for (std::size_t j = 0; j < f.size(); ++j) {
    const double r =
        statisticResidual(model.statistic, yields[j], f[j], evaluator.poissonFloor()).value;
    result.chi2 += r * r;
  }
  result.points = static_cast<int>(f.size());
  result.freeParameters = static_cast<int>(evaluator.freeIndices().size());
  result.dof = result.points - result.freeParameters;
  result.reducedChi2 = result.dof > 0 ? result.chi2 / result.dof : 0.0;
  const double equalSigma = std::sqrt(result.reducedChi2);
  for (std::size_t j = 0; j < f.size(); ++j) {
    const double sigma =
        statisticSigma(model.statistic, yields[j], f[j], evaluator.poissonFloor(), equalSigma);
    const double y = yields[j].yield;
    result.residuals.push_back(
        {evaluator.points()[j].energy, y, f[j], sigma > 0.0 ? (y - f[j]) / sigma : 0.0});
  }

  SampleModel copy = model;
  const std::vector<NamedParameter> named = namedParameters(copy);
  const std::vector<int>& free = evaluator.freeIndices();
  for (std::size_t i = 0; i < named.size(); ++i) {
    EstimatedValue v{named[i].name, named[i].parameter->value, std::nullopt,
                     named[i].parameter->free};
    const auto at = std::find(free.begin(), free.end(), static_cast<int>(i));
    if (estimate != nullptr && at != free.end()) v.error = estimate->errors[at - free.begin()];
    result.parameters.push_back(std::move(v));
  }

  for (std::size_t k = 0; k < model.layers.size(); ++k) {
    const LayerMeasures measures =
        layerMeasures(renderLayerWithDerivatives(model, static_cast<int>(k)), model.layers[k]);
    const std::string prefix = "layer" + std::to_string(k + 1) + ".";
    for (const auto& [name, measure] :
         {std::pair{"amount", &measures.amount}, std::pair{"centroid", &measures.centroid},
          std::pair{"thickness", &measures.thickness}}) {
      EstimatedValue v{prefix + name, measure->value, std::nullopt, false};
      if (estimate != nullptr && std::isfinite(measure->value)) {
        // The gradient by the free parameters; only this layer's count.
        std::vector<double> gradient(free.size(), 0.0);
        for (std::size_t q = 0; q < free.size(); ++q) {
          const int index = free[q] - static_cast<int>(k) * kLayerParameterCount;
          if (index >= 0 && index < kLayerParameterCount) gradient[q] = measure->gradient[index];
        }
        v.error = estimate->propagate(gradient);
      }
      result.derived.push_back(std::move(v));
    }
  }
  if (estimate != nullptr) {
    result.correlationNames = evaluator.freeNames();
    result.correlation = estimate->correlation;
    result.warnings = estimate->warnings;
  }
  return result;
}

// A free parameter that ends on a bound (within a hundredth of its error) has
// a one-sided error at best.
void warnAtBounds(FitResult& result) {
  for (const EstimatedValue& v : result.parameters) {
    if (!v.free || !v.error) continue;
    SampleModel copy = result.model;
    for (const NamedParameter& p : namedParameters(copy)) {
      if (p.name != v.name) continue;
      const double bound =
          std::fabs(v.value - p.parameter->min) <= std::fabs(v.value - p.parameter->max)
              ? p.parameter->min
              : p.parameter->max;
      if (std::isfinite(bound) && std::fabs(v.value - bound) < 0.01 * *v.error) {
        result.warnings.push_back(v.name + " ends on its bound " + number(bound) +
                                  ": its error holds on one side only.");
      }
    }
  }
}

// A width below 0 would turn an interface's edge over, and the broadenings
// need a positive width, so a free width never goes below these floors
// whatever its own lower bound says.
double widthFloor(const std::string& name, const FitParameter& p) {
  const auto endsWith = [&](const char* tail) {
    const std::string t(tail);
    return name.size() >= t.size() && name.compare(name.size() - t.size(), t.size(), t) == 0;
  };
  if (name == "lorentzian_width" || name == "gaussian_width") {
    return std::max(p.min, 1e-6 * p.value);
  }
  if (endsWith("_width")) return std::max(p.min, 0.0);
  return p.min;
}

}  // namespace

void checkFitProblem(const SampleModel& model, const FitProblem& problem) {
  checkSampleModel(model);
  if (problem.set == nullptr || problem.set->size() < 2) {
    throw FitError("There are no autoconvolutions to fit with: calculate or load them first.");
  }
  const std::vector<ExperimentalPoint> points = pointsInRange(model, problem);
  checkPointCount(points.size(), freeCount(model), "in the energy range");
  checkErrorsPresent(model, points);
}

FitResult evaluateSampleModel(const SampleModel& model, const FitProblem& problem) {
  checkSampleModel(model);
  LayerFitEvaluator evaluator(model, problem, nullptr);
  return assemble(evaluator, model, nullptr);
}

FitResult fitSampleModel(const SampleModel& model, const FitProblem& problem,
                         const FitControl& control) {
  checkFitProblem(model, problem);
  try {
    LayerFitEvaluator evaluator(model, problem, control.cancel);
    checkPointCount(evaluator.points().size(), freeCount(model), "on the computed curve");
    const std::vector<int>& free = evaluator.freeIndices();

    LeastSquaresProblem lsq;
    lsq.residualCount = evaluator.points().size();
    SampleModel copy = model;
    const std::vector<NamedParameter> named = namedParameters(copy);
    for (int index : free) {
      const FitParameter& p = *named[index].parameter;
      lsq.parameters.push_back({p.value, widthFloor(named[index].name, p), p.max});
    }
    lsq.residuals = [&](const std::vector<double>& x, std::vector<double>& r) {
      evaluator.residuals(x, r);
    };
    lsq.jacobian = [&](const std::vector<double>& x, std::vector<double>& J) {
      evaluator.jacobian(x, J);
    };

    LeastSquaresOutcome outcome;
    if (!free.empty()) {
      LeastSquaresControl lsqControl;
      lsqControl.maxIterations = control.maxIterations;
      lsqControl.cancel = control.cancel;
      const int dof = static_cast<int>(lsq.residualCount) - static_cast<int>(free.size());
      if (control.progress) {
        lsqControl.progress = [&](int iteration, const std::vector<double>& x, double chi2) {
          const SampleModel current = evaluator.modelAt(x);
          control.progress({iteration, chi2, dof > 0 ? chi2 / dof : 0.0, &current});
        };
      }
      outcome = minimiseLeastSquares(lsq, lsqControl);
    } else {
      outcome.converged = true;
    }
    if (outcome.cancelled) throw FitCancelled{};

    const SampleModel fitted = evaluator.modelAt(outcome.x);
    CovarianceInput input;
    input.names = evaluator.freeNames();
    input.jacobian.assign(lsq.residualCount * free.size(), 0.0);
    if (!free.empty()) evaluator.jacobian(outcome.x, input.jacobian);
    input.dof = static_cast<int>(lsq.residualCount) - static_cast<int>(free.size());
    std::vector<double> r(lsq.residualCount);
    evaluator.residuals(outcome.x, r);
    for (double v : r) input.chi2 += v * v;
    input.values = outcome.x;
    for (const BoundedParameter& b : lsq.parameters) {
      input.min.push_back(b.min);
      input.max.push_back(b.max);
    }
    input.chi2At = [&](const std::vector<double>& x) {
      evaluator.residuals(x, r);
      double chi2 = 0.0;
      for (double v : r) chi2 += v * v;
      return chi2;
    };
    input.residualsAt = [&](const std::vector<double>& x, std::vector<double>& residuals,
                            std::vector<double>& jacobian) {
      residuals.resize(lsq.residualCount);
      jacobian.resize(lsq.residualCount * free.size());
      evaluator.residuals(x, residuals);
      evaluator.jacobian(x, jacobian);
    };
    const CovarianceEstimate estimate = estimateCovariance(input);

    FitResult result = assemble(evaluator, fitted, &estimate);
    result.converged = outcome.converged;
    result.iterations = outcome.iterations;
    if (!outcome.converged) {
      result.warnings.push_back("The fit stopped after " + std::to_string(outcome.iterations) +
                                " iterations without converging.");
    }
    warnAtBounds(result);
    return result;
  } catch (const FitCancelled&) {
    // Nothing more is computed: a stopped fit leaves everything as it was.
    FitResult result;
    result.cancelled = true;
    result.model = model;
    result.profile = renderProfile(model);
    return result;
  }
}

ForwardModelSettings forwardModelSettings(const SampleModel& model, const FitProblem& problem) {
  return {problem.beamEnergyKev,       problem.collisionRate,     model.convolve,
          model.lorentzianWidth.value, model.gaussianWidth.value, model.energyShift.value};
}
