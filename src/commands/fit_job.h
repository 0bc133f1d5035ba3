#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "commands/command_context.h"
#include "commands/command_table.h"
#include "fit/free_form_inversion.h"
#include "fit/layer_fit.h"
#include "fit/layer_posterior.h"

// "Fit", "Free-form" and "Sample posterior" in three phases, as Start
// Calculation: prepare (UI thread: read and check everything, copy what the
// job reads), run (any thread, cancellable), finish or abandon (UI thread,
// fit_result_view.h). Nothing in the program changes before finish; abandon
// puts the main chart back as it was.
enum class FitJob { Fit, FreeForm, Posterior };

struct PreparedFit {
  FitJob job = FitJob::Fit;
  SampleModel model;
  SampleProblem problem;  // the model's sample and its measurements, each with its own set
  std::size_t shown = 0;  // the measurement the main chart shows
  std::shared_ptr<const FitResult> fit;  // the fit a posterior is sampled around
  std::vector<DepthRegion> regions;      // a free-form profile's, from the window's field
  PosteriorSettings posterior;           // its steps, from the window's field
  std::uint64_t seed = 1;                // its seed, from the window's field
  MainChartData mainChartBefore;
  std::vector<std::string> warningsBefore;  // the window's list, put back when abandoned
};

// What a job leaves: one of the three results, and the curve's 16/84% band
// of a free-form inversion or posterior (empty for a fit).
struct FitOutcome {
  std::variant<FitResult, InversionResult, LayerPosterior> result;
  ChartBand curveBand;
  bool cancelled() const;
};

// The fit's progress after every iteration, the others' as a count of steps.
struct FitJobControl {
  const std::atomic<bool>* cancel = nullptr;
  std::function<void(const FitProgress&)> fitProgress;
  std::function<void(const std::string& line)> stepProgress;
};

// The bands' legend entries: what they are the spread of.
inline constexpr const char* kBootstrapBand = "16–84% of bootstrap replicas";
inline constexpr const char* kPosteriorBand = "16–84% of posterior samples";

PreparedFit prepareFit(CommandContext& context, FitJob job = FitJob::Fit);
FitResult runFit(const PreparedFit& prepared, const std::atomic<bool>* cancel,
                 const std::function<void(const FitProgress&)>& progress);
FitOutcome runFitJob(const PreparedFit& prepared, const FitJobControl& control);
// The main chart's curve for a model on the way, as Calculate would draw it;
// `profile` replaces the model's own rendering when given.
ChartSeries fitCurveSeries(const PreparedFit& prepared, const JointModel& model,
                           const DepthProfile* profile = nullptr);
// All three phases on the calling thread.
void fitSampleModelCommand(CommandContext& context);
void runFitJobCommand(CommandContext& context, FitJob job);

// Commands that change what a running fit reads, or what its end replaces
// (the set, the measured points, the profile, the constants and widths, the
// curve), wait for its end.
void refuseWhileFitting(const CommandContext& context);
const std::vector<CommandId>& fitReadCommands();
