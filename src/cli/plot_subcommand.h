#pragma once

#include <optional>
#include <string>

namespace CLI {
class App;
}

// "tervane-cli plot": the main chart (and, with a profile or a band, the
// profile chart beside it) drawn off screen by the desktop's own chart code
// and written as a figure whose format follows the extension. It runs in
// tervane-plot, which tervane-cli starts for it.
struct PlotOptions {
  std::string autos;
  // A model that lists its measurements: with --fit, one chart per measurement.
  std::string model;
  std::string profile;
  std::string data;
  std::string fit;   // the result JSON of "tervane-cli fit", summarised on the figure
  std::string band;  // a band file of "fit --band" or "invert --band"
  std::string out;
  std::string size;  // "WxH" pixels of the whole figure at 96 dpi
  int dpi = 96;
  // The broadening of the profile's curve, as "tervane-cli curve" takes it;
  // a fit's own widths replace them.
  std::string convolve = "on";
  std::string gaussian = "100";
  std::optional<std::string> gaussianFwhm;  // in place of gaussian
  std::string lorentzian = "100";
  std::string resonance = "lorentzian";
};

CLI::App* addPlotSubcommand(CLI::App& app, PlotOptions& options);

// Returns the exit status; throws with the user's message when an input
// cannot be used.
int runPlotSubcommand(const PlotOptions& options);
