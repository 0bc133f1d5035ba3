#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "commands/command_context.h"
#include "commands/command_table.h"
#include "commands/fit_table.h"
#include "fit/free_form_inversion.h"
#include "fit/layer_fit.h"
#include "fit/layer_posterior.h"

// The Fit window's buttons. Each reads the window's texts at the moment it
// runs; a field that is not a number, or a model the fitting core refuses,
// stops the command with one message before anything changes.

// "&Fit...": shows the Fit window, its table first filled from the current
// profile (or, when that is empty, with one layer) when it is still empty.
void openFit(CommandContext& context);

// "Use current profile": a start model proposed from the current profile
// (proposeSampleModel) into the table; the range and statistic stay.
void useCurrentProfile(CommandContext& context);

// "Add layer" appends a layer below the last one; "Remove layer" removes
// layer `layer` (from 0), or the last one when it is out of range.
void addFitLayer(CommandContext& context);
void removeFitLayer(CommandContext& context, int layer);

// "Use zoomed range": the energy range from the main chart's visible X range
// (keV as drawn, so the current energy shift is taken off).
void useZoomedEnergyRange(CommandContext& context, double chartMinimumKev, double chartMaximumKev);

// "Apply": the table's layers rendered into the current profile without
// fitting; the profile before goes to the undo copy. A table that Fit would
// refuse is refused with the same message, and nothing changes.
void applyFitModel(CommandContext& context);

// "Fit", "Free-form" and "Sample posterior" in three phases, as Start
// Calculation: prepare (UI thread: read and check everything, copy what the
// job reads), run (any thread, cancellable), finish or abandon (UI thread).
// Nothing in the program changes before finish; abandon puts the main chart
// back as it was.
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

PreparedFit prepareFit(CommandContext& context, FitJob job = FitJob::Fit);
FitResult runFit(const PreparedFit& prepared, const std::atomic<bool>* cancel,
                 const std::function<void(const FitProgress&)>& progress);
FitOutcome runFitJob(const PreparedFit& prepared, const FitJobControl& control);
// The main chart's curve for a model on the way, as Calculate would draw it;
// `profile` replaces the model's own rendering when given.
ChartSeries fitCurveSeries(const PreparedFit& prepared, const SampleModel& model,
                           const DepthProfile* profile = nullptr);
// One iteration: its number and chi2/nu in the window, the curve when given.
void showFitProgress(CommandContext& context, int iteration, double reducedChi2,
                     const ChartSeries* curve);
void showFitStatus(CommandContext& context, const std::string& line);
// The fitted profile becomes the current one (the one before goes to the undo
// copy), the display constants and widths take the fitted values, the curve is
// calculated and drawn as Calculate draws it, and the window shows the results.
// A cancelled result is abandoned.
void finishFit(CommandContext& context, const PreparedFit& prepared, FitResult result);
// As finishFit for a fit; a free-form profile becomes the current one in the
// same way, with its band; a posterior leaves the profile and shows its band.
void finishFitJob(CommandContext& context, const PreparedFit& prepared, FitOutcome outcome);
void abandonFit(CommandContext& context, const PreparedFit& prepared);
// All three phases on the calling thread.
void fitSampleModelCommand(CommandContext& context);
void runFitJobCommand(CommandContext& context, FitJob job);

// The posterior's steps as typed (the window's field, --mcmc): "auto" gives
// 0 (until converged), a whole number from 2 to 10,000,000 itself; anything
// else nothing, and kPosteriorStepsMessage says why.
std::optional<int> posteriorStepsOf(const std::string& text);
inline constexpr const char* kPosteriorStepsMessage =
    "The posterior's steps are \"auto\" or a whole number from 2 to 10000000.";

// The warnings of the shown result: a fit's or a free-form profile's own, a
// posterior's after those of the fit it was sampled around.
std::vector<std::string> shownWarnings(const FitTexts& texts);

// "Save model" / "Load model": the model JSON through the file dialogs.
// "Save results": the shown result's JSON (a posterior's with its fit's).
void saveFitModel(CommandContext& context);
void loadFitModel(CommandContext& context);
void saveFitResults(CommandContext& context);

// Commands that change what a running fit reads, or what its end replaces
// (the set, the measured points, the profile, the constants and widths, the
// curve), wait for its end.
void refuseWhileFitting(const CommandContext& context);
const std::vector<CommandId>& fitReadCommands();

// A profile's 16-84% band as the profile chart draws it, named in the legend
// by `name` (empty for an empty band).
void fillChartBand(ChartBand& chart, const ProfileBand& band, const char* name);
