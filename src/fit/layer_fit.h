#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "fit/fit_result.h"
#include "fit/forward_model.h"
#include "fit/sample_model.h"
#include "state/experimental_point.h"
#include "state/sampled_curve.h"

// What a layer fit needs besides the model: the autoconvolutions, the beam and
// collision rate they were made for, and the measured points (users' entries
// 0 .. size-2 of a loaded list, or every entry of a list given whole).
struct FitProblem {
  const AutoconvolutionSet* set = nullptr;
  double beamEnergyKev = 0.0;
  double collisionRate = 0.0;  // collisions per ug/cm2
  std::vector<ExperimentalPoint> points;
};

struct FitProgress {
  int iteration = 0;
  double chi2 = 0.0;
  double reducedChi2 = 0.0;
  const SampleModel* model = nullptr;  // the current values, valid during the call
};

struct FitControl {
  const std::atomic<bool>* cancel = nullptr;  // checked between iterations
  std::function<void(const FitProgress&)> progress;
  int maxIterations = 300;
};

// Checks the model against the problem; throws FitError with the user's message.
void checkFitProblem(const SampleModel& model, const FitProblem& problem);

// Fits the free parameters; a cancelled fit returns at once with cancelled =
// true, the start model and its profile, and nothing else. Throws FitError
// when the problem cannot be fitted. Parameters that the data cannot
// determine have no error and a warning in the result (see fit_covariance.h).
FitResult fitSampleModel(const SampleModel& model, const FitProblem& problem,
                         const FitControl& control = {});

// The model's profile, curve values and statistic without fitting (errors
// absent): what "Apply" and the start of a fit show. Needs the set; throws
// FitError when the model cannot be used.
FitResult evaluateSampleModel(const SampleModel& model, const FitProblem& problem);

// The forward model's settings for the model's broadening and shift on the problem's beam.
ForwardModelSettings forwardModelSettings(const SampleModel& model, const FitProblem& problem);
