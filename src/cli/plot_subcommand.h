#pragma once

#include <optional>
#include <string>

namespace CLI {
class App;
}

// "tervane-cli plot": the main chart (and, with a profile, the profile chart
// beside it) drawn off screen by the desktop's own chart code and written as a
// figure whose format follows the extension.
struct PlotOptions {
  std::string autos;
  std::string profile;
  std::string data;
  std::string fit;  // the result JSON of "tervane-cli fit", summarised on the figure
  std::string out;
  std::string size;  // "WxH" pixels of the whole figure at 96 dpi
  // The broadening of the profile's curve, as "tervane-cli curve" takes it.
  std::string convolve = "on";
  std::string gaussian = "100";
  std::optional<std::string> gaussianFwhm;  // in place of gaussian
  std::string lorentzian = "100";
};

CLI::App* addPlotSubcommand(CLI::App& app, PlotOptions& options);

// Returns the exit status; throws with the user's message when an input
// cannot be used.
int runPlotSubcommand(const PlotOptions& options);

// The text box of a figure from a fit result (one object of the fit JSON):
// the fit's quality and each layer's amount and centroid with their errors;
// an error that is null reads "undetermined".
std::string fitSummaryText(const std::string& resultJson, const std::string& dataFile);
