// tervane-cli: the program's own commands without windows, for scripted and
// repeatable calculations. Option values are the texts a user would type into
// the dialog fields ("." is always the decimal separator).
#include <CLI/CLI.hpp>
#include <iostream>
#include <optional>
#include <string>

#include "cli/cli_user_interface.h"
#include "commands/autoconvolution_commands.h"
#include "commands/calculation_parameters_commands.h"
#include "commands/command_context.h"

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

// One run of the program's state and windows' texts, without windows.
struct Session {
  ProgramState state;
  WindowTexts texts;
  ChartData charts;
  CliUserInterface ui;
  CommandContext context{state, texts, charts, ui};

  Session() { state.applyMainWindowStartValues(); }
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"tervane-cli: Tervane's commands without windows"};
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

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? 0 : 2;
  }

  Session session;
  CalculationParametersTexts& fields = session.texts.calculationParameters;
  try {
    if (*refresh) {
      fillFields(fields, refreshOptions);
      refreshCalculationParameters(session.context);
      std::cout << "Emax: " << fields.emax << '\n'
                << "Emin: " << fields.emin << '\n'
                << "Step size: " << fields.stepSize << '\n'
                << "Max Energy: " << fields.maxEnergy << '\n';
    } else if (*autos) {
      fillFields(fields, autosOptions);
      fields.saveAutos = true;
      session.ui.setSavePath(autosOut);
      startCalculation(session.context);
    }
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
  return 0;
}
