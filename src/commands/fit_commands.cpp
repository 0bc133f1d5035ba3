#include "commands/fit_commands.h"

#include <cmath>
#include <cstdio>

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
  DepthProfile rendered = renderProfile(model);
  ProgramState& state = context.state;
  state.undoProfile = state.currentProfile;
  state.currentProfile = std::move(rendered);
  plotProfile(context);
  context.ui.showWindow(WindowId::DrawProfile);
}

PreparedFit prepareFit(CommandContext& context) {
  refuseWhileFitting(context);
  PreparedFit prepared;
  prepared.model = sampleModelFromTexts(context.texts.fit, context.decimal);
  checkGrid(prepared.model);
  prepared.problem = fitProblemFromState(context);
  // The worker reads its own copy, so nothing the user does meanwhile can
  // pull the set from under it.
  prepared.set = std::make_shared<const AutoconvolutionSet>(*prepared.problem.set);
  prepared.problem.set = prepared.set.get();
  checkFitProblem(prepared.model, prepared.problem);
  prepared.mainChartBefore = context.charts.main;
  context.texts.fit.progress = "Fitting...";
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

ChartSeries fitCurveSeries(const PreparedFit& prepared, const SampleModel& model) {
  const SampledCurve curve =
      excitationCurveOf(*prepared.set, renderProfile(model), prepared.problem.collisionRate,
                        model.convolve, model.lorentzianWidth.value, model.gaussianWidth.value);
  ChartSeries series;
  fillCurveSeries(series, curve, prepared.problem.beamEnergyKev, model.multiplier.value,
                  model.background.value);
  return series;
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

void finishFit(CommandContext& context, const PreparedFit& prepared, FitResult result) {
  if (result.cancelled) {
    abandonFit(context, prepared);
    return;
  }
  ProgramState& state = context.state;
  const DepthProfile before = state.currentProfile;
  adoptFittedModel(context, result.model, result.profile);
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

void fitSampleModelCommand(CommandContext& context) {
  const PreparedFit prepared = prepareFit(context);
  FitResult result;
  try {
    result = runFit(prepared, nullptr, {});
  } catch (...) {
    abandonFit(context, prepared);
    throw;
  }
  finishFit(context, prepared, std::move(result));
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
