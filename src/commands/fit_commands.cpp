#include "commands/fit_commands.h"

#include <cmath>
#include <cstdio>
#include <random>

#include "commands/command_error.h"
#include "commands/excitation_commands.h"
#include "commands/fit_problem.h"
#include "commands/fit_results_text.h"
#include "commands/fit_table.h"
#include "commands/profile_editor_commands.h"
#include "commands/show_commands.h"
#include "files/atomic_file.h"
#include "files/fit_result_file.h"
#include "files/sample_model_file.h"
#include "fit/profile_band.h"
#include "fit/profile_rendering.h"

namespace {

FileDialogRequest modelDialog(const std::string& proposedName) {
  return {"Sample models (*.json)|*.json|All files (*.*)|*.*", "json", proposedName};
}

void checkGrid(const SampleModel& model) {
  if (!(model.step > 0.0) || !std::isfinite(model.step)) {
    throw CommandError("The step must be a positive number of ug/cm2.");
  }
  if (!(model.maxDepth >= model.step) || !std::isfinite(model.maxDepth) ||
      model.maxDepth / model.step > 1e7) {
    throw CommandError("The maximum depth must hold between 1 and 10 000 000 steps.");
  }
  if (!(model.contamination >= 0.0)) {
    throw CommandError("The contamination layer cannot be thinner than 0 ug/cm2.");
  }
  if (!(model.contamination < model.maxDepth)) {
    throw CommandError("The contamination layer must end above the maximum depth.");
  }
}

void redrawFitWindow(CommandContext& context) {
  context.ui.redraw(View::FitFields);
  context.ui.redraw(View::FitStatus);
  context.ui.redraw(View::FitResults);
}

void showFitResult(CommandContext& context, const FitResult& result) {
  FitTexts& texts = context.texts.fit;
  showSampleModel(texts, result.model, context.decimal);
  for (std::size_t i = 0; i < texts.parameters.size() && i < result.parameters.size(); ++i) {
    FitParameterTexts& row = texts.parameters[i];
    const EstimatedValue& estimate = result.parameters[i];
    row.result = estimateText(estimate.value, estimate.error, estimate.free);
    for (const std::string& warning : result.warnings) {
      if (!mentionsParameter(warning, row.name)) continue;
      if (!row.warning.empty()) row.warning += '\n';
      row.warning += warning;
    }
  }
  texts.results = fitResultsTable(result);
  char line[128];
  std::snprintf(line, sizeof line, "%s after %d iterations: χ²/ν = %.4g",
                result.converged ? "Converged" : "Not converged", result.iterations,
                result.reducedChi2);
  texts.progress = line;

  std::vector<ChartPoint>& residuals = context.charts.fit.residuals.points;
  residuals.clear();
  for (const FitResult::Residual& point : result.residuals) {
    residuals.push_back({point.energy, point.normalized});
  }
}

// The bands' legend entries: what they are the spread of.
constexpr const char* kBootstrapBand = "16–84% of bootstrap replicas";
constexpr const char* kPosteriorBand = "16–84% of posterior samples";

void fillBand(ChartBand& chart, const ProfileBand& band, const char* name) {
  chart = {};
  if (band.empty()) return;
  chart.name = name;
  for (std::size_t i = 0; i < band.median.size(); ++i) {
    const double depth = static_cast<double>(i) * band.step;
    chart.low.points.push_back({depth, band.low[i]});
    chart.high.points.push_back({depth, band.high[i]});
  }
}

}  // namespace

void refuseWhileFitting(const CommandContext& context) {
  if (context.fitRunning) throw CommandError("A fit is running: wait for its end or stop it.");
}

const std::vector<CommandId>& fitReadCommands() {
  static const std::vector<CommandId> commands = {
      CommandId::StartCalculation,
      CommandId::LoadConvolutions,
      CommandId::LoadExperimentalData,
      CommandId::ClearExperimentalData,
      CommandId::OpenConstants,
      CommandId::ShowExtra,
      CommandId::ShowKn,
      CommandId::ProfileUndo,
      CommandId::ProfileLoad,
      CommandId::ProfileClearFromMain,
      CommandId::ProfileClearFromDraw,
      CommandId::ProfileOptionsFromMain,
      CommandId::ProfileOptionsFromDraw,
      CommandId::CalculateExcitation,
  };
  return commands;
}

