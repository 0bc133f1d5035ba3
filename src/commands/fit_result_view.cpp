#include "commands/fit_result_view.h"

#include <array>
#include <optional>

#include "commands/excitation_commands.h"
#include "commands/fit_measurements.h"
#include "commands/fit_problem.h"
#include "commands/fit_results_text.h"
#include "commands/fit_table.h"
#include "commands/profile_editor_commands.h"
#include "commands/show_commands.h"
#include "commands/target_commands.h"
#include "files/text_numbers.h"

namespace {

// The residual plot: (y - f)/sigma at each used point, told apart by
// measurement when there are several.
void showResiduals(CommandContext& context, const EstimateSummary& estimate) {
  FitChartData& chart = context.charts.fit;
  chart.residuals.points.clear();
  chart.residualParts.clear();
  for (const FittedPoint& point : estimate.residuals) {
    chart.residuals.points.push_back({point.energy, point.normalized});
  }
  if (estimate.measurements.size() < 2) return;
  std::size_t counted = 0;
  for (const MeasurementSummary& measurement : estimate.measurements) {
    const auto count = static_cast<std::size_t>(measurement.points);
    chart.residualParts.push_back({measurement.name, count});
    counted += count;
  }
  if (counted != estimate.residuals.size()) chart.residualParts.clear();
}

void redrawFitWindow(CommandContext& context) {
  context.ui.redraw(View::FitFields);
  context.ui.redraw(View::FitStatus);
  context.ui.redraw(View::FitResults);
}

// Each row's result text cleared, and its warnings those of `warnings` that name it.
void showRowWarnings(FitTexts& texts, const std::vector<std::string>& warnings) {
  for (FitParameterTexts& row : texts.parameters) {
    row.warning.clear();
    for (const std::string& warning : warnings) {
      if (!mentionsParameter(warning, row.name)) continue;
      if (!row.warning.empty()) row.warning += '\n';
      row.warning += warning;
    }
  }
}

// A measurement's own parameters take the fitted values, so that Save model
// writes them.
void keepOwnFittedValues(FitTexts& texts, const JointModel& fitted) {
  if (fitted.measurements.size() != texts.measurements.size()) return;
  for (std::size_t m = 0; m < fitted.measurements.size(); ++m) {
    std::optional<MeasurementModel>& own = texts.measurements[m].own;
    if (!own) continue;
    const std::array<bool, kMeasurementParameterKinds> shared = own->shared;
    *own = fitted.measurements[m];
    own->shared = shared;
  }
}

void showFitResult(CommandContext& context, const FitResult& result) {
  FitTexts& texts = context.texts.fit;
  showSampleModel(texts, sampleModelOf(result.joint), context.decimal);
  // By name: a measurement's own parameters have no row of their own.
  for (FitParameterTexts& row : texts.parameters) {
    for (const EstimatedValue& estimate : result.parameters) {
      if (estimate.name == row.name) row.result = estimateText(estimate);
    }
  }
  showRowWarnings(texts, result.warnings);
  texts.results = fitResultsTable(result, knownTargetComposition(context));
  texts.progress = std::string(result.converged ? "Converged" : "Not converged") + " after " +
                   std::to_string(result.iterations) +
                   " iterations: χ²/ν = " + formatTextFileNumber(result.reducedChi2, 4);
  showResiduals(context, result);
}

// A job's profile and constants become the program's and are drawn: the
// curve as F5 draws it, the measured points, the profile. Calculate keeps the
// profile it draws for undo, but Ctrl+Z after a job has to bring back the
// profile the job started from, and with it the constants it replaced. The
// bands of the profile before go.
void adoptAndDraw(CommandContext& context, const MeasurementModel& model,
                  const DepthProfile& profile) {
  ProgramState& state = context.state;
  const DepthProfile before = state.currentProfile;
  const ParameterBlock& p = state.parameterBlock;
  context.texts.fit.adoptionUndo = AdoptionUndo{before,
                                                p.multiplier,
                                                p.background,
                                                p.energyShift,
                                                p.lorentzianWidth,
                                                p.gaussianWidth,
                                                context.texts.drawProfile.convolve,
                                                context.charts.drawProfile.concentrationAxis};
  adoptFittedModel(context, model, profile);
  clearBand(context);
  context.ui.redraw(View::DrawProfileStatus);
  calculateExcitation(context);
  state.undoProfile = before;
  if (!state.experimentalData.empty()) plotData(context);
  plotProfile(context);
}

}  // namespace

void fillChartBand(ChartBand& chart, const ProfileBand& band, const char* name) {
  chart = {};
  if (band.empty()) return;
  chart.name = name;
  for (std::size_t i = 0; i < band.median.size(); ++i) {
    const double depth = static_cast<double>(i) * band.step;
    chart.low.points.push_back({depth, band.low[i]});
    chart.high.points.push_back({depth, band.high[i]});
  }
}

void showFitProgress(CommandContext& context, int iteration, double reducedChi2,
                     const ChartSeries* curve) {
  context.texts.fit.progress =
      "Iteration " + std::to_string(iteration) + ": χ²/ν = " + formatTextFileNumber(reducedChi2, 4);
  context.ui.redraw(View::FitStatus);
  if (curve) {
    context.charts.main.computedCurve = *curve;
    context.ui.redraw(View::MainChart);
  }
}

void showFitStatus(CommandContext& context, const std::string& line) {
  context.texts.fit.progress = line;
  context.ui.redraw(View::FitStatus);
}

