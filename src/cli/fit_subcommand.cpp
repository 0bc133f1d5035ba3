#include "cli/fit_subcommand.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <optional>
#include <set>

#include "cli/interrupt.h"
#include "cli/limit_checks.h"
#include "cli/model_arguments.h"
#include "commands/command_error.h"
#include "commands/fit_file_commands.h"
#include "commands/fit_problem.h"
#include "commands/fit_results_text.h"
#include "commands/profile_file_commands.h"
#include "commands/script_runs.h"
#include "commands/truncation_warning.h"
#include "files/atomic_file.h"
#include "files/experimental_data_file.h"
#include "files/fit_result_file.h"
#include "files/inversion_result_file.h"
#include "files/profile_file.h"
#include "files/sample_model_file.h"
#include "fit/fit_error.h"
#include "fit/layer_posterior.h"
#include "fit/parameter_layout.h"
#include "fit/problem_batch.h"

namespace {

namespace fs = std::filesystem;

// One line on standard error that shows how the fits go, rewritten in place;
// only on a terminal, so that logs and pipes get the summaries alone.
class ProgressLine {
 public:
  explicit ProgressLine(const std::vector<std::string>& files)
      : m_files(files), m_enabled(::isatty(STDERR_FILENO) != 0) {}
  ~ProgressLine() {
    if (m_enabled) std::cerr << "\r\33[K" << std::flush;
  }

  void iteration(std::size_t file, const FitProgress& progress) {
    if (!m_enabled) return;
    std::lock_guard lock(m_mutex);
    const auto now = std::chrono::steady_clock::now();
    if (now - m_shown < std::chrono::milliseconds(100)) return;
    m_shown = now;
    m_current = m_files[file] + ": iteration " + std::to_string(progress.iteration) +
                ", chi2/dof " + formatTextFileNumber(progress.reducedChi2, 4);
    show();
  }

  void fileDone() {
    if (!m_enabled) return;
    std::lock_guard lock(m_mutex);
    ++m_done;
    show();
  }

 private:
  void show() const {
    std::cerr << "\rfit: " << m_done << " of " << m_files.size() << " done; " << m_current
              << "\33[K" << std::flush;
  }

  const std::vector<std::string>& m_files;
  bool m_enabled;
  std::mutex m_mutex;
  std::size_t m_done = 0;
  std::string m_current;
  std::chrono::steady_clock::time_point m_shown{};
};

// One line per file: whether it converged, chi2 per degree of freedom, every
// layer's amount and centroid and the free parameters that are not a layer's.
std::string summaryLine(const std::string& file, const FitResult& result) {
  std::string line = file + ": " + (result.converged ? "converged" : "NOT converged") + " after " +
                     std::to_string(result.iterations) + " iterations, chi2/dof " +
                     formatTextFileNumber(result.chi2) + "/" + formatTextFileNumber(result.dof) + " = " +
                     formatTextFileNumber(result.reducedChi2, 4);
  for (const EstimatedValue& d : result.derived) {
    const std::optional<LayerQuantityName> parts = layerQuantityOf(d.name);
    if (parts && (parts->quantity == "amount" || parts->quantity == "centroid")) {
      line += "; " + summaryValue(d.name, d);
    }
  }
  for (const EstimatedValue& p : result.parameters) {
    if (p.free && p.layer < 0) line += "; " + summaryValue(p.name, p);
  }
  if (listsMeasurements(result)) line += measurementsText(result);
  return line;
}

// With several data files, each output name gets the data file's stem:
// fit.pro and a.dat give fit-a.pro beside fit.pro.
std::string outputName(const std::string& out, const std::string& dataFile, bool several) {
  if (out.empty() || !several) return out;
  const fs::path path(out);
  return (path.parent_path() / (path.stem().string() + "-" + fs::path(dataFile).stem().string() +
                                path.extension().string()))
      .string();
}

std::string posteriorLine(const std::string& file, const LayerPosterior& posterior) {
  std::string line = file + ": posterior of " + std::to_string(posterior.steps) + " steps of " +
                     std::to_string(posterior.ensembles) + " x " +
                     std::to_string(posterior.walkers) + " walkers, " +
                     (posterior.converged ? "converged" : "NOT converged") + ", tau " +
                     formatTextFileNumber(posterior.tau, 3) + ", acceptance " +
                     formatTextFileNumber(posterior.acceptance, 3);
  for (const PosteriorInterval& p : posterior.intervals) {
    const std::array<std::string, 3> numbers = percentileTexts(p);
    line += "; " + p.name + " " + numbers[1] + " [" + numbers[0] + ", " + numbers[2] + "]";
  }
  return line;
}

}  // namespace

