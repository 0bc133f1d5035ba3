#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "commands/fit_problem.h"
#include "files/sample_model_file.h"
#include "fit/free_form_inversion.h"
#include "fit/problem_batch.h"

// The computing of the scripted fits and inversions, without a word printed:
// the command line and the Python module both run these, then show the
// results each in its own way.

// What is wrong with the files given beside a model to `command` ("fit",
// "invert"): a model that lists its measurements names their files itself and
// takes no others; any other model needs both the set and the data. Nothing
// when they go together.
std::optional<std::string> scriptFilesFault(const std::string& command,
                                            const SampleModelDocument& document, bool filesGiven,
                                            bool filesComplete);

// The problems of a fit or an inversion: the model's own measurements as one
// problem, or the model's sample seen by each measured-data list with
// `autos`. Refuses (CommandError) a grid that would not fit in the memory
// available, with `posterior` that of the band too.
// A model's measurements may come with their sets and data in memory
// (`given`, fit_problem.h).
std::vector<SampleProblem> sampleProblemsOf(const SampleModelDocument& document,
                                            const LoadedAutoconvolutions* autos,
                                            const std::vector<ExperimentalData>& data,
                                            bool posterior,
                                            const std::vector<EntryObjects>& given = {});

// The same with the set and the measured data read from their files (none
// for a model that lists its measurements), as the desktop reads them.
std::vector<SampleProblem> sampleProblemsFromFiles(const SampleModelDocument& document,
                                                   const std::string& autosFile,
                                                   const std::vector<std::string>& dataFiles,
                                                   bool posterior);

// Checks every problem before any fit starts (FitError starting with the
// problem's label), fits them in parallel and adds to each result the warning
// of yield beyond its set's Nc. Empty when control.cancel was raised.
std::vector<FitResult> runFits(const std::vector<SampleProblem>& problems,
                               const std::vector<std::string>& labels, const BatchControl& control);

// A fit's errors as scripts name them: "covariance", or "profile" (the default).
FitErrors fitErrorsNamed(const std::string& name);

// `fit`'s whole run: the fits (as runFits), then, with posterior steps, each
// fit's posterior sampled from `seed`. `fitted` sees the fits before the
// sampling starts. Stops with what it has when control.cancel is raised.
struct FitRun {
  std::vector<FitResult> results;
  std::vector<LayerPosterior> posteriors;  // none without posterior steps
};
FitRun runFitsAndPosteriors(const std::vector<SampleProblem>& problems,
                            const std::vector<std::string>& labels, const BatchControl& control,
                            std::optional<int> posteriorSteps, std::uint64_t seed,
                            const std::function<void(const std::vector<FitResult>&)>& fitted = {});

// A run's result file: one object, or with several results an array of them.
std::string fitRunJson(const std::vector<std::string>& labels, const FitRun& run, bool several);

// An inversion's settings from the texts typed for it: the smoothing weight
// (a number >= 0, or "auto"), the replicas and the depth regions ("A:B").
// Refuses (FitError, CommandError) a text it cannot read.
InversionSettings inversionSettingsOf(const std::string& alpha, int replicas,
                                      const std::vector<std::string>& regions);

// The free-form profile of the problem with the warning of yield beyond the
// set's Nc; a refusal starts with the label. Nothing when cancelled.
std::optional<InversionResult> runInversion(const SampleProblem& problem, const std::string& label,
                                            const InversionSettings& settings, std::uint64_t seed,
                                            const std::atomic<bool>* cancel);

// The display constants an inversion's profile is saved with: the first
// measurement's, with the fitted background.
MeasurementModel invertedProfileModel(const SampleProblem& problem, const InversionResult& result);
