#include "commands/script_runs.h"

#include <random>

#include "commands/command_error.h"
#include "commands/depth_regions.h"
#include "commands/field_numbers.h"
#include "commands/truncation_warning.h"
#include "files/experimental_data_file.h"
#include "files/fit_result_file.h"
#include "fit/fit_error.h"
#include "fit/layer_fit.h"

std::optional<std::string> scriptFilesFault(const std::string& command,
                                            const SampleModelDocument& document, bool filesGiven,
                                            bool filesComplete) {
  const bool joint = !document.measurements.empty();
  if (joint && filesGiven) {
    return "The model lists its measurements, with their autoconvolutions and data: "
           "leave out --autos and --data.";
  }
  if (!joint && !filesComplete) {
    return command + " needs --autos and --data, unless the model lists its \"measurements\".";
  }
  return std::nullopt;
}

std::vector<SampleProblem> sampleProblemsOf(const SampleModelDocument& document,
                                            const LoadedAutoconvolutions* autos,
                                            const std::vector<ExperimentalData>& data,
                                            bool posterior,
                                            const std::vector<EntryObjects>& given) {
  const SampleModel& model = document.model;
  checkFitMemory(model, posterior, {});
  std::vector<SampleProblem> problems;
  if (!document.measurements.empty()) {
    problems.push_back(problemFromMeasurements(document, given));
    return problems;
  }
  for (const ExperimentalData& points : data) {
    problems.push_back(problemFromData(*autos, model, points));
  }
  return problems;
}

std::vector<SampleProblem> sampleProblemsFromFiles(const SampleModelDocument& document,
                                                   const std::string& autosFile,
                                                   const std::vector<std::string>& dataFiles,
                                                   bool posterior) {
  std::optional<LoadedAutoconvolutions> loaded;
  std::vector<ExperimentalData> data;
  if (document.measurements.empty()) {
    loaded = readAutoconvolutionsForFitting(autosFile);
    for (const std::string& file : dataFiles) data.push_back(readExperimentalDataFile(file));
  }
  return sampleProblemsOf(document, loaded ? &*loaded : nullptr, data, posterior);
}

std::vector<FitResult> runFits(const std::vector<SampleProblem>& problems,
                               const std::vector<std::string>& labels, const BatchControl& control) {
  for (std::size_t k = 0; k < problems.size(); ++k) {
    try {
      checkProblem(problems[k]);
    } catch (const FitError& error) {
      throw FitError(labels[k] + ": " + error.what());
    }
  }
  std::vector<FitResult> results = fitProblems(problems, labels, control);
  if (control.cancel && control.cancel->load()) return {};
  for (std::size_t k = 0; k < results.size(); ++k) addTruncationWarnings(problems[k], results[k]);
  return results;
}

FitErrors fitErrorsNamed(const std::string& name) {
  return name == "covariance" ? FitErrors::Covariance : FitErrors::Profile;
}

FitRun runFitsAndPosteriors(const std::vector<SampleProblem>& problems,
                            const std::vector<std::string>& labels, const BatchControl& control,
                            std::optional<int> posteriorSteps, std::uint64_t seed,
                            const std::function<void(const std::vector<FitResult>&)>& fitted) {
  FitRun run;
  const auto cancelled = [&control] { return control.cancel && control.cancel->load(); };
  run.results = runFits(problems, labels, control);
  if (cancelled()) return run;
  if (fitted) fitted(run.results);
  if (posteriorSteps) {
    PosteriorSettings settings;
    settings.steps = *posteriorSteps;
    BatchControl sampling;
    sampling.cancel = control.cancel;
    run.posteriors = samplePosteriors(run.results, problems, labels, settings, seed, sampling);
  }
  return run;
}

std::string fitRunJson(const std::vector<std::string>& labels, const FitRun& run, bool several) {
  const std::vector<LayerPosterior>* sampled = run.posteriors.empty() ? nullptr : &run.posteriors;
  return several ? fitResultsJson(labels, run.results, sampled)
                 : fitResultJson(run.results.front(), sampled ? &run.posteriors.front() : nullptr);
}

InversionSettings inversionSettingsOf(const std::string& alpha, int replicas,
                                      const std::vector<std::string>& regions) {
  InversionSettings settings;
  for (const std::string& region : regions) {
    try {
      settings.regions.push_back(parseDepthRegion(region, DecimalFormat{}));
    } catch (const CommandError& error) {
      throw CommandError(std::string("--region: ") + error.what());
    }
  }
  if (alpha != "auto") {
    try {
      settings.alpha = parseFieldDouble(alpha, DecimalFormat{});
    } catch (const std::exception&) {
      throw FitError("--alpha takes a number >= 0 or auto, not '" + alpha + "'.");
    }
  }
  settings.replicas = replicas;
  return settings;
}

std::optional<InversionResult> runInversion(const SampleProblem& problem, const std::string& label,
                                            const InversionSettings& settings, std::uint64_t seed,
                                            const std::atomic<bool>* cancel) {
  std::mt19937_64 generator(seed);
  InversionControl control;
  control.cancel = cancel;
  InversionResult result;
  try {
    result = invertProblem(problem, settings, generator, control);
  } catch (const FitError& error) {
    throw FitError(label + ": " + error.what());
  }
  if (result.cancelled || (cancel && cancel->load())) return std::nullopt;
  addTruncationWarnings(problem, result);
  return result;
}

MeasurementModel invertedProfileModel(const SampleProblem& problem, const InversionResult& result) {
  MeasurementModel adopted = problem.measurements.front().model;
  adopted.background.value = result.background;
  return adopted;
}