void openFit(CommandContext& context) {
  FitTexts& texts = context.texts.fit;
  if (texts.parameters.empty()) {
    SampleModel model;
    try {
      model = proposeSampleModel(context);
    } catch (const CommandError&) {
      model = oneLayerSampleModel(context);  // nothing drawn yet
    }
    model.statistic = texts.statistic;
    showSampleModel(texts, model, context.decimal);
    context.ui.redraw(View::FitFields);
  }
  context.ui.showWindow(WindowId::Fit);
}

void useCurrentProfile(CommandContext& context) {
  refuseWhileFitting(context);
  FitTexts& texts = context.texts.fit;
  SampleModel model = proposeSampleModel(context);
  // The range and the statistic are the user's choice, not the profile's.
  model.statistic = texts.statistic;
  const std::string rangeFrom = texts.rangeFrom;
  const std::string rangeTo = texts.rangeTo;
  showSampleModel(texts, model, context.decimal);
  texts.rangeFrom = rangeFrom;
  texts.rangeTo = rangeTo;
  context.ui.redraw(View::FitFields);
}

void addFitLayer(CommandContext& context) {
  refuseWhileFitting(context);
  appendLayerRows(context.texts.fit, context.decimal);
  context.ui.redraw(View::FitFields);
}

void removeFitLayer(CommandContext& context, int layer) {
  refuseWhileFitting(context);
  eraseLayerRows(context.texts.fit, layer);
  context.ui.redraw(View::FitFields);
}

void useZoomedEnergyRange(CommandContext& context, double chartMinimumKev, double chartMaximumKev) {
  const double shift = context.state.parameterBlock.energyShift;
  FitTexts& texts = context.texts.fit;
  texts.rangeFrom = formatFieldNumber(chartMinimumKev - shift, context.decimal);
  texts.rangeTo = formatFieldNumber(chartMaximumKev - shift, context.decimal);
  context.ui.redraw(View::FitFields);
}

void applyFitModel(CommandContext& context) {
  refuseWhileFitting(context);
  const SampleModel model = sampleModelFromTexts(context.texts.fit, context.decimal);
  checkGrid(model);
  checkFitMemory(model, false, context.memory);
  DepthProfile rendered = renderProfile(model);
  ProgramState& state = context.state;
  state.undoProfile = state.currentProfile;
  state.currentProfile = std::move(rendered);
  clearBand(context);
  plotProfile(context);
  context.ui.showWindow(WindowId::DrawProfile);
}

PreparedFit prepareFit(CommandContext& context, FitJob job) {
  refuseWhileFitting(context);
  PreparedFit prepared;
  prepared.job = job;
  if (job == FitJob::Posterior) {
    prepared.fit = context.texts.fit.lastResult;
    if (!prepared.fit) throw CommandError("There is no fit to sample around yet: press Fit first.");
    prepared.model = prepared.fit->model;
  } else {
    prepared.model = sampleModelFromTexts(context.texts.fit, context.decimal);
    checkGrid(prepared.model);
  }
  checkFitMemory(prepared.model, job == FitJob::Posterior, context.memory);
  prepared.problem = fitProblemFromState(context);
  // The worker reads its own copy, so nothing the user does meanwhile can
  // pull the set from under it.
  prepared.set = std::make_shared<const AutoconvolutionSet>(*prepared.problem.set);
  prepared.problem.set = prepared.set.get();
  checkFitProblem(prepared.model, prepared.problem);
  prepared.mainChartBefore = context.charts.main;
  static constexpr const char* kStarting[] = {"Fitting...", "Inverting...", "Sampling..."};
  context.texts.fit.progress = kStarting[static_cast<int>(job)];
  context.ui.redraw(View::FitStatus);
  return prepared;
}

FitResult runFit(const PreparedFit& prepared, const std::atomic<bool>* cancel,
                 const std::function<void(const FitProgress&)>& progress) {
  FitControl control;
  control.cancel = cancel;
  control.progress = progress;
  return fitSampleModel(prepared.model, prepared.problem, control);
}

ChartSeries fitCurveSeries(const PreparedFit& prepared, const SampleModel& model,
                           const DepthProfile* profile) {
  const SampledCurve curve = excitationCurveOf(
      *prepared.set, profile ? *profile : renderProfile(model), prepared.problem.collisionRate,
      model.convolve, model.lorentzianWidth.value, model.gaussianWidth.value);
  ChartSeries series;
  fillCurveSeries(series, curve, prepared.problem.beamEnergyKev, model.multiplier.value,
                  model.background.value);
  return series;
}

