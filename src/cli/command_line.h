#pragma once

#include <functional>

namespace CLI {
class App;
}

// What tervane-cli says of itself in its help.
inline constexpr const char* kCliDescription = "tervane-cli: Tervane's commands without windows";

// Parses the command line and runs what it chose: 2 for a line that does not
// parse (0 for --help), CLI11's message on standard error; 1 with the message
// of a command that throws; else what `run` returns.
int runCommandLine(CLI::App& app, int argc, char** argv, const std::function<int()>& run);

// "tervane-cli plot ...": the same command line handed on to tervane-plot,
// the program that draws with the desktop's charts, found beside this
// program's own executable, then on PATH. Returns only when it cannot be
// started, with status 1 and a message on standard error.
int runPlotProgram(char** argv);
inline constexpr const char* kPlotProgram = "tervane-plot";
// What tervane-plot says of itself when it is run by its own name: the
// options it takes are those of "tervane-cli plot".
inline constexpr const char* kPlotProgramDescription =
    "tervane-plot: draws Tervane's charts into figures; it answers \"tervane-cli plot\" "
    "(its one subcommand, plot, takes the same options)";
inline constexpr const char* kPlotDescription =
    "Draw the main chart (and the profile beside it) into a .png, .svg or .pdf figure";
