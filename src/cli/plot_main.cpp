// tervane-plot: "tervane-cli plot", the one subcommand that draws with the
// desktop's charts, in a program of its own so that tervane-cli links no Qt.
// tervane-cli hands it its whole command line, so that options, messages and
// exit statuses are those of tervane-cli.
#include <CLI/CLI.hpp>

#include "cli/command_line.h"
#include "cli/plot_subcommand.h"

int main(int argc, char** argv) {
  CLI::App app{kPlotProgramDescription};
  app.require_subcommand(1);
  PlotOptions options;
  addPlotSubcommand(app, options);
  return runCommandLine(app, argc, argv, [&options] { return runPlotSubcommand(options); });
}