bool FitOutcome::cancelled() const {
  return std::visit([](const auto& r) { return r.cancelled; }, result);
}

FitOutcome runFitJob(const PreparedFit& prepared, const FitJobControl& control) {
  // A fixed seed: the same data and settings give the same band every time.
  std::mt19937_64 generator(1);
  int shownPercent = -1;
  const char* shownStage = nullptr;
  const auto steps = [&](const char* what, int done, int total) {
    // A sampler takes thousands of steps: the window hears of every percent.
    const int percent = total > 0 ? static_cast<int>(100LL * done / total) : 0;
    if (!control.stepProgress || (percent == shownPercent && what == shownStage)) return;
    shownPercent = percent;
    shownStage = what;
    char line[96];
    std::snprintf(line, sizeof line, "%s %d of %d", what, done, total);
    control.stepProgress(line);
  };
  FitOutcome outcome;
  if (prepared.job == FitJob::Fit) {
    outcome.result = runFit(prepared, control.cancel, control.fitProgress);
    return outcome;
  }
  // Every member's curve, then their 16th and 84th percentiles point by point.
  std::vector<ChartSeries> curves;
  const auto curveBand = [&](const auto& members, const auto& curveOf, const char* name) {
    for (const auto& member : members) {
      if (control.cancel && *control.cancel) return;
      curves.push_back(curveOf(member));
      steps("Curve band:", static_cast<int>(curves.size()), static_cast<int>(members.size()));
    }
    if (curves.size() < 2) return;
    outcome.curveBand.name = name;
    std::vector<double> values(curves.size());
    for (std::size_t i = 0; i < curves.front().points.size(); ++i) {
      for (std::size_t k = 0; k < curves.size(); ++k) values[k] = curves[k].points[i].y;
      const double x = curves.front().points[i].x;
      outcome.curveBand.low.points.push_back({x, percentile(values, 0.16)});
      outcome.curveBand.high.points.push_back({x, percentile(values, 0.84)});
    }
  };
  if (prepared.job == FitJob::FreeForm) {
    InversionControl inversionControl;
    inversionControl.cancel = control.cancel;
    inversionControl.progress = [&](const InversionProgress& p) {
      steps(p.stage == InversionProgress::Stage::Alpha ? "Choosing alpha:" : "Replica", p.done,
            p.total);
    };
    InversionResult result =
        invertProfile(prepared.model, prepared.problem, {}, generator, inversionControl);
    if (!result.cancelled) {
      SampleModel model = prepared.model;
      model.background.value = result.background;
      curveBand(
          result.bandMembers,
          [&](const DepthProfile& profile) { return fitCurveSeries(prepared, model, &profile); },
          kBootstrapBand);
    }
    outcome.result = std::move(result);
  } else {
    SamplerControl samplerControl;
    samplerControl.cancel = control.cancel;
    samplerControl.progress = [&](int step, int total) { steps("Step", step, total); };
    LayerPosterior posterior =
        sampleLayerPosterior(*prepared.fit, prepared.problem, {}, generator, samplerControl);
    if (!posterior.cancelled) {
      curveBand(
          posterior.bandMembers,
          [&](const SampleModel& model) { return fitCurveSeries(prepared, model); },
          kPosteriorBand);
    }
    outcome.result = std::move(posterior);
  }
  if (control.cancel && *control.cancel) {
    std::visit([](auto& r) { r.cancelled = true; }, outcome.result);
  }
  return outcome;
}

