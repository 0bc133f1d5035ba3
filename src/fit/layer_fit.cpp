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

void checkPointCount(std::size_t points, std::size_t free, const char* where) {
  if (points == 0) throw FitError(std::string("No measured point lies ") + where + ".");
  if (points < free) {
    throw FitError("Only " + std::to_string(points) + " measured points lie " + where +
                   ", fewer than the " + std::to_string(free) + " free parameters.");
  }
}

void checkErrorsPresent(const Measurement& measurement) {
  if (measurement.model.statistic != FitStatistic::Errors) return;
  for (const ExperimentalPoint& p : measurement.points) {
    if (!measurement.model.inRange(p.energy)) continue;
    if (!(p.error > 0.0f)) {
      throw FitError(
          "The statistic \"errors\" needs a positive error (a third column) for every "
          "measured point; the point at " +
          significantText(p.energy, 7) + " keV has none.");
    }
  }
}

// Everything but the fit itself: chi2, the residuals, the profile, the derived
// values; errors when an estimate is given.
FitResult assemble(LayerFitEvaluator& evaluator, const JointModel& model,
                   const CovarianceEstimate* estimate) {
  FitResult result;
  result.model = sampleModelOf(model);
  result.joint = model;
  result.profile = renderProfile(model.sample);
  const std::vector<std::vector<double>> fitted = evaluator.yieldsOf(model);
  result.chi2 = evaluator.chi2Of(model, fitted);
  result.points = static_cast<int>(evaluator.points().size());
  result.freeParameters = static_cast<int>(evaluator.freeIndices().size());
  result.dof = result.points - result.freeParameters;
  result.reducedChi2 = reducedChi2Of(result.chi2, result.dof);
  const double equalSigma = std::sqrt(result.reducedChi2);
  for (std::size_t t = 0; t < fitted.size(); ++t) {
    const std::vector<FittedPoint> points =
        evaluator.terms()[t]->fittedPoints(model.measurements[t].statistic, fitted[t], equalSigma);
    result.residuals.insert(result.residuals.end(), points.begin(), points.end());
  }

  const ParameterLayout& layout = evaluator.layout();
  const std::vector<std::size_t>& free = evaluator.freeIndices();
  {
    // Each measurement's part: a free parameter is its own when it applies
    // to it alone, shared otherwise (the layers' and the shared constants).
    std::vector<std::string> names;
    std::vector<double> chi2;
    std::vector<int> points;
    std::vector<double> own(fitted.size(), 0.0);
    for (std::size_t t = 0; t < fitted.size(); ++t) {
      const MeasurementTerm& term = *evaluator.terms()[t];
      names.push_back(term.measurement().name);
      chi2.push_back(term.chi2(model.measurements[t].statistic, fitted[t]));
      points.push_back(static_cast<int>(fitted[t].size()));
    }
    double shared = 0.0;
    for (std::size_t i : free) {
      const ParameterSlot& slot = layout[i];
      if (slot.measurements.size() == 1 && fitted.size() > 1) {
        own[static_cast<std::size_t>(slot.measurement)] += 1.0;
      } else {
        shared += 1.0;
      }
    }
    result.measurements = measurementSummaries(names, chi2, points, own, shared);
  }
  for (std::size_t i = 0; i < layout.size(); ++i) {
    const FitParameter& p = layout.at(model, i);
    EstimatedValue v{layout[i].name, p.value, std::nullopt, p.free, layout[i].layer};
    const auto at = std::find(free.begin(), free.end(), i);
    if (estimate != nullptr && at != free.end()) v.error = estimate->errors[at - free.begin()];
    result.parameters.push_back(std::move(v));
  }

  for (std::size_t k = 0; k < model.sample.layers.size(); ++k) {
    const LayerMeasures measures = layerMeasures(
        renderLayerWithDerivatives(model.sample, static_cast<int>(k)), model.sample.layers[k]);
    const std::string prefix = "layer" + std::to_string(k + 1) + ".";
    for (const auto& [name, measure] :
         {std::pair{"amount", &measures.amount}, std::pair{"centroid", &measures.centroid},
          std::pair{"thickness", &measures.thickness}}) {
      EstimatedValue v{prefix + name, measure->value, std::nullopt, false, static_cast<int>(k)};
      if (estimate != nullptr && std::isfinite(measure->value)) {
        // The gradient by the free parameters; only this layer's count.
        std::vector<double> gradient;
        freeGradient(layout, free, static_cast<int>(k), *measure, gradient);
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

double sumOfSquares(const std::vector<double>& r) {
  double sum = 0.0;
  for (double v : r) sum += v * v;
  return sum;
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

SampleProblem sampleProblemOf(const SampleModel& model, const FitProblem& problem) {
  Measurement measurement;
  // Borrowed: the caller keeps the set alive.
  measurement.set = std::shared_ptr<const AutoconvolutionSet>(std::shared_ptr<void>(), problem.set);
  measurement.beamEnergyKev = problem.beamEnergyKev;
  measurement.collisionRate = problem.collisionRate;
  measurement.points = problem.points;
  measurement.model = model;
  return {model, {std::move(measurement)}};
}

void checkProblem(const SampleProblem& problem) {
  const JointModel model = problem.model();
  const ParameterLayout layout(model, problem.measurementNames());
  if (const std::optional<std::string> fault = modelFault(model, layout)) throw FitError(*fault);
  std::size_t inRange = 0;
  for (const Measurement& m : problem.measurements) {
    if (m.set == nullptr || m.set->size() < 2) {
      throw FitError("There are no autoconvolutions to fit with: calculate or load them first.");
    }
    for (const ExperimentalPoint& p : m.points) inRange += m.model.inRange(p.energy) ? 1 : 0;
  }
  checkPointCount(inRange, layout.freeIndices(model).size(), "in the energy range");
  for (const Measurement& m : problem.measurements) checkErrorsPresent(m);
}

void checkFitProblem(const SampleModel& model, const FitProblem& problem) {
  checkProblem(sampleProblemOf(model, problem));
}

FitResult evaluateProblem(const SampleProblem& problem) {
  checkModel(problem.model());
  LayerFitEvaluator evaluator(problem);
  return assemble(evaluator, problem.model(), nullptr);
}

FitResult evaluateSampleModel(const SampleModel& model, const FitProblem& problem) {
  return evaluateProblem(sampleProblemOf(model, problem));
}

FitResult fitSampleModel(const SampleModel& model, const FitProblem& problem,
                         const FitControl& control) {
  return fitProblem(sampleProblemOf(model, problem), control);
}

FitResult fitProblem(const SampleProblem& problem, const FitControl& control) {
  checkProblem(problem);
  try {
    LayerFitEvaluator evaluator(problem, control.cancel);
    const std::vector<std::size_t>& free = evaluator.freeIndices();
    checkPointCount(evaluator.points().size(), free.size(), "on the computed curve");

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
        const SampleModel current = sampleModelOf(evaluator.modelAt(x));
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
      if (outcomes[i].chi2 < outcomes[best].chi2 - 1e-3) best = i;
    }
    // A further start that did best is taken on to full convergence.
    if (best > 0) outcomes[best] = minimiseFrom(outcomes[best].x);
    LeastSquaresOutcome outcome = outcomes[best];

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
    result.model = sampleModelOf(problem.model());
    result.joint = problem.model();
    result.profile = renderProfile(problem.sample);
    return result;
  }
}
