#include "cli/plot_subcommand.h"

#include <CLI/CLI.hpp>
#include <QApplication>
#include <algorithm>
#include <charconv>
#include <memory>

#include "cli/cli_session.h"
#include "cli/command_line.h"
#include "cli/gaussian_options.h"
#include "commands/chart_ranges.h"
#include "commands/command_error.h"
#include "commands/data_commands.h"
#include "commands/fit_file_commands.h"
#include "commands/fit_result_view.h"
#include "commands/fit_figure.h"
#include "commands/profile_editor_commands.h"
#include "commands/profile_file_commands.h"
#include "files/figure_format.h"
#include "files/inversion_result_file.h"
#include "files/sample_model_file.h"
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

// The profile chart's axes follow the profile and the band: from the surface
// to where they end, the concentration a little above the highest value.
void fitProfileChartAxes(CliSession& session) {
  DrawProfileChartData& chart = session.charts.drawProfile;
  double wholeDepth = session.state.currentProfile.maximumDepth();
  if (!chart.band.empty()) wholeDepth = std::max(wholeDepth, chart.band.high.points.back().x);
  chart.depthAxis = depthAxisFor(chart, wholeDepth);
  chart.concentrationAxis = concentrationAxisFor(chart);
}

}  // namespace

CLI::App* addPlotSubcommand(CLI::App& app, PlotOptions& options) {
  CLI::App* plot = app.add_subcommand("plot", kPlotDescription);
  plot->add_option("--autos", options.autos,
                   "Autoconvolution file (.flt); not with --model, whose measurements name theirs");
  plot->add_option("--model", options.model,
                   "Sample model (JSON) that lists its measurements: with --fit, its result, one "
                   "chart per measurement and the fitted profile");
  plot->add_option("--profile", options.profile,
                   "Profile file (.pro): its curve is calculated and the profile drawn beside it");
  plot->add_option("--data", options.data, "Measured data file");
  plot->add_option("--fit", options.fit,
                   "Result JSON of tervane-cli fit: its constants and widths draw the curve, its "
                   "summary goes on the chart");
  plot->add_option("--band", options.band,
                   "Band file of fit --band or invert --band, drawn behind the profile");
  plot->add_option("--out", options.out, "The figure to write (.png, .svg or .pdf)")->required();
  plot->add_option(
      "--size", options.size,
      "WIDTHxHEIGHT of the whole figure in pixels at 96 dpi (default 800x600 a chart)");
  plot->add_option("--dpi", options.dpi,
                   "Resolution: the same figure with dpi/96 times the pixels (PNG) or at that "
                   "resolution (PDF)")
      ->check(CLI::Range(24, 2400));
  plot->add_option("--convolve", options.convolve, "Convolve the profile's curve")
      ->check(CLI::IsMember({"on", "off"}));
  addGaussianOptions(*plot, options.gaussian, options.gaussianFwhm);
  plot->add_option("--lorentzian", options.lorentzian, "Lorentzian width (eV)");
  addResonanceOption(*plot, options.resonance);
  return plot;
}

namespace {

// Charts are widgets: an application without a display draws them.
std::unique_ptr<QApplication> offscreenApplication() {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "tervane-plot";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QApplication>(argc, argv);
}

// A joint fit: each measurement's chart beside the next, then the profile.
int plotMeasurements(const PlotOptions& options) {
  if (options.fit.empty())
    throw CommandError("plot --model needs the fit's result: --fit OUT.json.");
  const JointFitFigure figure =
      readJointFitFigure(readSampleModelDocument(options.model), options.fit);
  CliSession session;
  session.state.currentProfile = figure.profile;
  plotProfile(session.context);
  if (!options.band.empty()) {
    fillChartBand(session.charts.drawProfile.band, readProfileBandFile(options.band),
                  "16–84% band");
  }
  fitProfileChartAxes(session);
  const int charts = static_cast<int>(figure.charts.size()) + 1;
  QSize size(kDefaultChartWidth * charts, kDefaultChartHeight);
  if (!options.size.empty()) size = figureSize(options.size);
  const auto application = offscreenApplication();
  std::vector<QString> notes;
  for (const std::string& note : figure.notes) notes.push_back(QString::fromStdString(note));
  FigureLayout layout;
  layout.chartSize = QSize(size.width() / charts, size.height());
  layout.dotsPerInch = options.dpi;
  if (!writeMainChartsFigure(figure.charts, notes, &session.charts.drawProfile, options.out,
                             layout)) {
    throw CommandError("Cannot create file " + options.out);
  }
  return 0;
}

}  // namespace

int runPlotSubcommand(const PlotOptions& options) {
  requireFigureFormat(options.out);
  if (!options.model.empty()) {
    if (!options.autos.empty() || !options.data.empty() || !options.profile.empty()) {
      throw CommandError(
          "The model names each measurement's convolutions and data, and the fit gives the "
          "profile: leave out --autos, --data and --profile.");
    }
    return plotMeasurements(options);
  }
  if (options.autos.empty()) throw CommandError("plot needs --autos, or --model with --fit.");
  const bool withProfile = !options.profile.empty() || !options.band.empty();
  QSize size(kDefaultChartWidth * (withProfile ? 2 : 1), kDefaultChartHeight);
  if (!options.size.empty()) size = figureSize(options.size);

  FigureContents contents;
  contents.withProfile = withProfile;
  std::optional<FitFigureSummary> fit;
  if (!options.fit.empty()) {
    fit = readFitFigureSummary(options.fit, options.data);
    contents.note = QString::fromStdString(fit->text);
  }

  CliSession session;
  session.loadAutoconvolutions(options.autos);
  if (!options.profile.empty()) {
    // The curve as "tervane-cli curve" calculates it, with the fit's own
    // constants and widths when there is one: Calculate gives a fit's curve.
    loadProfileFrom(session.context, options.profile, false);
    session.setBroadening(options.convolve,
                          gaussianWidthText(options.gaussian, options.gaussianFwhm),
                          options.lorentzian);
    session.setResonance(options.resonance);
    if (fit) applyFitConstants(*fit, session.state.parameterBlock);
    session.calculate();
    plotProfile(session.context);
  } else if (fit) {
    applyFitConstants(*fit, session.state.parameterBlock);
  }
  if (!options.band.empty()) {
    fillChartBand(session.charts.drawProfile.band, readProfileBandFile(options.band),
                  "16–84% band");
  }
  if (withProfile) fitProfileChartAxes(session);
  // After the profile, whose constants shift the measured energies.
  if (!options.data.empty()) loadExperimentalDataFrom(session.context, options.data);

  const auto application = offscreenApplication();
  FigureLayout layout;
  layout.chartSize = QSize(size.width() / (withProfile ? 2 : 1), size.height());
  layout.dotsPerInch = options.dpi;
  if (!writeChartDataFigure(session.charts, contents, options.out, layout)) {
    throw CommandError("Cannot create file " + options.out);
  }
  return 0;
}