void showFitProgress(CommandContext& context, int iteration, double reducedChi2,
                     const ChartSeries* curve) {
  char line[96];
  std::snprintf(line, sizeof line, "Iteration %d: χ²/ν = %.4g", iteration, reducedChi2);
  context.texts.fit.progress = line;
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

void finishFit(CommandContext& context, const PreparedFit& prepared, FitResult result) {
  if (result.cancelled) {
    abandonFit(context, prepared);
    return;
  }
  ProgramState& state = context.state;
  const DepthProfile before = state.currentProfile;
  adoptFittedModel(context, result.model, result.profile);
  clearBand(context);
  context.ui.redraw(View::DrawProfileStatus);
  // Drawn as F5 draws it; Calculate keeps the profile it draws for undo, but
  // Ctrl+Z after a fit has to bring back the profile the fit started from.
  calculateExcitation(context);
  state.undoProfile = before;
  if (!state.experimentalData.empty()) plotData(context);
  plotProfile(context);
  context.ui.showWindow(WindowId::DrawProfile);

  showFitResult(context, result);
  context.texts.fit.lastResult = std::make_shared<const FitResult>(std::move(result));
  redrawFitWindow(context);
}

void abandonFit(CommandContext& context, const PreparedFit& prepared) {
  context.charts.main = prepared.mainChartBefore;
  context.ui.redraw(View::MainChart);
  context.texts.fit.progress = "Stopped: nothing was changed.";
  context.ui.redraw(View::FitStatus);
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
    ProgramState& state = context.state;
    const DepthProfile before = state.currentProfile;
    SampleModel adopted = prepared.model;
    adopted.background.value = inversion->background;
    adoptFittedModel(context, adopted, inversion->profile);
    context.ui.redraw(View::DrawProfileStatus);
    calculateExcitation(context);
    state.undoProfile = before;
    if (!state.experimentalData.empty()) plotData(context);
    plotProfile(context);
    fillBand(charts.drawProfile.band, inversion->band, kBootstrapBand);
    texts.results = inversionResultsTable(*inversion);
    char line[128];
    std::snprintf(line, sizeof line, "Free-form profile: α = %.3g, χ²/ν = %.4g", inversion->alpha,
                  inversion->reducedChi2);
    texts.progress = line;
    charts.fit.residuals.points.clear();
    for (const FitResult::Residual& point : inversion->residuals) {
      charts.fit.residuals.points.push_back({point.energy, point.normalized});
    }
  } else {
    const auto& posterior = std::get<LayerPosterior>(outcome.result);
    // The sampler leaves the curve alone: the fit's is put back.
    charts.main = prepared.mainChartBefore;
    fillBand(charts.drawProfile.band, posterior.band, kPosteriorBand);
    texts.results = posteriorResultsTable(posterior);
    char line[128];
    std::snprintf(line, sizeof line, "Posterior sampled: acceptance %.3g", posterior.acceptance);
    texts.progress = line;
  }
  charts.main.curveBand = std::move(outcome.curveBand);
  context.ui.redraw(View::MainChart);
  context.ui.redraw(View::DrawProfileChart);
  context.ui.showWindow(WindowId::DrawProfile);
  context.ui.redraw(View::FitStatus);
  context.ui.redraw(View::FitResults);
}

void fitSampleModelCommand(CommandContext& context) {
  runFitJobCommand(context, FitJob::Fit);
}

void runFitJobCommand(CommandContext& context, FitJob job) {
  const PreparedFit prepared = prepareFit(context, job);
  FitOutcome outcome;
  try {
    outcome = runFitJob(prepared, {});
  } catch (...) {
    abandonFit(context, prepared);
    throw;
  }
  finishFitJob(context, prepared, std::move(outcome));
}

void saveFitModel(CommandContext& context) {
  const SampleModel model = sampleModelFromTexts(context.texts.fit, context.decimal);
  // A model is only saved as Load model takes it back.
  parseSampleModel(sampleModelJson(model), "The model");
  std::string& name = context.texts.fit.modelFile;
  const std::optional<std::string> path = context.ui.chooseFileToSave(modelDialog(name));
  if (!path) return;
  name = *path;
  if (!writeSampleModelFile(*path, model)) throw CommandError("Cannot create file " + *path);
}

void loadFitModel(CommandContext& context) {
  refuseWhileFitting(context);
  std::string& name = context.texts.fit.modelFile;
  const std::optional<std::string> path = context.ui.chooseFileToOpen(modelDialog(name));
  if (!path) return;
  name = *path;
  const SampleModel model = readSampleModelFile(*path);
  showSampleModel(context.texts.fit, model, context.decimal);
  context.ui.redraw(View::FitFields);
}

void saveFitResults(CommandContext& context) {
  const std::shared_ptr<const FitResult> result = context.texts.fit.lastResult;
  if (!result) throw CommandError("There is no fit result yet: press Fit first.");
  std::string& name = context.texts.fit.resultsFile;
  const std::optional<std::string> path = context.ui.chooseFileToSave(
      {"Fit results (*.json)|*.json|All files (*.*)|*.*", "json", name});
  if (!path) return;
  name = *path;
  if (!writeFileAtomically(*path, fitResultJson(*result))) {
    throw CommandError("Cannot create file " + *path);
  }
}
