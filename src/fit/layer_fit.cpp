#include "fit/layer_fit.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "fit/fit_covariance.h"
#include "fit/fit_error.h"
#include "fit/fit_search.h"
#include "fit/layer_fit_evaluator.h"
#include "fit/layer_measures.h"
#include "fit/least_squares.h"
#include "fit/model_check.h"
#include "fit/number_text.h"
#include "fit/profile_rendering.h"

namespace {

// Everything but the fit itself: chi2, the residuals, the profile, the derived
// values; errors when an estimate is given.
FitResult assemble(LayerFitEvaluator& evaluator, const JointModel& model,
                   const CovarianceEstimate* estimate) {
  FitResult result;
  result.joint = model;
  result.profile = renderProfile(model.sample);
  const SampleObjective& objective = evaluator.objective();
  const std::vector<double> fitted = evaluator.yieldsOf(model);
  result.chi2 = objective.chi2(model.measurements, fitted);
  result.points = static_cast<int>(objective.rows());
  result.freeParameters = static_cast<int>(evaluator.freeIndices().size());
  result.dof = result.points - result.freeParameters;
  result.reducedChi2 = reducedChi2Of(result.chi2, result.dof);
  result.residuals =
      objective.fittedPoints(model.measurements, fitted, std::sqrt(result.reducedChi2));

  const ParameterLayout& layout = evaluator.layout();
  const std::vector<std::size_t>& free = evaluator.freeIndices();
  {
    // Each measurement's part: a free parameter is its own when it applies
    // to it alone, shared otherwise (the layers' and the shared constants).
    std::vector<double> own(objective.size(), 0.0);
    double shared = 0.0;
    for (std::size_t i : free) {
      const ParameterSlot& slot = layout[i];
      if (slot.measurements.size() == 1 && objective.size() > 1) {
        own[static_cast<std::size_t>(slot.measurement)] += 1.0;
      } else {
        shared += 1.0;
      }
    }
    result.measurements = objective.summaries(model.measurements, fitted, own, shared);
  }
  for (std::size_t i = 0; i < layout.size(); ++i) {
    const FitParameter& p = layout.at(model, i);
    EstimatedValue v{layout[i].name, p.value, std::nullopt, p.free, layout[i].layer};
    const auto at = std::find(free.begin(), free.end(), i);
    if (estimate != nullptr && at != free.end()) v.error = estimate->errors[at - free.begin()];
    result.parameters.push_back(std::move(v));
  }

  std::vector<LayerMeasures> measures;
  for (std::size_t k = 0; k < model.sample.layers.size(); ++k) {
    measures.push_back(layerMeasures(renderLayerWithDerivatives(model.sample, static_cast<int>(k)),
                                     model.sample.layers[k]));
  }
  std::vector<std::string> undefined;
  for (const DerivedSlot& slot : layout.derived()) {
    const LayerMeasure& measure = measures[static_cast<std::size_t>(slot.layer)].of(slot.kind);
    EstimatedValue v{slot.name, measure.value, std::nullopt, false, slot.layer};
    const bool layerFree = std::any_of(free.begin(), free.end(), [&](std::size_t i) {
      return layout[i].layer == slot.layer;
    });
    if (estimate != nullptr && !std::isfinite(measure.value) && layerFree) {
      undefined.push_back(v.name + " is undefined: the layer holds nothing at the optimum.");
    } else if (estimate != nullptr && std::isfinite(measure.value)) {
      // The gradient by the free parameters; only this layer's count.
      std::vector<double> gradient;
      freeGradient(layout, free, slot.layer, measure, gradient);
      v.error = estimate->propagate(gradient);
      // A layer that holds nothing at all does not move its amount either.
      const bool empty = slot.kind == DerivedKind::Amount && measure.value == 0.0 &&
                         std::all_of(gradient.begin(), gradient.end(), [](double g) { return g == 0.0; });
      if (layerFree && empty) {
        v.error.reset();
        undefined.push_back(v.name + " is 0 and does not move with the layer's free parameters " +
                            "here (the layer lies outside the grid or inside the contamination " +
                            "layer): it has no error.");
      } else if (v.error && !std::isfinite(*v.error)) {
        v.error.reset();
        undefined.push_back(v.name + " has no error: its change with the free parameters is " +
                            "not a number here.");
      }
    }
    result.derived.push_back(std::move(v));
  }
  if (estimate != nullptr) {
    result.correlationNames = evaluator.freeNames();
    result.correlation = estimate->correlation;
    result.warnings = estimate->warnings;
    result.warnings.insert(result.warnings.end(), undefined.begin(), undefined.end());
  }
  return result;
}

// A free parameter that ends on a bound (within a hundredth of its error) has
// a one-sided error at best.
void warnAtBounds(FitResult& result, const ParameterLayout& layout, const JointModel& model) {
  for (std::size_t i = 0; i < layout.size(); ++i) {
    const EstimatedValue& v = result.parameters[i];
    if (!v.free || !v.error) continue;
    const FitParameter& p = layout.at(model, i);
    const double bound = std::fabs(v.value - p.min) <= std::fabs(v.value - p.max) ? p.min : p.max;
    if (std::isfinite(bound) && std::fabs(v.value - bound) < 0.01 * *v.error) {
      result.warnings.push_back(v.name + " ends on its bound " + shortestText(bound) +
                                ": its error holds on one side only.");
    }
  }
}

// A width below 0 would turn an interface's edge over, and the broadenings
// need a positive width, so a free width never goes below these floors
// whatever its own lower bound says.
double lowerLimit(ParameterKind kind, const FitParameter& p) {
  switch (kind) {
    case ParameterKind::LorentzianWidth:
    case ParameterKind::GaussianWidth:
      return std::max(p.min, 1e-6 * p.value);
    case ParameterKind::TopWidth:
    case ParameterKind::BottomWidth:
      return std::max(p.min, 0.0);
    default:
      return p.min;
  }
}

// The covariance at the optimum x, with chi2 and the residuals elsewhere for
// its checks of the parabola.
CovarianceEstimate covarianceAt(LayerFitEvaluator& evaluator, const LeastSquaresProblem& lsq,
                                const std::vector<double>& x) {
  const std::size_t free = lsq.parameters.size();
  CovarianceInput input;
  input.names = evaluator.freeNames();
  input.kinds = evaluator.freeKinds();
  input.jacobian.assign(lsq.residualCount * free, 0.0);
  if (free > 0) evaluator.jacobian(x, input.jacobian);
  input.dof = static_cast<int>(evaluator.points().size()) - static_cast<int>(free);
  std::vector<double> r(lsq.residualCount);
  evaluator.residuals(x, r);
  input.chi2 = sumOfSquares(r);
  input.values = x;
  for (const BoundedParameter& b : lsq.parameters) {
    input.min.push_back(b.min);
    input.max.push_back(b.max);
  }
  input.chi2At = [&](const std::vector<double>& at) {
    evaluator.residuals(at, r);
    return sumOfSquares(r);
  };
  input.residualsAt = [&](const std::vector<double>& at, std::vector<double>& residuals,
                          std::vector<double>& jacobian) {
    residuals.resize(lsq.residualCount);
    jacobian.resize(lsq.residualCount * free);
    evaluator.residuals(at, residuals);
    evaluator.jacobian(at, jacobian);
  };
  return estimateCovariance(input);
}

}  // namespace

