#include "commands/fit_commands.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <random>
#include <tuple>
#include <type_traits>

#include "commands/command_error.h"
#include "commands/convolutions_notice.h"
#include "commands/depth_regions.h"
#include "commands/excitation_commands.h"
#include "commands/fit_measurements.h"
#include "commands/fit_problem.h"
#include "commands/fit_results_text.h"
#include "commands/fit_table.h"
#include "commands/measurement_chart.h"
#include "commands/profile_editor_commands.h"
#include "commands/show_commands.h"
#include "commands/target_commands.h"
#include "commands/truncation_warning.h"
#include "commands/zoomed_range.h"
#include "files/atomic_file.h"
#include "files/fit_result_file.h"
#include "files/inversion_result_file.h"
#include "files/sample_model_file.h"
#include "files/text_numbers.h"
#include "fit/fit_error.h"
#include "fit/model_check.h"
#include "fit/profile_band.h"
#include "fit/profile_rendering.h"

namespace {

// A field's text without the blanks around it.
std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  return first == std::string::npos ? std::string()
                                    : text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

FileDialogRequest modelDialog(const std::string& proposedName) {
  return {"Sample models (*.json)|*.json|All files (*.*)|*.*", "json", proposedName};
}

// The table as a model, with the program's resonance (the line shape
// Calculate draws), refused with the one model check's sentence: Apply and
// the jobs that start from the table take it alike.
SampleModel tableModel(const CommandContext& context) {
  SampleModel model = sampleModelFromTexts(context.texts.fit, context.decimal);
  model.resonance = context.state.resonance;
  return model;
}

SampleModel checkedTableModel(CommandContext& context) {
  SampleModel model = tableModel(context);
  if (const std::optional<std::string> fault = modelFault(model)) throw FitError(*fault);
  return model;
}

void showWarningList(CommandContext& context, std::vector<std::string> warnings) {
  context.texts.fit.warnings = std::move(warnings);
  context.ui.redraw(View::FitResults);
}

// The residual plot: (y - f)/sigma at each used point.
void showResiduals(CommandContext& context, const std::vector<FittedPoint>& points) {
  std::vector<ChartPoint>& residuals = context.charts.fit.residuals.points;
  residuals.clear();
  for (const FittedPoint& point : points) residuals.push_back({point.energy, point.normalized});
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
  showSampleModel(texts, result.model, context.decimal);
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
  showResiduals(context, result.residuals);
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

// The bands' legend entries: what they are the spread of.
constexpr const char* kBootstrapBand = "16–84% of bootstrap replicas";
constexpr const char* kPosteriorBand = "16–84% of posterior samples";

// "Sample posterior"'s steps and seed, from the window's fields.
void readPosteriorFields(const FitTexts& texts, PreparedFit& prepared) {
  const std::optional<int> steps = posteriorStepsOf(texts.posteriorSteps);
  if (!steps) throw CommandError(kPosteriorStepsMessage);
  prepared.posterior.steps = *steps;
  const std::string seed = trimmed(texts.posteriorSeed);
  const auto [end, fault] = std::from_chars(seed.data(), seed.data() + seed.size(), prepared.seed);
  if (seed.empty() || fault != std::errc() || end != seed.data() + seed.size()) {
    throw CommandError("The posterior's seed is a whole number from 0 to 18446744073709551615.");
  }
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

std::optional<int> posteriorStepsOf(const std::string& typed) {
  std::string text = trimmed(typed);
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (text == "auto") return 0;
  int steps = 0;
  const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), steps);
  if (text.empty() || fault != std::errc() || end != text.data() + text.size() || steps < 2 ||
      steps > 10000000) {
    return std::nullopt;
  }
  return steps;
}

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
  std::tie(texts.rangeFrom, texts.rangeTo) =
      zoomedRangeTexts(context.state.experimentalData, chartMinimumKev - shift,
                       chartMaximumKev - shift, context.decimal);
  context.ui.redraw(View::FitFields);
}

