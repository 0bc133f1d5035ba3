#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "fit/fit_result.h"
#include "fit/measurement.h"
#include "fit/sample_model.h"
#include "state/experimental_point.h"
#include "state/sampled_curve.h"

struct FitProgress {
  int iteration = 0;
  double chi2 = 0.0;
  double reducedChi2 = 0.0;
  const JointModel* model = nullptr;  // the current values, valid during the call
};

// How a fit's errors are told: the covariance at the optimum alone, or also
// each free parameter's and derived quantity's profile-likelihood interval.
enum class FitErrors { Covariance, Profile };

// What the program offers a user by default: intervals, and the model's own
// start with seven more spread over the bounds.
inline constexpr int kDefaultStarts = 8;

struct FitControl {
  const std::atomic<bool>* cancel = nullptr;  // checked between iterations
  std::function<void(const FitProgress&)> progress;
  // A fit ends when it has converged or is cancelled; this only guards
  // against a minimisation that crawls for ever.
  int maxIterations = 100000;
  FitErrors errors = FitErrors::Covariance;
  // The model's values, then starts-1 further starts drawn (Latin hypercube,
  // from `seed`) within the free parameters' bounds; the best is kept.
  int starts = 1;
  std::uint64_t seed = 1;
};

// Checks the model against the problem; throws FitError with problemFault's sentence.
void checkProblem(const SampleProblem& problem);

// Fits the free parameters; a cancelled fit returns at once with cancelled =
// true, the start model and its profile, and nothing else. Throws FitError
// when the problem cannot be fitted, a chi2 that is no finite number at
// every start included. Parameters that the data cannot
// determine have no error and a warning in the result (see fit_covariance.h).
FitResult fitProblem(const SampleProblem& problem, const FitControl& control = {});

// The model's profile, curve values and statistic without fitting (errors
// absent): what "Apply" and the start of a fit show. Needs the set; throws
// FitError when the model cannot be used.
FitResult evaluateProblem(const SampleProblem& problem);
