// tervane-cli: the program's own commands without windows, for scripted and
// repeatable calculations. Option values are the texts a user would type into
// the dialog fields ("." is always the decimal separator).
#include <CLI/CLI.hpp>
#include <atomic>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/fit_subcommand.h"
#include "cli/gaussian_options.h"
#include "cli/interrupt.h"
#include "cli/invert_subcommand.h"
#include "cli/limit_checks.h"
#include "cli/profile_subcommand.h"
#include "cli/target_subcommands.h"
#include "commands/autoconvolution_sets.h"
#include "commands/calculation_parameters_commands.h"
#include "commands/excitation_curves.h"
#include "commands/profile_file_commands.h"
#include "files/cross_section_file.h"
#include "files/text_numbers.h"

namespace {

// The Calculation Parameters fields a subcommand may fill; unset ones keep the
// dialog's start texts.
struct ParameterOptions {
  std::optional<std::string> energy, stopping, straggling, points, step, autostep, nc;
};

void addParameterOptions(CLI::App& command, ParameterOptions& options, bool withNc) {
  command.add_option("--energy", options.energy, "Beam Energy (keV)");
  command.add_option("--stopping", options.stopping, "Stopping Power (keV/mg/cm^2)");
  command.add_option("--straggling", options.straggling, "Straggling (keV/(mg.cm^-2)^.5)");
  command.add_option("--points", options.points, "Data Points");
  command.add_option("--step", options.step, "Step size (eV); without --autostep, AutoStep is off");
  command.add_option("--autostep", options.autostep, "AutoStep")
      ->check(CLI::IsMember({"on", "off"}));
  if (withNc) command.add_option("--nc", options.nc, "Nc: highest collision number");
}

void fillFields(CalculationParametersTexts& fields, const ParameterOptions& options) {
  if (options.energy) fields.beamEnergy = *options.energy;
  if (options.stopping) fields.stoppingPower = *options.stopping;
  if (options.straggling) fields.straggling = *options.straggling;
  if (options.points) fields.dataPoints = *options.points;
  if (options.step) {
    fields.stepSize = *options.step;
    fields.autoStep = false;
  }
  if (options.autostep) fields.autoStep = *options.autostep == "on";
  if (options.nc) fields.nc = *options.nc;
}

// Options of the subcommands that plot a curve and save it.
struct CurveOptions {
  std::string autos;
  std::string profile;
  std::string convolve;
  std::string gaussian = "100";
  std::optional<std::string> gaussianFwhm;
  std::string lorentzian = "100";
  std::string resonance = "lorentzian";
  std::string entry;
  int digits = kTextFileDigits;
  std::string out;
};

void addDigitsOption(CLI::App& command, CurveOptions& options) {
  command.add_option("--digits", options.digits, "Significant digits of the numbers written")
      ->check(rangeCheck(kDigitsLimit));
}

void addWidthOptions(CLI::App& command, CurveOptions& options, const char* defaultConvolve) {
  options.convolve = defaultConvolve;
  command.add_option("--convolve", options.convolve, "Convolve")
      ->check(CLI::IsMember({"on", "off"}));
  addGaussianOptions(command, options.gaussian, options.gaussianFwhm);
  command.add_option("--lorentzian", options.lorentzian, "Lorentzian width (eV)");
  addResonanceOption(command, options.resonance);
}

int runRefresh(const ParameterOptions& options) {
  CalculationParametersTexts fields;
  fillFields(fields, options);
  ParameterBlock parameters;
  refreshParameterFields(fields, parameters, DecimalFormat{});
  std::cout << "Emax: " << fields.emax << '\n'
            << "Emin: " << fields.emin << '\n'
            << "Step size: " << fields.stepSize << '\n'
            << "Max Energy: " << fields.maxEnergy << '\n';
  return 0;
}

int runAutos(const ParameterOptions& options, const std::string& out) {
  CalculationParametersTexts fields;
  fillFields(fields, options);
  // Start Calculation with Ctrl+C as its Stop; where to save is settled
  // before any computing.
  const std::atomic<bool>* stop = stopOnInterrupt();
  const AutoconvolutionRun run = prepareAutoconvolutionRun(fields);
  checkAutoconvolutionSavePath(out);
  const std::optional<MadeAutoconvolutions> made =
      calculateAutoconvolutionRun(run, [](int) {}, stop);
  if (!made || interrupted()) return reportInterrupted();
  const AutoconvolutionSetFile& file = made->file;
  refuseUnwritten(out, writeAutoconvolutionPair(out, file.header.values(), *file.set, file.log));
  if (made->warning) std::cerr << *made->warning << '\n';
  return 0;
}

// A set loaded with what loading it says of its lost norms, as the desktop
// shows it.
AutoconvolutionSetFile loadSet(const std::string& path) {
  AutoconvolutionSetFile set = readAutoconvolutionSetFile(path);
  if (const auto warning = lostNormsWarning(*set.set, DecimalFormat{})) {
    std::cerr << *warning << '\n';
  }
  return set;
}

double fieldNumber(const std::string& text) {
  return parseFieldDouble(text, DecimalFormat{});
}

int runCurve(const CurveOptions& options) {
  const AutoconvolutionSetFile set = loadSet(options.autos);
  const ProfileFile profile = readProfileAsLoaded(options.profile);
  CurveBroadening broadening;
  broadening.convolve = options.convolve == "on";
  broadening.gaussianWidth = fieldNumber(gaussianWidthText(options.gaussian, options.gaussianFwhm));
  broadening.lorentzianWidth = fieldNumber(options.lorentzian);
  broadening.resonance = resonanceShapeNamed(options.resonance);
  const ShownCurve shown = excitationCurveOfSet(set, profile, broadening);
  if (shown.warning) std::cerr << "warning: " << *shown.warning << '\n';
  writeShownCurve(options.out, shown, options.digits);
  return 0;
}

int runLewis(const CurveOptions& options) {
  const AutoconvolutionSetFile set = loadSet(options.autos);
  const std::string gaussian = gaussianWidthText(options.gaussian, options.gaussianFwhm);
  CurveBroadening broadening;
  broadening.convolve = options.convolve == "on";
  broadening.resonance = resonanceShapeNamed(options.resonance);
  // The Lorentzian is read first, as the Show dialog reads it.
  broadening.lorentzianWidth = fieldNumber(options.lorentzian);
  broadening.gaussianWidth = fieldNumber(gaussian);
  writeShownCurve(options.out, lewisCurveOfSet(set, broadening), options.digits);
  return 0;
}

int runSingle(const CurveOptions& options) {
  const AutoconvolutionSetFile set = loadSet(options.autos);
  writeShownCurve(options.out, singleEntryCurveOfSet(set, options.entry), options.digits);
  return 0;
}

int runKn(const CurveOptions& options) {
  const AutoconvolutionSetFile set = loadSet(options.autos);
  const ProfileFile profile = readProfileAsLoaded(options.profile);
  const std::vector<double> weights = collisionWeightsOfSet(set, profile.profile);
  for (std::size_t n = 0; n < weights.size(); ++n) {
    std::cout << n << "   " << formatTextFileNumber(weights[n], options.digits) << '\n';
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // "plot" draws with Qt, which this program does not link: tervane-plot
  // parses and runs it.
  if (argc > 1 && std::string(argv[1]) == "plot") return runPlotProgram(argv);
  CLI::App app{kCliDescription};
  app.require_subcommand(1);

  ParameterOptions refreshOptions;
  CLI::App* refresh = app.add_subcommand(
      "refresh", "Fill the Calculation Parameters fields, press Refresh and print the results");
  addParameterOptions(*refresh, refreshOptions, false);

  ParameterOptions autosOptions;
  std::string autosOut;
  CLI::App* autos = app.add_subcommand(
      "autos", "Calculate the autoconvolutions and save them to a .flt file with its .log");
  addParameterOptions(*autos, autosOptions, true);
  autos->add_option("--out", autosOut, "The .flt file to write")->required();

  CurveOptions curveOptions;
  CLI::App* curve = app.add_subcommand(
      "curve", "Calculate the excitation curve of a profile and save it as Save Calculation does");
  curve->add_option("--autos", curveOptions.autos, "Autoconvolution file (.flt)")->required();
  curve->add_option("--profile", curveOptions.profile, "Profile file (.pro)")->required();
  addWidthOptions(*curve, curveOptions, "on");
  addDigitsOption(*curve, curveOptions);
  curve->add_option("--out", curveOptions.out, "The curve file to write")->required();

  CurveOptions lewisOptions;
  CLI::App* lewis = app.add_subcommand("lewis", "Plot the Lewis-effect line shape and save it");
  lewis->add_option("--autos", lewisOptions.autos, "Autoconvolution file (.flt)")->required();
  addWidthOptions(*lewis, lewisOptions, "off");
  addDigitsOption(*lewis, lewisOptions);
  lewis->add_option("--out", lewisOptions.out, "The curve file to write")->required();

  CurveOptions singleOptions;
  CLI::App* single = app.add_subcommand("single", "Plot one autoconvolution and save it");
  single->add_option("--autos", singleOptions.autos, "Autoconvolution file (.flt)")->required();
  single->add_option("--entry", singleOptions.entry, "Number of the autoconvolution")->required();
  addDigitsOption(*single, singleOptions);
  single->add_option("--out", singleOptions.out, "The curve file to write")->required();

  CurveOptions knOptions;
  CLI::App* kn = app.add_subcommand("kn", "Print the collision weights Kn of a profile");
  kn->add_option("--autos", knOptions.autos, "Autoconvolution file (.flt)")->required();
  kn->add_option("--profile", knOptions.profile, "Profile file (.pro)")->required();
  addDigitsOption(*kn, knOptions);

  ProfileOptions profileOptions;
  CLI::App* profile = app.add_subcommand(
      "profile", "Build a profile from the start-up one or a .pro file and save it");
  profile->add_option("--in", profileOptions.in, "Profile file to start from (.pro)");
  profile->add_option("--out", profileOptions.out, "The .pro file to write")->required();
  profile->add_option("--text", profileOptions.text, "Also write the depth-profile text file");
  profile->add_flag("--include-contamination", profileOptions.includeContamination,
                    "Count depths of the text file from the outer surface");
  profile->add_option("operations", profileOptions.operations,
                      "max-depth=D contamination=C add-erfc=MAX,SIGMA subtract-erfc=MAX,SIGMA "
                      "line=X1,C1,X2,C2 smooth=K clear constants=SHIFT,BACKGROUND,MULTIPLIER");

  TargetSubcommands targetSubcommands;
  targetSubcommands.addTo(app);
  FitOptions fitOptions;
  CLI::App* fit = addFitSubcommand(app, fitOptions);

  InvertOptions invertOptions;
  CLI::App* invert = addInvertSubcommand(app, invertOptions);
  // Listed in the help; the command line of a plot never comes this far.
  app.add_subcommand("plot", kPlotDescription)->allow_extras();

  return runCommandLine(app, argc, argv, [&]() -> int {
    if (*refresh) return runRefresh(refreshOptions);
    if (*autos) return runAutos(autosOptions, autosOut);
    if (*curve) return runCurve(curveOptions);
    if (*lewis) return runLewis(lewisOptions);
    if (*single) return runSingle(singleOptions);
    if (*kn) return runKn(knOptions);
    if (*profile) return runProfileSubcommand(profileOptions);
    if (const auto status = targetSubcommands.run()) return *status;
    if (*fit) return runFitSubcommand(fitOptions);
    if (*invert) return runInvertSubcommand(invertOptions);
    return 0;
  });
}