void showFitWarnings(CommandContext& context, std::vector<std::string> warnings) {
  context.texts.fit.warnings = std::move(warnings);
  context.ui.redraw(View::FitResults);
}

void finishFit(CommandContext& context, const PreparedFit& prepared, FitResult result) {
  if (result.cancelled) {
    abandonFit(context, prepared);
    return;
  }
  adoptAndDraw(context, result.joint.measurements.front(), result.profile);
  redrawShownMeasurement(context, prepared.problem, result.joint);
  followProfileWithConcentrationAxis(context);
  context.ui.showWindow(WindowId::DrawProfile);

  showFitResult(context, result);
  keepOwnFittedValues(context.texts.fit, result.joint);
  showMeasurementSummaries(context.texts.fit, result);
  auto kept = std::make_shared<const FitResult>(std::move(result));
  context.texts.fit.lastResult = kept;
  context.texts.fit.shownResult = std::make_shared<const FitJobResult>(*kept);
  context.texts.fit.warnings = shownWarnings(context.texts.fit);
  redrawFitWindow(context);
}

void abandonFit(CommandContext& context, const PreparedFit& prepared) {
  context.charts.main = prepared.mainChartBefore;
  context.ui.redraw(View::MainChart);
  context.texts.fit.progress = "Stopped: nothing was changed.";
  context.ui.redraw(View::FitStatus);
  showFitWarnings(context, prepared.warningsBefore);
}

void finishFitJob(CommandContext& context, const PreparedFit& prepared, FitOutcome outcome) {
  if (outcome.cancelled()) {
    abandonFit(context, prepared);
    return;
  }
  if (auto* fit = std::get_if<FitResult>(&outcome.result)) {
    finishFit(context, prepared, std::move(*fit));
    return;
  }
  FitTexts& texts = context.texts.fit;
  ChartData& charts = context.charts;
  if (auto* inversion = std::get_if<InversionResult>(&outcome.result)) {
    MeasurementModel adopted = prepared.model;
    adopted.background.value = inversion->joint.measurements.front().background.value;
    adoptAndDraw(context, adopted, inversion->profile);
    // Every measurement with its own fitted background.
    redrawShownMeasurement(context, prepared.problem, inversion->joint);
    showMeasurementSummaries(texts, *inversion);
    fillChartBand(charts.drawProfile.band, inversion->band, kBootstrapBand);
    texts.results = inversionResultsTable(*inversion, knownTargetComposition(context));
    texts.progress = "Free-form profile: α = " + formatTextFileNumber(inversion->alpha, 3) +
                     ", χ²/ν = " + formatTextFileNumber(inversion->reducedChi2, 4);
    // The table's results were the fit's, whose profile this one replaces.
    for (FitParameterTexts& row : texts.parameters) row.result.clear();
    context.ui.redraw(View::FitFields);
    showRowWarnings(texts, inversion->warnings);
    showResiduals(context, *inversion);
    texts.shownResult = std::make_shared<const FitJobResult>(std::move(*inversion));
  } else {
    const auto& posterior = std::get<LayerPosterior>(outcome.result);
    // The sampler leaves the curve alone: the fit's is put back.
    charts.main = prepared.mainChartBefore;
    fillChartBand(charts.drawProfile.band, posterior.band, kPosteriorBand);
    texts.results = posteriorResultsTable(posterior);
    showMeasurementSummaries(texts, posterior);
    texts.progress = "Posterior sampled: " + std::to_string(posterior.steps) + " steps, " +
                     (posterior.converged ? "converged" : "NOT converged") + ", acceptance " +
                     formatTextFileNumber(posterior.acceptance, 3);
    texts.shownResult = std::make_shared<const FitJobResult>(posterior);
    showRowWarnings(texts, shownWarnings(texts));
  }
  texts.warnings = shownWarnings(texts);
  charts.main.curveBand = std::move(outcome.curveBand);
  followProfileWithConcentrationAxis(context);
  context.ui.redraw(View::MainChart);
  context.ui.redraw(View::DrawProfileChart);
  context.ui.showWindow(WindowId::DrawProfile);
  context.ui.redraw(View::FitStatus);
  context.ui.redraw(View::FitResults);
}

void forgetFitResults(CommandContext& context, bool newData) {
  FitTexts& texts = context.texts.fit;
  texts.lastResult.reset();
  texts.shownResult.reset();
  texts.results.clear();
  texts.progress.clear();
  texts.warnings.clear();
  for (FitParameterTexts& row : texts.parameters) {
    row.result.clear();
    row.warning.clear();
  }
  context.charts.fit.residuals = {};
  context.charts.fit.residualParts.clear();
  clearBand(context);
  if (newData) context.charts.main.computedCurve = {};
  context.ui.redraw(View::MainChart);
  redrawFitWindow(context);
}

std::vector<std::string> shownWarnings(const FitTexts& texts) {
  if (!texts.shownResult) return {};
  std::vector<std::string> warnings;
  if (std::holds_alternative<LayerPosterior>(*texts.shownResult) && texts.lastResult) {
    warnings = texts.lastResult->warnings;
  }
  const std::vector<std::string>& own = std::visit(
      [](const auto& result) -> const std::vector<std::string>& { return result.warnings; },
      *texts.shownResult);
  warnings.insert(warnings.end(), own.begin(), own.end());
  return warnings;
}