void applyFitModel(CommandContext& context) {
  refuseWhileFitting(context);
  const SampleModel model = checkedTableModel(context);
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
    readPosteriorFields(context.texts.fit, prepared);
  } else {
    prepared.model = checkedTableModel(context);
  }
  if (job == FitJob::FreeForm) {
    prepared.regions = parseDepthRegions(context.texts.fit.regions, context.decimal);
  }
  checkFitMemory(prepared.model, job == FitJob::Posterior, context.memory);
  // The worker reads its own copy of the set, so nothing the user does
  // meanwhile can pull it from under it.
  prepared.problem = fitProblemOf(context, prepared.model);
  if (job == FitJob::Posterior && prepared.problem.measurements.size() > 1) {
    if (prepared.fit->joint.measurements.size() != prepared.problem.measurements.size()) {
      throw CommandError("The measurements changed since the last fit: press Fit first.");
    }
    prepared.problem = withValues(prepared.problem, prepared.fit->joint);
  }
  prepared.shown = context.texts.fit.shownMeasurement;
  if (context.state.experimentalData.size() < 2) {
    throw CommandError("Load measured data first (Data → Load experimental data).");
  }
  checkProblem(prepared.problem);
  prepared.mainChartBefore = context.charts.main;
  prepared.warningsBefore = context.texts.fit.warnings;
  static constexpr const char* kStarting[] = {"Fitting...", "Inverting...", "Sampling..."};
  context.texts.fit.progress = kStarting[static_cast<int>(job)];
  context.ui.redraw(View::FitStatus);
  showWarningList(context, {});
  checkConvolutionsOrigin(context);
  return prepared;
}

FitResult runFit(const PreparedFit& prepared, const std::atomic<bool>* cancel,
                 const std::function<void(const FitProgress&)>& progress) {
  FitControl control;
  control.cancel = cancel;
  control.progress = progress;
  control.errors = FitErrors::Profile;
  control.starts = kDefaultStarts;
  FitResult result = fitProblem(prepared.problem, control);
  if (!result.cancelled) addTruncationWarnings(prepared.problem, result);
  return result;
}

ChartSeries fitCurveSeries(const PreparedFit& prepared, const SampleModel& model,
                           const DepthProfile* profile) {
  const std::vector<Measurement>& measurements = prepared.problem.measurements;
  const Measurement& measurement =
      measurements.at(prepared.shown < measurements.size() ? prepared.shown : 0);
  // The model's numbers are the first measurement's: another one takes
  // those it shares and keeps its own.
  MeasurementModel constants = model;
  if (measurements.size() > 1) {
    constants = measurement.model;
    for (ParameterKind kind : kMeasurementKinds) {
      if (constants.shared[measurementSlot(kind)]) {
        measurementParameter(constants, kind) = measurementParameter(model, kind);
      }
    }
  }
  constants.tilt = measurement.model.tilt;
  return measurementCurveSeries(measurement, constants, profile ? *profile : renderProfile(model));
}

bool FitOutcome::cancelled() const {
  return std::visit([](const auto& r) { return r.cancelled; }, result);
}

