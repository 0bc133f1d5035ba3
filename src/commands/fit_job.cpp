#include "commands/fit_job.h"

#include <random>

#include "commands/command_error.h"
#include "commands/convolutions_notice.h"
#include "commands/depth_regions.h"
#include "commands/fit_file_commands.h"
#include "commands/fit_measurements.h"
#include "commands/fit_problem.h"
#include "commands/fit_result_view.h"
#include "commands/fit_table.h"
#include "commands/measurement_chart.h"
#include "commands/truncation_warning.h"
#include "fit/profile_band.h"
#include "fit/profile_rendering.h"

namespace {

// "Sample posterior"'s steps and seed, from the window's fields.
void readPosteriorFields(const FitTexts& texts, PreparedFit& prepared) {
  const std::optional<int> steps = posteriorStepsOf(texts.posteriorSteps);
  if (!steps) throw CommandError(kPosteriorStepsMessage);
  prepared.posterior.steps = *steps;
  const std::optional<std::uint64_t> seed = posteriorSeedOf(texts.posteriorSeed);
  if (!seed) throw CommandError(kPosteriorSeedMessage);
  prepared.seed = *seed;
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

PreparedFit prepareFit(CommandContext& context, FitJob job) {
  refuseWhileFitting(context);
  PreparedFit prepared;
  prepared.job = job;
  if (job == FitJob::Posterior) {
    prepared.fit = context.texts.fit.lastResult;
    if (!prepared.fit) throw CommandError("There is no fit to sample around yet: press Fit first.");
    prepared.model = sampleModelOf(prepared.fit->joint);
    readPosteriorFields(context.texts.fit, prepared);
  } else {
    prepared.model = checkedTableSampleModel(context);
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
  showFitWarnings(context, {});
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

ChartSeries fitCurveSeries(const PreparedFit& prepared, const JointModel& model,
                           const DepthProfile* profile) {
  const std::vector<Measurement>& measurements = prepared.problem.measurements;
  const std::size_t shown = prepared.shown < measurements.size() ? prepared.shown : 0;
  return measurementCurveSeries(measurements.at(shown), model.measurements.at(shown),
                                profile ? *profile : renderProfile(model.sample));
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
  std::vector<ChartPoint> points;  // the first curve's, where the band is drawn
  std::vector<std::vector<double>> curves;
  const auto curveBand = [&](const auto& members, const auto& curveOf, const char* name) {
    for (const auto& member : members) {
      if (control.cancel && *control.cancel) return;
      const ChartSeries curve = curveOf(member);
      if (curves.empty()) points = curve.points;
      std::vector<double>& values = curves.emplace_back();
      for (const ChartPoint& point : curve.points) values.push_back(point.y);
      steps("Curve band:", static_cast<int>(curves.size()), static_cast<int>(members.size()));
    }
    if (curves.size() < 2) return;
    outcome.curveBand.name = name;
    const PercentileBand band = percentileBand(curves);
    for (std::size_t i = 0; i < std::min(points.size(), band.low.size()); ++i) {
      outcome.curveBand.low.points.push_back({points[i].x, band.low[i]});
      outcome.curveBand.high.points.push_back({points[i].x, band.high[i]});
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
      curveBand(
          result.bandMembers,
          [&](const DepthProfile& profile) {
            return fitCurveSeries(prepared, result.joint, &profile);
          },
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
          [&](const JointModel& model) { return fitCurveSeries(prepared, model); },
          kPosteriorBand);
    }
    outcome.result = std::move(posterior);
  }
  if (control.cancel && *control.cancel) {
    std::visit([](auto& r) { r.cancelled = true; }, outcome.result);
  }
  return outcome;
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