CLI::App* addFitSubcommand(CLI::App& app, FitOptions& options) {
  CLI::App* fit = app.add_subcommand(
      "fit", "Fit a sample model (JSON) to measured data files and write the results");
  fit->add_option("--autos", options.autos,
                  "Autoconvolution file (.flt); not with a model that lists its measurements");
  fit->add_option("--data", options.data,
                  "Measured-data files, fitted in parallel; not with a model that lists its "
                  "measurements");
  fit->add_option("--model", options.model,
                  "Sample model (JSON); with \"measurements\" one fit of all of them")
      ->required();
  fit->add_option("--json", options.json, "Result JSON (an array for several data files)");
  fit->add_option("--out-profile", options.outProfile,
                  "Fitted profile (.pro); with several data files each name gets the file's stem");
  fit->add_option("--out-curve", options.outCurve,
                  "Fitted curve as Save Calculation writes it; with several data files each "
                  "name gets the file's stem");
  fit->add_option("--digits", options.digits, "Significant digits of the curve's numbers")
      ->check(rangeCheck(kDigitsLimit));
  CLI::Option* mcmc =
      fit->add_option("--mcmc", options.mcmc,
                      "Then sample the posterior: \"auto\" until it has converged, or this many "
                      "steps of two ensemble samplers")
          ->check([](const std::string& text) {
            return posteriorStepsOf(text) ? std::string() : std::string(kPosteriorStepsMessage);
          });
  fit->add_option("--seed", options.seed,
                  "Seed of the further starts' and the sampler's random numbers");
  fit->add_option("--band", options.band,
                  "The profile's 16/50/84% posterior band: depth low median high; with several "
                  "data files each name gets the file's stem")
      ->needs(mcmc);
  fit->add_option("--errors", options.errors,
                  "profile: profile-likelihood intervals of every free parameter and derived "
                  "quantity (default); covariance: the covariance's errors alone (quicker)")
      ->check(choiceCheck(kErrorsLimit));
  fit->add_option("--starts", options.starts,
                  "Minimisations from the model's values and further starts spread over the "
                  "free parameters' bounds; the best is kept (default 8)")
      ->check(rangeCheck(kStartsLimit));
  return fit;
}

int runFitSubcommand(const FitOptions& options) {
  const ModelArguments arguments =
      readModelArguments("fit", options.model, !options.autos.empty(),
                         !options.data.empty());
  if (arguments.exitStatus != 0) return arguments.exitStatus;
  const std::optional<SampleModelDocument>& document = arguments.document;
  const bool joint = arguments.joint();
  // What each result is called: its data file, or the model file of a joint fit.
  const std::vector<std::string> labels = joint ? std::vector{options.model} : options.data;
  const bool several = labels.size() > 1;
  if (several &&
      (!options.outProfile.empty() || !options.outCurve.empty() || !options.band.empty())) {
    std::set<std::string> stems;
    for (const std::string& file : options.data) {
      if (!stems.insert(fs::path(file).stem().string()).second) {
        std::cerr << "Two data files are named " << fs::path(file).stem()
                  << ": their --out-profile and --out-curve files would be the same. Fit them "
                     "in separate runs.\n";
        return 2;
      }
    }
  }

  try {
    const std::atomic<bool>* stop = stopOnInterrupt();
    // Every file is checked before any fit starts, so a fault costs no time and writes nothing.
    const std::vector<SampleProblem> problems =
        sampleProblemsFromFiles(*document, options.autos, options.data, !options.mcmc.empty());

    ProgressLine progress(labels);
    BatchControl control;
    control.cancel = stop;
    control.fit.errors = fitErrorsNamed(options.errors);
    control.fit.starts = options.starts;
    control.fit.seed = options.seed;
    control.iteration = [&progress](std::size_t k, const FitProgress& p) {
      progress.iteration(k, p);
    };
    control.done = [&progress](std::size_t) { progress.fileDone(); };
    const auto printFits = [&labels](const std::vector<FitResult>& results) {
      for (std::size_t k = 0; k < results.size(); ++k) {
        std::cout << summaryLine(labels[k], results[k]) << '\n';
        for (const std::string& warning : results[k].warnings) {
          std::cerr << "warning: " << labels[k] << ": " << warning << '\n';
        }
      }
      std::cout << std::flush;
    };
    const std::optional<int> steps =
        options.mcmc.empty() ? std::nullopt : posteriorStepsOf(options.mcmc);
    const FitRun run =
        runFitsAndPosteriors(problems, labels, control, steps, options.seed, printFits);
    if (interrupted()) return reportInterrupted();
    const std::vector<FitResult>& results = run.results;
    const std::vector<LayerPosterior>& posteriors = run.posteriors;
    for (std::size_t k = 0; k < posteriors.size(); ++k) {
      std::cout << posteriorLine(labels[k], posteriors[k]) << '\n';
      for (const std::string& warning : posteriors[k].warnings) {
        std::cerr << "warning: " << labels[k] << ": " << warning << '\n';
      }
    }
    std::cout << std::flush;
    const bool sampled = !posteriors.empty();

    if (!options.json.empty() &&
        !writeFileAtomically(options.json, fitRunJson(labels, run, several))) {
      throw CommandError("Cannot create file " + options.json);
    }
    for (std::size_t k = 0; k < results.size(); ++k) {
      const std::string profilePath = outputName(options.outProfile, labels[k], several);
      if (!profilePath.empty()) {
        writeFittedProfile(profilePath, results[k].joint.measurements.front(), results[k].profile);
      }
      // A joint fit's curves, one per measurement, each named with the measurement's name.
      const std::vector<Measurement>& measurements = problems[k].measurements;
      for (std::size_t m = 0; m < measurements.size() && !options.outCurve.empty(); ++m) {
        const std::string curvePath = joint
                                          ? outputName(options.outCurve, measurements[m].name, true)
                                          : outputName(options.outCurve, labels[k], several);
        const MeasurementModel& fitted = results[k].joint.measurements[m];
        writeFittedCurve(curvePath, measurements[m], fitted,
                         asLoadedFromFile(results[k].profile, curvePath), options.digits);
      }
      const std::string band = outputName(options.band, labels[k], several);
      if (sampled && !band.empty() &&
          !writeFileAtomically(band, profileBandText(posteriors[k].band))) {
        throw CommandError("Cannot create file " + band);
      }
    }
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
  return 0;
}