void checkProblem(const SampleProblem& problem) {
  if (const std::optional<std::string> fault = problemFault(problem)) throw FitError(*fault);
}

FitResult evaluateProblem(const SampleProblem& problem) {
  checkModel(problem.model());
  LayerFitEvaluator evaluator(problem);
  return assemble(evaluator, problem.model(), nullptr);
}

FitResult fitProblem(const SampleProblem& problem, const FitControl& control) {
  checkProblem(problem);
  try {
    LayerFitEvaluator evaluator(problem, control.cancel);
    const std::vector<std::size_t>& free = evaluator.freeIndices();
    if (const std::optional<std::string> fault =
            pointCountFault(evaluator.points().size(), free.size(), "on the computed curve")) {
      throw FitError(*fault);
    }

    const JointModel start = problem.model();
    const ParameterLayout& layout = evaluator.layout();
    LeastSquaresProblem lsq;
    lsq.residualCount = evaluator.rowCount();
    for (std::size_t index : free) {
      const FitParameter& p = layout.at(start, index);
      lsq.parameters.push_back({p.value, lowerLimit(layout[index].kind, p), p.max});
    }
    lsq.residuals = [&](const std::vector<double>& x, std::vector<double>& r) {
      evaluator.residuals(x, r);
    };
    lsq.jacobian = [&](const std::vector<double>& x, std::vector<double>& J) {
      evaluator.jacobian(x, J);
    };

    LeastSquaresControl lsqControl;
    lsqControl.maxIterations = control.maxIterations;
    lsqControl.cancel = control.cancel;
    const double dof =
        static_cast<double>(evaluator.points().size()) - static_cast<double>(free.size());
    int shownIterations = 0;  // the progress counts every start's iterations
    if (control.progress) {
      lsqControl.progress = [&](int iteration, const std::vector<double>& x, double chi2) {
        const JointModel current = evaluator.modelAt(x);
        control.progress({shownIterations + iteration, chi2, reducedChi2Of(chi2, dof), &current});
      };
    }
    auto minimiseFrom = [&](const std::vector<double>& x0, bool screening = false) {
      LeastSquaresOutcome outcome;
      if (free.empty()) {
        outcome.converged = true;
        return outcome;
      }
      for (std::size_t q = 0; q < x0.size(); ++q) lsq.parameters[q].start = x0[q];
      LeastSquaresControl own = lsqControl;
      if (screening) {
        // Far enough to tell which floor of the valley a start reaches.
        own.quietChange = 1e-2;
        own.maxIterations = std::min(own.maxIterations, 500);
      }
      outcome = minimiseLeastSquares(lsq, own);
      if (outcome.cancelled) throw FitCancelled{};
      shownIterations += outcome.iterations;
      return outcome;
    };

    // The model's own start, then the further ones; the best is kept.
    std::vector<LeastSquaresOutcome> outcomes{minimiseFrom(evaluator.startValues())};
    for (const std::vector<double>& x0 :
         furtherStarts(evaluator, lsq, control.starts, control.seed)) {
      outcomes.push_back(minimiseFrom(x0, true));
    }
    std::size_t best = 0;
    for (std::size_t i = 1; i < outcomes.size(); ++i) {
      const double chi2 = outcomes[i].chi2;
      if (chi2 < outcomes[best].chi2 - 1e-3 ||
          (std::isfinite(chi2) && !std::isfinite(outcomes[best].chi2))) {
        best = i;
      }
    }
    // A further start that did best is taken on to full convergence.
    if (best > 0) outcomes[best] = minimiseFrom(outcomes[best].x);
    LeastSquaresOutcome outcome = outcomes[best];
    if (!std::isfinite(outcome.chi2)) {
      throw FitError(
          "The fit cannot start: chi2 is not a finite number at the start values (a measured "
          "value or the model's curve is beyond what the arithmetic holds).");
    }

    FitResult result;
    CovarianceEstimate estimate;
    for (int round = 0;; ++round) {
      estimate = covarianceAt(evaluator, lsq, outcome.x);
      result = assemble(evaluator, evaluator.modelAt(outcome.x), &estimate);
      if (control.errors != FitErrors::Profile) break;
      const std::optional<std::vector<double>> better =
          addProfileIntervals(evaluator, lsq, outcome.x, estimate, result, control.cancel);
      if (!better || round == 2) break;
      // A constrained fit found a lower chi2: the fit goes on from there.
      outcome = minimiseFrom(*better);
      outcomes.push_back(outcome);
    }
    const JointModel fitted = evaluator.modelAt(outcome.x);
    result.converged = outcome.converged;
    result.iterations = outcome.iterations;
    result.starts = static_cast<int>(outcomes.size());
    for (const LeastSquaresOutcome& o : outcomes) result.startChi2.push_back(o.chi2);
    result.startsAtBest = static_cast<int>(
        std::count_if(outcomes.begin(), outcomes.end(),
                      [&](const LeastSquaresOutcome& o) { return o.chi2 <= outcome.chi2 + 0.1; }));
    if (!outcome.converged) {
      result.warnings.push_back("The fit stopped after " + std::to_string(outcome.iterations) +
                                " iterations without converging.");
    }
    std::vector<FitResult::OtherOptimum> ends;
    for (const LeastSquaresOutcome& other : outcomes) ends.push_back({other.x, other.chi2});
    result.otherOptima = otherOptima(evaluator, result, std::move(ends));
    if (control.errors == FitErrors::Profile) {
      for (const LeastSquaresOutcome& other : outcomes) {
        if (const std::optional<std::string> warning =
                twoSolutionsWarning(evaluator, result, other.x, other.chi2)) {
          result.warnings.push_back(*warning);
          break;
        }
      }
    } else {
      warnAtBounds(result, layout, fitted);
    }
    return result;
  } catch (const FitCancelled&) {
    // Nothing more is computed: a stopped fit leaves everything as it was.
    FitResult result;
    result.cancelled = true;
    result.joint = problem.model();
    result.profile = renderProfile(problem.sample);
    return result;
  }
}
