#include "commands/fit_commands.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>

#include "commands/command_error.h"
#include "commands/excitation_commands.h"
#include "commands/fit_problem.h"
#include "commands/profile_editor_commands.h"
#include "commands/show_commands.h"
#include "files/atomic_file.h"
#include "files/fit_result_file.h"
#include "files/sample_model_file.h"
#include "fit/profile_rendering.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr std::size_t kLayerRows = 5;
constexpr std::size_t kConstantRows = 5;

struct StatisticName {
  FitStatistic statistic;
  const char* name;
};
constexpr StatisticName kStatisticNames[] = {{FitStatistic::Poisson, "poisson"},
                                             {FitStatistic::Neyman, "neyman"},
                                             {FitStatistic::Errors, "errors"},
                                             {FitStatistic::Equal, "equal"}};

const char* statisticName(FitStatistic statistic) {
  for (const StatisticName& entry : kStatisticNames) {
    if (entry.statistic == statistic) return entry.name;
  }
  return "?";
}

FileDialogRequest modelDialog(const std::string& proposedName) {
  return {"Sample models (*.json)|*.json|All files (*.*)|*.*", "json", proposedName};
}

// The texts say which field holds the fault, so that one message is enough.
double fieldNumber(const std::string& text, const std::string& field, DecimalFormat decimal) {
  try {
    return parseFieldDouble(text, decimal);
  } catch (const CommandError& error) {
    throw CommandError(field + ": " + error.what());
  }
}

double boundNumber(const std::string& text, const std::string& field, double unbounded,
                   DecimalFormat decimal) {
  if (text.find_first_not_of(" \t") == std::string::npos) return unbounded;
  return fieldNumber(text, field, decimal);
}

std::string boundText(double bound, DecimalFormat decimal) {
  return std::isinf(bound) ? std::string() : formatFieldNumber(bound, decimal);
}

std::size_t layerCount(const FitTexts& texts) {
  const std::size_t rows = texts.parameters.size();
  if (rows < kConstantRows || (rows - kConstantRows) % kLayerRows != 0) {
    throw CommandError("The Fit window's table is incomplete: load or propose a model again.");
  }
  return (rows - kConstantRows) / kLayerRows;
}

void nameRows(FitTexts& texts) {
  SampleModel shape;
  shape.layers.resize(layerCount(texts));
  const std::vector<std::string> names = parameterNames(shape);
  for (std::size_t i = 0; i < names.size(); ++i) texts.parameters[i].name = names[i];
}

FitParameterTexts rowText(const FitParameter& parameter, DecimalFormat decimal) {
  FitParameterTexts row;
  row.value = formatFieldNumber(parameter.value, decimal);
  row.free = parameter.free;
  row.min = boundText(parameter.min, decimal);
  row.max = boundText(parameter.max, decimal);
  return row;
}

// A start model with the program's grid, contamination, display constants,
// widths and Convolve, and no layer yet.
SampleModel modelFromProgram(const CommandContext& context) {
  const DepthProfile& profile = context.state.currentProfile;
  const ParameterBlock& parameters = context.state.parameterBlock;
  SampleModel model;
  model.maxDepth = profile.maximumDepth();
  model.step = profile.step;
  model.contamination = profile.contaminationDepth;
  model.multiplier = {parameters.multiplier, true, 0.0, kInfinity};
  model.background = {parameters.background, false, 0.0, kInfinity};
  model.energyShift = {parameters.energyShift};
  model.convolve = context.texts.drawProfile.convolve;
  model.lorentzianWidth = {parameters.lorentzianWidth, false, 0.0, kInfinity};
  model.gaussianWidth = {parameters.gaussianWidth, false, 0.0, kInfinity};
  return model;
}

// Positions free within the grid, the widths fixed (what the depth
// resolution cannot see is better fixed than fitted), the concentration free
// except in the first layer, whose scale the multiplier already carries.
LayerModel startLayer(double from, double to, double concentration, double maxDepth, bool first) {
  LayerModel layer;
  layer.from = {from, true, 0.0, maxDepth};
  layer.to = {to, true, 0.0, maxDepth};
  layer.concentration = {concentration, !first, 0.0, kInfinity};
  layer.topWidth = {0.0, false, 0.0, kInfinity};
  layer.bottomWidth = {0.0, false, 0.0, kInfinity};
  return layer;
}

// The depth where the profile crosses `level` between points i-1 and i.
double crossingDepth(const DepthProfile& profile, std::size_t i, double level) {
  const double before = profile.values[i - 1];
  const double after = profile.values[i];
  return (static_cast<double>(i - 1) + (level - before) / (after - before)) * profile.step;
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

// True when `text` names the parameter as a whole word ("layer1.to" is not
// named by "layer1.top_width").
bool mentions(const std::string& text, const std::string& name) {
  const auto isNamePart = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
  };
  for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
    const std::size_t end = at + name.size();
    if ((at == 0 || !isNamePart(text[at - 1])) && (end == text.size() || !isNamePart(text[end]))) {
      return true;
    }
  }
  return false;
}