FitOutcome runFitJob(const PreparedFit& prepared, const FitJobControl& control) {
  // A fixed seed (the posterior's from its field): the same data and
  // settings give the same band every time.
  std::mt19937_64 generator(prepared.job == FitJob::Posterior ? prepared.seed : 1);
  int shownPercent = -1;
  const char* shownStage = nullptr;
  const auto steps = [&](const char* what, int done, int total) {
    // A sampler takes thousands of steps: the window hears of every percent.
    const int percent = total > 0 ? static_cast<int>(100LL * done / total) : 0;
    if (!control.stepProgress || (percent == shownPercent && what == shownStage)) return;
    shownPercent = percent;
    shownStage = what;
    control.stepProgress(std::string(what) + " " + std::to_string(done) + " of " +
                         std::to_string(total));
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
    InversionSettings settings;
    settings.regions = prepared.regions;
    InversionResult result = invertProblem(prepared.problem, settings, generator, inversionControl);
    if (!result.cancelled) {
      addTruncationWarnings(prepared.problem, result);
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
    const std::string most = std::to_string(prepared.posterior.mostSteps);
    const std::string untilConverged = "Step (auto: until converged, at most " + most + ")";
    samplerControl.progress = [&](const SamplerProgress& p) {
      steps(p.untilConverged ? untilConverged.c_str() : "Step", p.step, p.roundEnd);
    };
    LayerPosterior posterior = samplePosterior(*prepared.fit, prepared.problem, prepared.posterior,
                                               generator, samplerControl);
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

void finishFit(CommandContext& context, const PreparedFit& prepared, FitResult result) {
  if (result.cancelled) {
    abandonFit(context, prepared);
    return;
  }
  adoptAndDraw(context, result.model, result.profile);
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
  showWarningList(context, prepared.warningsBefore);
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
    adopted.background.value = inversion->background;
    adoptAndDraw(context, adopted, inversion->profile);
    JointModel shown = prepared.problem.model();
    for (MeasurementModel& m : shown.measurements) {
      if (m.shared[measurementSlot(ParameterKind::Background)]) {
        m.background.value = inversion->background;
      }
    }
    redrawShownMeasurement(context, prepared.problem, shown);
    showMeasurementSummaries(texts, *inversion);
    fillChartBand(charts.drawProfile.band, inversion->band, kBootstrapBand);
    texts.results = inversionResultsTable(*inversion, knownTargetComposition(context));
    texts.progress = "Free-form profile: α = " + formatTextFileNumber(inversion->alpha, 3) +
                     ", χ²/ν = " + formatTextFileNumber(inversion->reducedChi2, 4);
    // The table's results were the fit's, whose profile this one replaces.
    for (FitParameterTexts& row : texts.parameters) row.result.clear();
    showRowWarnings(texts, inversion->warnings);
    showResiduals(context, inversion->residuals);
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

void saveFitModel(CommandContext& context) {
  const SampleModel model = tableModel(context);
  const SampleModelDocument document = fitModelDocument(context, model);
  std::string& name = context.texts.fit.modelFile;
  // A model is only saved as Load model takes it back.
  parseSampleModelDocument(sampleModelDocumentJson(document, name), "The model");
  const std::optional<std::string> path = context.ui.chooseFileToSave(modelDialog(name));
  if (!path) return;
  name = *path;
  if (!writeSampleModelDocument(*path, document)) throw CommandError("Cannot create file " + *path);
}

void loadFitModel(CommandContext& context) {
  refuseWhileFitting(context);
  std::string& name = context.texts.fit.modelFile;
  const std::optional<std::string> path = context.ui.chooseFileToOpen(modelDialog(name));
  if (!path) return;
  name = *path;
  const SampleModelDocument document = readSampleModelDocument(*path);
  showModelMeasurements(context, document);
  showSampleModel(context.texts.fit, document.model, context.decimal);
  // The model's resonance becomes the program's choice, which the table's fits use.
  context.state.resonance = document.model.resonance;
  context.ui.redraw(View::FitFields);
  context.ui.redraw(View::ProfileParametersFields);
  context.ui.redraw(View::ShowFields);
  // The warnings were about the model the loaded one replaces.
  showWarningList(context, {});
}

void saveFitResults(CommandContext& context) {
  const FitTexts& texts = context.texts.fit;
  const std::shared_ptr<const FitJobResult> shown = texts.shownResult;
  if (!shown) throw CommandError("There is no fit result yet: press Fit first.");
  // A posterior is written with the fit it was sampled around.
  const std::string json = std::visit(
      [&](const auto& result) -> std::string {
        using Result = std::decay_t<decltype(result)>;
        if constexpr (std::is_same_v<Result, FitResult>) return fitResultJson(result);
        if constexpr (std::is_same_v<Result, InversionResult>) return inversionResultJson(result);
        if constexpr (std::is_same_v<Result, LayerPosterior>) {
          return fitResultJson(*texts.lastResult, &result);
        }
      },
      *shown);
  std::string& name = context.texts.fit.resultsFile;
  const std::optional<std::string> path = context.ui.chooseFileToSave(
      {"Fit results (*.json)|*.json|All files (*.*)|*.*", "json", name});
  if (!path) return;
  name = *path;
  if (!writeFileAtomically(*path, json)) {
    throw CommandError("Cannot create file " + *path);
  }
}
