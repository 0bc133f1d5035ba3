#include "cli/plot_subcommand.h"

#include <CLI/CLI.hpp>
#include <QApplication>
#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "cli/cli_session.h"
#include "cli/gaussian_options.h"
#include "commands/command_error.h"
#include "commands/data_commands.h"
#include "commands/profile_editor_commands.h"
#include "commands/profile_file_commands.h"
#include "files/figure_format.h"
#include "files/file_error.h"
#include "fit/parameter_layout.h"
#include "ui/chart_figures.h"

namespace {

constexpr int kDefaultChartWidth = 800;
constexpr int kDefaultChartHeight = 600;

QSize figureSize(const std::string& text) {
  const std::size_t x = text.find('x');
  int width = 0;
  int height = 0;
  const char* end = text.data() + text.size();
  const bool read = x != std::string::npos &&
                    std::from_chars(text.data(), text.data() + x, width).ptr == text.data() + x &&
                    std::from_chars(text.data() + x + 1, end, height).ptr == end;
  if (!read || width < 10 || height < 10 || width > 20000 || height > 20000) {
    throw CommandError("--size must be WIDTHxHEIGHT in pixels, for instance 1600x600.");
  }
  return {width, height};
}

std::string numberText(double value) {
  std::ostringstream text;
  text.precision(4);
  text << value;
  return text.str();
}

std::string withError(const nlohmann::json& quantity) {
  if (!quantity.is_object() || !quantity.contains("value") || !quantity["value"].is_number()) {
    return "undetermined";
  }
  const nlohmann::json& error = quantity.value("error", nlohmann::json());
  return numberText(quantity["value"].get<double>()) + " ± " +
         (error.is_number() ? numberText(error.get<double>()) : std::string("undetermined"));
}

const nlohmann::json& resultFor(const nlohmann::json& results, const std::string& dataFile) {
  if (!results.is_array()) return results;
  if (results.empty()) throw CommandError("The fit result holds no fit.");
  for (const nlohmann::json& result : results) {
    if (result.value("data", std::string()) == dataFile) return result;
  }
  return results.front();
}

// The profile chart over the profile's whole depth, its concentration axis a
// little above the highest value (and at least up to 1).
void fillProfileChart(CliSession& session) {
  const DepthProfile& profile = session.state.currentProfile;
  plotProfile(session.context);
  session.charts.drawProfile.depthAxis = {0.0, profile.maximumDepth()};
  session.charts.drawProfile.concentrationAxis =
      concentrationAxisFor(session.charts.drawProfile, 1.0);
}

}  // namespace

std::string fitSummaryText(const std::string& resultJson, const std::string& dataFile) {
  const nlohmann::json results = nlohmann::json::parse(resultJson);
  const nlohmann::json& result = resultFor(results, dataFile);
  std::string text;
  if (result.contains("reduced_chi2") && result["reduced_chi2"].is_number()) {
    text += "χ²/ν = " + numberText(result["reduced_chi2"].get<double>());
    if (result.contains("dof") && result["dof"].is_number()) {
      text += " (ν = " + std::to_string(result["dof"].get<long long>()) + ")";
    }
  }
  if (!result.value("converged", true))
    text += (text.empty() ? "" : ", ") + std::string("not converged");
  // Layers in their numbers' order, whatever order the file keeps its keys in.
  std::map<int, std::string> layers;
  if (result.contains("derived") && result["derived"].is_object()) {
    for (const auto& [name, quantity] : result["derived"].items()) {
      const std::optional<LayerQuantityName> parts = layerQuantityOf(name);
      if (!parts) continue;
      const std::string& what = parts->quantity;
      if (what != "amount" && what != "centroid") continue;
      std::string& line = layers[parts->layer + 1];
      line += (line.empty() ? "" : ", ") + what + " " + withError(quantity);
    }
  }
  for (const auto& [layer, line] : layers) {
    text += "\nlayer " + std::to_string(layer) + ": " + line;
  }
  if (!layers.empty()) text += "\n(amount in µg/cm², centroid at µg/cm²)";
  const std::size_t warnings =
      result.contains("warnings") && result["warnings"].is_array() ? result["warnings"].size() : 0;
  if (warnings > 0) {
    text += "\n" + std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings") +
            ": some parameters cannot be told apart";
  }
  return text;
}

CLI::App* addPlotSubcommand(CLI::App& app, PlotOptions& options) {
  CLI::App* plot = app.add_subcommand(
      "plot", "Draw the main chart (and the profile beside it) into a .png, .svg or .pdf figure");
  plot->add_option("--autos", options.autos, "Autoconvolution file (.flt)")->required();
  plot->add_option("--profile", options.profile,
                   "Profile file (.pro): its curve is calculated and the profile drawn beside it");
  plot->add_option("--data", options.data, "Measured data file");
  plot->add_option("--fit", options.fit, "Result JSON of tervane-cli fit, summarised on the chart");
  plot->add_option("--out", options.out, "The figure to write (.png, .svg or .pdf)")->required();
  plot->add_option(
      "--size", options.size,
      "WIDTHxHEIGHT of the whole figure in pixels at 96 dpi (default 800x600 a chart)");
  plot->add_option("--convolve", options.convolve, "Convolve the profile's curve")
      ->check(CLI::IsMember({"on", "off"}));
  addGaussianOptions(*plot, options.gaussian, options.gaussianFwhm);
  plot->add_option("--lorentzian", options.lorentzian, "Lorentzian width (eV)");
  return plot;
}

int runPlotSubcommand(const PlotOptions& options) {
  requireFigureFormat(options.out);
  const bool withProfile = !options.profile.empty();
  QSize size(kDefaultChartWidth * (withProfile ? 2 : 1), kDefaultChartHeight);
  if (!options.size.empty()) size = figureSize(options.size);

  CliSession session;
  session.loadAutoconvolutions(options.autos);
  if (withProfile) {
    // The curve as "tervane-cli curve" calculates it.
    loadProfileFrom(session.context, options.profile, false);
    session.setBroadening(options.convolve,
                          gaussianWidthText(options.gaussian, options.gaussianFwhm),
                          options.lorentzian);
    session.calculate();
    fillProfileChart(session);
  }
  // After the profile, whose constants shift the measured energies.
  if (!options.data.empty()) loadExperimentalDataFrom(session.context, options.data);

  FigureContents contents;
  contents.withProfile = withProfile;
  if (!options.fit.empty()) {
    std::ifstream in(options.fit, std::ios::binary);
    if (!in) throw FileError::cannotOpen(options.fit);
    std::ostringstream json;
    json << in.rdbuf();
    try {
      contents.note = QString::fromStdString(fitSummaryText(json.str(), options.data));
    } catch (const nlohmann::json::exception& error) {
      throw FileError(options.fit + " is not a fit result: " + error.what());
    }
  }

  // Charts are widgets: an application without a display draws them.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "tervane-cli";
  static char* argv[] = {name, nullptr};
  QApplication application(argc, argv);
  FigureLayout layout;
  layout.chartSize = QSize(size.width() / (withProfile ? 2 : 1), size.height());
  if (!writeChartDataFigure(session.charts, contents, options.out, layout)) {
    throw CommandError("Cannot create file " + options.out);
  }
  return 0;
}
