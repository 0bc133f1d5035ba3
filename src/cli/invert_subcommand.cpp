#include "cli/invert_subcommand.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <optional>
#include <random>

#include "cli/interrupt.h"
#include "cli/limit_checks.h"
#include "cli/model_arguments.h"
#include "commands/command_error.h"
#include "commands/depth_regions.h"
#include "commands/field_numbers.h"
#include "commands/fit_problem.h"
#include "commands/fit_results_text.h"
#include "commands/script_runs.h"
#include "commands/truncation_warning.h"
#include "files/atomic_file.h"
#include "files/inversion_result_file.h"
#include "files/sample_model_file.h"
#include "files/text_numbers.h"
#include "fit/fit_error.h"

namespace {

void writeText(const std::string& path, const std::string& text) {
  if (!path.empty() && !writeFileAtomically(path, text)) {
    throw CommandError("Cannot create file " + path);
  }
}

}  // namespace

CLI::App* addInvertSubcommand(CLI::App& app, InvertOptions& options) {
  CLI::App* invert = app.add_subcommand(
      "invert", "Free-form profile: the non-negative, smooth profile that explains the data");
  invert->add_option("--autos", options.autos,
                     "Autoconvolution file (.flt); not with a model that lists its measurements");
  invert->add_option("--data", options.data,
                     "Measured-data file; not with a model that lists its measurements");
  invert
      ->add_option("--model", options.model,
                   "Sample model (JSON): grid, constants, broadening, range, statistic")
      ->required();
  invert->add_option("--alpha", options.alpha,
                     "Smoothing weight, or auto for generalised cross-validation");
  invert->add_option("--json", options.json, "Result JSON");
  invert->add_option("--out-profile", options.outProfile, "The profile (.pro)");
  invert->add_option("--band", options.band, "The profile's 16/50/84% band: depth low median high");
  invert->add_option("--replicas", options.replicas, "Bootstrap replicas")
      ->check(rangeCheck(kReplicasLimit));
  invert->add_option("--seed", options.seed, "Seed of the replicas' random numbers");
  invert->add_option("--region", options.regions,
                     "A:B (ug/cm2, repeatable): the amount and centroid between these depths");
  return invert;
}

int runInvertSubcommand(const InvertOptions& options) {
  if (!options.band.empty() && options.replicas < 2) {
    std::cerr << "--band needs at least 2 replicas: the band is their spread.\n";
    return 2;
  }
  const ModelArguments arguments =
      readModelArguments("invert", options.model, !options.autos.empty(),
                         !options.data.empty());
  if (arguments.exitStatus != 0) return arguments.exitStatus;
  const std::optional<SampleModelDocument>& document = arguments.document;
  const bool joint = arguments.joint();
  // What the result is called: the data file, or the model file of one profile for all curves.
  const std::string label = joint ? options.model : options.data;
  try {
    const InversionSettings settings =
        inversionSettingsOf(options.alpha, options.replicas, options.regions);
    const std::atomic<bool>* stop = stopOnInterrupt();
    const SampleProblem problem =
        sampleProblemsFromFiles(*document, options.autos, {options.data}, false).front();
    const std::optional<InversionResult> inverted =
        runInversion(problem, label, settings, options.seed, stop);
    if (!inverted || interrupted()) return reportInterrupted();
    const InversionResult& result = *inverted;

    std::cout << label << ": chi2/dof " << formatTextFileNumber(result.chi2) << "/"
              << formatTextFileNumber(result.dof, 4) << " = "
              << formatTextFileNumber(result.reducedChi2, 4) << ", alpha "
              << formatTextFileNumber(result.alpha, 3) << "; "
              << summaryValue("amount", result.amount) << "; "
              << summaryValue("centroid", result.centroid) << "; background "
              << formatTextFileNumber(result.background)
              << (result.backgroundError
                      ? " +/- " + formatTextFileNumber(*result.backgroundError, 2)
                      : std::string())
              << "; deepest probed " << formatTextFileNumber(result.deepestProbed, 4) << " ug/cm2";
    for (const RegionEstimate& region : result.regions) {
      std::cout << "; region " << formatTextFileNumber(region.region.from) << ":"
                << formatTextFileNumber(region.region.to) << " "
                << summaryValue("amount", region.amount) << ", "
                << summaryValue("centroid", region.centroid);
    }
    std::cout << measurementsText(result) << std::endl;
    for (const std::string& warning : result.warnings) {
      std::cerr << "warning: " << label << ": " << warning << '\n';
    }

    writeText(options.json, inversionResultJson(result));
    writeText(options.band, profileBandText(result.band));
    if (!options.outProfile.empty()) {
      writeFittedProfile(options.outProfile, invertedProfileModel(problem, result), result.profile);
    }
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
  return 0;
}