// The value rounded to its error's second significant digit.
std::string estimateText(double value, const std::optional<double>& error, bool free) {
  char buffer[96];
  if (!free) {
    std::snprintf(buffer, sizeof buffer, "%.6g (fixed)", value);
  } else if (!error) {
    std::snprintf(buffer, sizeof buffer, "%.6g ± undetermined", value);
  } else if (*error > 0.0 && std::isfinite(*error)) {
    const int decimals = std::clamp(1 - static_cast<int>(std::floor(std::log10(*error))), 0, 12);
    std::snprintf(buffer, sizeof buffer, "%.*f ± %.*f", decimals, value, decimals, *error);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.6g ± %.2g", value, *error);
  }
  return buffer;
}

std::string padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

void showFitResult(CommandContext& context, const FitResult& result) {
  FitTexts& texts = context.texts.fit;
  showSampleModel(texts, result.model, context.decimal);
  for (std::size_t i = 0; i < texts.parameters.size() && i < result.parameters.size(); ++i) {
    FitParameterTexts& row = texts.parameters[i];
    const EstimatedValue& estimate = result.parameters[i];
    row.result = estimateText(estimate.value, estimate.error, estimate.free);
    for (const std::string& warning : result.warnings) {
      if (!mentions(warning, row.name)) continue;
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

SampleModel sampleModelFromTexts(const FitTexts& texts, DecimalFormat decimal) {
  SampleModel model;
  model.maxDepth = fieldNumber(texts.maxDepth, "Max depth", decimal);
  model.step = fieldNumber(texts.step, "Step", decimal);
  model.contamination = fieldNumber(texts.contamination, "Contamination", decimal);
  model.convolve = texts.convolve;
  model.statistic = texts.statistic;
  const bool noFrom = texts.rangeFrom.find_first_not_of(' ') == std::string::npos;
  const bool noTo = texts.rangeTo.find_first_not_of(' ') == std::string::npos;
  if (noFrom != noTo) {
    throw CommandError("Give both ends of the energy range, or neither to fit every point.");
  }
  if (!noFrom) {
    model.energyRange = std::make_pair(fieldNumber(texts.rangeFrom, "Energy from", decimal),
                                       fieldNumber(texts.rangeTo, "Energy to", decimal));
  }
  model.layers.resize(layerCount(texts));
  const std::vector<NamedParameter> parameters = namedParameters(model);
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    const FitParameterTexts& row = texts.parameters[i];
    FitParameter& parameter = *parameters[i].parameter;
    const std::string& name = parameters[i].name;
    parameter.value = fieldNumber(row.value, name, decimal);
    parameter.free = row.free;
    parameter.min = boundNumber(row.min, name + " min", -kInfinity, decimal);
    parameter.max = boundNumber(row.max, name + " max", kInfinity, decimal);
  }
  return model;
}

void showSampleModel(FitTexts& texts, const SampleModel& model, DecimalFormat decimal) {
  texts.maxDepth = formatFieldNumber(model.maxDepth, decimal);
  texts.step = formatFieldNumber(model.step, decimal);
  texts.contamination = formatFieldNumber(model.contamination, decimal);
  texts.convolve = model.convolve;
  texts.statistic = model.statistic;
  texts.rangeFrom = model.energyRange ? formatFieldNumber(model.energyRange->first, decimal) : "";
  texts.rangeTo = model.energyRange ? formatFieldNumber(model.energyRange->second, decimal) : "";
  SampleModel copy = model;
  texts.parameters.clear();
  for (const NamedParameter& named : namedParameters(copy)) {
    texts.parameters.push_back(rowText(*named.parameter, decimal));
    texts.parameters.back().name = named.name;
  }
}

void openFit(CommandContext& context) {
  FitTexts& texts = context.texts.fit;
  if (texts.parameters.empty()) {
    SampleModel model;
    try {
      model = proposeSampleModel(context);
    } catch (const CommandError&) {
      // Nothing drawn yet: one layer to start from.
      model = modelFromProgram(context);
      const double to = std::min(1.5, model.maxDepth);
      model.layers.push_back(startLayer(std::min(0.5, to), to, 1.0, model.maxDepth, true));
    }
    model.statistic = texts.statistic;
    showSampleModel(texts, model, context.decimal);
    context.ui.redraw(View::FitFields);
  }
  context.ui.showWindow(WindowId::Fit);
}

SampleModel proposeSampleModel(const CommandContext& context) {
  const DepthProfile& profile = context.state.currentProfile;
  SampleModel model = modelFromProgram(context);
  const double peak = profile.values.empty()
                          ? 0.0
                          : *std::max_element(profile.values.begin(), profile.values.end());
  if (!(peak > 0.0)) {
    throw CommandError("The current profile is empty: draw it first, or type the layers.");
  }
  const double half = peak / 2.0;
  const std::size_t n = profile.values.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (profile.values[i] < half) continue;
    std::size_t last = i;
    double sum = 0.0;
    for (; last < n && profile.values[last] >= half; ++last) sum += profile.values[last];
    const double from = i == 0 ? 0.0 : crossingDepth(profile, i, half);
    const double to = last == n ? model.maxDepth : crossingDepth(profile, last, half);
    model.layers.push_back(startLayer(from, to, sum / static_cast<double>(last - i), model.maxDepth,
                                      model.layers.empty()));
    i = last;
  }
  return model;
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
  FitTexts& texts = context.texts.fit;
  const std::size_t layers = layerCount(texts);
  const DecimalFormat decimal = context.decimal;
  double from = 0.0;
  double maxDepth = kInfinity;
  // Unreadable fields only cost the new layer its sensible start.
  try {
    maxDepth = parseFieldDouble(texts.maxDepth, decimal);
    if (layers > 0)
      from = parseFieldDouble(texts.parameters[layers * kLayerRows - 4].value, decimal);
  } catch (const CommandError&) {
  }
  const LayerModel layer =
      startLayer(std::min(from, maxDepth), std::min(from + 1.0, maxDepth), 1.0, maxDepth, false);
  const std::vector<FitParameterTexts> rows = {
      rowText(layer.from, decimal), rowText(layer.to, decimal),
      rowText(layer.concentration, decimal), rowText(layer.topWidth, decimal),
      rowText(layer.bottomWidth, decimal)};
  texts.parameters.insert(texts.parameters.begin() + static_cast<long>(layers * kLayerRows),
                          rows.begin(), rows.end());
  nameRows(texts);
  context.ui.redraw(View::FitFields);
}

void removeFitLayer(CommandContext& context, int layer) {
  refuseWhileFitting(context);
  FitTexts& texts = context.texts.fit;
  const std::size_t layers = layerCount(texts);
  if (layers == 0) throw CommandError("There is no layer to remove.");
  const std::size_t removed = layer >= 0 && static_cast<std::size_t>(layer) < layers
                                  ? static_cast<std::size_t>(layer)
                                  : layers - 1;
  const auto first = texts.parameters.begin() + static_cast<long>(removed * kLayerRows);
  texts.parameters.erase(first, first + static_cast<long>(kLayerRows));
  nameRows(texts);
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

std::string fitResultsTable(const FitResult& result) {
  std::size_t width = 10;
  for (const EstimatedValue& value : result.parameters) width = std::max(width, value.name.size());
  for (const EstimatedValue& value : result.derived) width = std::max(width, value.name.size());
  width += 2;

  char line[256];
  std::string text;
  std::snprintf(line, sizeof line, "%s after %d iterations, statistic %s\n",
                result.converged ? "Converged" : "Not converged", result.iterations,
                statisticName(result.model.statistic));
  text += line;
  std::snprintf(line, sizeof line,
                "chi2 %.6g   points %d   free parameters %d   dof %d   reduced chi2 %.4g\n\n",
                result.chi2, result.points, result.freeParameters, result.dof, result.reducedChi2);
  text += line;
  text += padded("parameter", width) + "value ± error\n";
  for (const EstimatedValue& value : result.parameters) {
    text += padded(value.name, width) + estimateText(value.value, value.error, value.free) + '\n';
  }
  text += '\n';
  for (const EstimatedValue& value : result.derived) {
    text += padded(value.name, width) + estimateText(value.value, value.error, true) + '\n';
  }
  if (!result.correlationNames.empty()) {
    text += "\ncorrelation (--- where undetermined)\n";
    for (std::size_t i = 0; i < result.correlationNames.size(); ++i) {
      text += padded(result.correlationNames[i], width);
      for (std::size_t j = 0; j < result.correlation[i].size(); ++j) {
        const std::optional<double>& r = result.correlation[i][j];
        if (r) {
          std::snprintf(line, sizeof line, "%7.3f", *r);
        } else {
          std::snprintf(line, sizeof line, "%7s", "---");
        }
        text += line;
      }
      text += '\n';
    }
  }
  if (!result.warnings.empty()) {
    text += "\nwarnings\n";
    for (const std::string& warning : result.warnings) text += "- " + warning + '\n';
  }
  return text;
}

void saveFitModel(CommandContext& context) {
  const SampleModel model = sampleModelFromTexts(context.texts.fit, context.decimal);
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
