#include "commands/fit_file_commands.h"
#include "commands/fit_job.h"
#include "commands/fit_measurements.h"
#include "commands/fit_result_view.h"
#include "commands/fit_table.h"
#include "commands/fit_table_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>

#include "commands/autoconvolution_commands.h"
#include "commands/data_commands.h"
#include "commands/depth_regions.h"
#include "commands/excitation_commands.h"
#include "commands/profile_editor_commands.h"
#include "commands/profile_file_commands.h"
#include "commands/resonance_commands.h"
#include "commands/show_commands.h"
#include "commands/target_commands.h"
#include "files/temporary_directory.h"
#include "fit/profile_rendering.h"
#include "scripted_user_interface.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Points 40..99 at concentration 1: the sharp layer 0.1975 .. 0.4975 ug/cm2
// as cell means render it. Nc 20 reaches about 0.9 ug/cm2.
constexpr double kTrueFrom = 0.1975;
constexpr double kTrueTo = 0.4975;
constexpr double kTrueMultiplier = 2000.0;

// A calculated set and noiseless measured points of a drawn layer; the
// current profile is then cleared, as if the user had not drawn it.
struct MeasuredFixture : CommandFixture {
  DepthProfile before;

  // With a composition, "From target..." sets the stopping power first.
  explicit MeasuredFixture(const char* composition = nullptr) {
    if (composition != nullptr) {
      TargetTexts target;
      target.composition = composition;
      target.energy = texts.calculationParameters.beamEnergy;
      applyTargetFigures(context, computeTargetFigures(target, context.decimal));
    }
    texts.calculationParameters.nc = "20";
    startCalculation(context);
    for (int i = 40; i < 100; ++i) state.currentProfile.values[i] = 1.0;
    state.parameterBlock.multiplier = kTrueMultiplier;
    calculateExcitation(context);
    const std::vector<ChartPoint>& curve = charts.main.computedCurve.points;
    for (std::size_t i = 0; i < curve.size(); i += 12) {
      state.experimentalData.push_back(
          {static_cast<float>(curve[i].x), static_cast<float>(curve[i].y), 0.0f});
    }
    state.experimentalData.push_back({});  // the spare entry a load leaves
    state.parameterBlock.multiplier = 1.0;
    state.currentProfile.values.assign(state.currentProfile.values.size(), 0.0);
    state.currentProfile.values[700] = 0.3;  // something for Ctrl+Z to bring back
    before = state.currentProfile;
    state.undoProfile = DepthProfile::forMaximumDepth(1.0, 0.005);
  }

  // One layer started 20-40% off, its positions and the multiplier free.
  SampleModel startModel() const {
    SampleModel model;
    model.maxDepth = 10.0;
    model.step = 0.005;
    LayerModel layer;
    layer.from = {0.26, true, 0.0, 10.0};
    layer.to = {0.38, true, 0.0, 10.0};
    model.layers.push_back(layer);
    model.multiplier = {1400.0, true, 0.0, kInf};
    return model;
  }

  // A quick fit of the start model: two free parameters.
  void fitQuickly() {
    SampleModel model = startModel();
    model.layers[0].from.free = false;
    showSampleModel(texts.fit, model, context.decimal);
    fitSampleModelCommand(context);
  }
};

TEST(FitCommands, AFitBecomesTheCurrentProfileAndCtrlZBringsTheOldOneBack) {
  MeasuredFixture f;
  showSampleModel(f.texts.fit, f.startModel(), f.context.decimal);
  fitSampleModelCommand(f.context);

  const FitResult& result = *f.texts.fit.lastResult;
  ASSERT_TRUE(result.converged);
  EXPECT_NEAR(result.joint.sample.layers[0].from.value, kTrueFrom, 0.002);
  EXPECT_NEAR(result.joint.sample.layers[0].to.value, kTrueTo, 0.002);
  EXPECT_NEAR(result.joint.measurements[0].multiplier.value, kTrueMultiplier, 0.01 * kTrueMultiplier);
  EXPECT_EQ(f.state.currentProfile, result.profile);
  EXPECT_EQ(f.state.parameterBlock.multiplier, result.joint.measurements[0].multiplier.value);
  // The table now starts from the fitted values and shows the errors.
  EXPECT_EQ(f.texts.fit.parameters[0].name, "layer1.from");
  const std::string& shown = f.texts.fit.parameters[0].result;
  EXPECT_TRUE(shown.find(" ± ") != std::string::npos || shown.find(" −") != std::string::npos)
      << shown;
  EXPECT_NE(f.texts.fit.parameters[2].result.find("(fixed)"), std::string::npos);
  EXPECT_EQ(f.charts.fit.residuals.points.size(), static_cast<std::size_t>(result.points));
  EXPECT_NE(f.texts.fit.results.find("layer1.amount"), std::string::npos);

  // The main chart shows what F5 gives for the fitted profile and constants.
  const std::vector<ChartPoint> drawn = f.charts.main.computedCurve.points;
  calculateExcitation(f.context);
  EXPECT_EQ(f.charts.main.computedCurve.points, drawn);

  f.state.undoProfile = f.before;  // F5 above kept the fitted one for undo
  undoProfile(f.context);
  EXPECT_EQ(f.state.currentProfile, f.before);
}

// The residual plot shows measured less fitted: a point raised above the curve lies above 0,
// one lowered below it under 0.
TEST(FitCommands, APointAboveTheFittedCurveHasAPositiveResidual) {
  MeasuredFixture f;
  std::vector<ExperimentalPoint>& data = f.state.experimentalData;
  const auto peak = std::max_element(data.begin(), data.end(), [](const auto& a, const auto& b) {
    return a.yield < b.yield;
  });
  ExperimentalPoint& raised = *peak;
  ExperimentalPoint& lowered = *(peak + 2);
  ASSERT_GT(lowered.yield, 0.5f * raised.yield);
  raised.yield *= 2.0f;
  lowered.yield *= 0.4f;
  f.fitQuickly();
  auto residualAt = [&](float energy) {
    for (const ChartPoint& p : f.charts.fit.residuals.points) {
      if (p.x == energy) return p.y;
    }
    ADD_FAILURE() << "no residual at " << energy;
    return 0.0;
  };
  EXPECT_GT(residualAt(raised.energy), 0.5);
  EXPECT_LT(residualAt(lowered.energy), -0.3);
}

// A layer deeper than the set's 20 collisions reach: the fit says so, as the batch fit does.
TEST(FitCommands, AFitOfAProfileDeeperThanTheSetReachesSaysSo) {
  MeasuredFixture f;
  SampleModel model = f.startModel();
  model.layers[0].from = {1.2};
  model.layers[0].to = {1.6};
  showSampleModel(f.texts.fit, model, f.context.decimal);
  fitSampleModelCommand(f.context);
  ASSERT_TRUE(f.texts.fit.lastResult);
  const std::vector<std::string>& warnings = f.texts.fit.lastResult->warnings;
  EXPECT_EQ(std::count_if(warnings.begin(), warnings.end(),
                          [](const std::string& w) {
                            return w.rfind("The autoconvolutions end at Nc 20", 0) == 0;
                          }),
            1);
}

// A cross section that the set's curves never reach: each desktop command
// that would broaden with it says so, naming both energy ranges.
TEST(FitCommands, ACrossSectionBesideTheSetsEnergiesIsNamedByEveryCommand) {
  MeasuredFixture f;
  f.ui.openChoices = {std::string(TERVANE_EXAMPLES_DIR) + "/iaea-pige2-ex2/breit_wigner_r33.csv"};
  chooseResonance(f.context, ResonanceKind::File);
  showSampleModel(f.texts.fit, f.startModel(), f.context.decimal);
  f.texts.show.convolve = true;
  for (const auto& command : {calculateExcitation, plotLewis, fitSampleModelCommand}) {
    const std::string message = commandMessage([&] { command(f.context); });
    EXPECT_NE(message.find("the cross section covers 1678.3-1688.3 keV"), std::string::npos)
        << message;
    EXPECT_NE(message.find("(beam energy 151 keV) reach only"), std::string::npos) << message;
  }
}

// Counts of events cannot be negative: the desktop's fit names the loaded
// file's line, as the batch fit does.
TEST(FitCommands, ANegativeCountIsRefusedNamingItsDataFilesLine) {
  MeasuredFixture f;
  TemporaryDirectory dir;
  const std::string path = dir.path("subtracted.dat");
  std::ofstream(path) << "# energy counts\n151.0 3\n151.1 -5\n151.2 4\n151.3 6\n";
  f.ui.openChoices = {path};
  loadExperimentalData(f.context);
  showSampleModel(f.texts.fit, f.startModel(), f.context.decimal);
  EXPECT_EQ(commandMessage([&] { fitSampleModelCommand(f.context); })
                .rfind(path + ", line 3 holds -5 counts, but the statistic \"poisson\"", 0),
            0u);
}

// SiO2 by hand: 1e-6 g x 6.02214076e23 / ((28.0855 + 2 x 15.9994) / 3 g/mol)
// = 3.006846e16 atoms in 1 ug/cm2.
TEST(FitCommands, AmountsAreAlsoAtomsWhileTheStoppingPowerIsATargets) {
  MeasuredFixture f("SiO2");
  f.fitQuickly();
  const std::string& text = f.texts.fit.results;
  std::smatch m;
  ASSERT_TRUE(std::regex_search(
      text, m,
      std::regex(R"(layer1\.amount +([0-9.]+) [^=\n]*= \(([0-9.]+) ± ([0-9.]+)\)e(1[0-9]) atoms/cm2)")))
      << text;
  const double scale = std::pow(10.0, std::stoi(m[4]));
  EXPECT_NEAR(std::stod(m[2]) * scale, std::stod(m[1]) * 3.006846e16, std::stod(m[3]) * scale);
  EXPECT_NE(text.find("20.028 g/mol per atom of SiO2"), std::string::npos) << text;

  // A stopping power typed since: the amount's target is no longer known.
  f.texts.calculationParameters.stoppingPower += "1";
  f.fitQuickly();
  EXPECT_NE(f.texts.fit.results.find("layer1.amount"), std::string::npos);
  EXPECT_EQ(f.texts.fit.results.find("atoms/cm2"), std::string::npos) << f.texts.fit.results;
}

TEST(FitCommands, UndoAfterAFitGivesTheProfileBeforeIt) {
  MeasuredFixture f;
  f.fitQuickly();
  ASSERT_NE(f.state.currentProfile, f.before);
  undoProfile(f.context);
  EXPECT_EQ(f.state.currentProfile, f.before);
}

// Ctrl+Z right after a fit or a free-form profile brings back the profile,
// the constants it replaced and the curve they give together.
class UndoAfterAJob : public ::testing::TestWithParam<FitJob> {};

TEST_P(UndoAfterAJob, RestoresTheProfileTheConstantsAndTheirCurve) {
  MeasuredFixture f;
  SampleModel model = f.startModel();
  if (GetParam() == FitJob::FreeForm) model.multiplier = {kTrueMultiplier, false, 0.0, kInf};
  model.background = {3.0, true, 0.0, kInf};
  showSampleModel(f.texts.fit, model, f.context.decimal);
  const ParameterBlock constants = f.state.parameterBlock;
  const AxisRange axis{0.0, 2.5};  // as "Change scale" left it
  f.charts.drawProfile.concentrationAxis = axis;
  runFitJobCommand(f.context, GetParam());
  ASSERT_NE(f.state.parameterBlock, constants);
  // The concentration axis shows the new profile and its band whole, with little room above.
  double highest = 0.0;
  for (double value : f.state.currentProfile.values) highest = std::max(highest, value);
  for (const ChartPoint& point : f.charts.drawProfile.band.high.points) {
    highest = std::max(highest, point.y);
  }
  EXPECT_GE(f.charts.drawProfile.concentrationAxis.maximum, highest);
  EXPECT_LE(f.charts.drawProfile.concentrationAxis.maximum, 1.1 * highest);
  undoProfile(f.context);
  EXPECT_EQ(f.state.currentProfile, f.before);
  EXPECT_EQ(f.state.parameterBlock, constants);
  EXPECT_EQ(f.charts.drawProfile.concentrationAxis, axis);
  const std::vector<ChartPoint> drawn = f.charts.main.computedCurve.points;
  calculateExcitation(f.context);
  EXPECT_EQ(f.charts.main.computedCurve.points, drawn);
  // A second Ctrl+Z is an ordinary one: the constants stay.
  f.state.parameterBlock.multiplier = 7.0;
  undoProfile(f.context);
  EXPECT_EQ(f.state.parameterBlock.multiplier, 7.0);
}

INSTANTIATE_TEST_SUITE_P(FitCommands, UndoAfterAJob,
                         ::testing::Values(FitJob::Fit, FitJob::FreeForm),
                         [](const ::testing::TestParamInfo<FitJob>& info) {
                           return info.param == FitJob::Fit ? "fit" : "freeForm";
                         });

TEST(FitCommands, ApplyRendersTheTableIntoTheProfileAndIsUndone) {
  MeasuredFixture f;
  SampleModel model = f.startModel();
  model.contamination = 0.3;
  model.layers[0].topWidth.value = 0.02;
  showSampleModel(f.texts.fit, model, f.context.decimal);
  applyFitModel(f.context);
  EXPECT_EQ(f.state.currentProfile, renderProfile(model));
  EXPECT_EQ(f.state.currentProfile.values[10], 0.0);  // under the contamination
  EXPECT_GT(f.state.currentProfile.values[70], 0.99);
  EXPECT_EQ(f.charts.drawProfile.profile.points.size(), f.state.currentProfile.values.size());
  undoProfile(f.context);
  EXPECT_EQ(f.state.currentProfile, f.before);
}

TEST(FitCommands, ApplyAndFitRefuseAGridBeyondTheMemoryAvailableNow) {
  MeasuredFixture f;
  showSampleModel(f.texts.fit, f.startModel(), f.context.decimal);
  // 2000 points; the layer with its five derivatives and the profile twice.
  const std::uint64_t need = 2000 * 8 * sizeof(double);
  f.context.memory = {std::uint64_t{1} << 40, need - 1};
  for (const auto& command : {applyFitModel, fitSampleModelCommand}) {
    EXPECT_EQ(
        commandMessage([&] { command(f.context); }).rfind("A fit on 2000 depth points needs ", 0),
        0u);
    EXPECT_EQ(f.state.currentProfile, f.before);
  }
  f.context.memory.availableBytes = need;
  applyFitModel(f.context);
  EXPECT_NE(f.state.currentProfile, f.before);
}

// The band's edges hold low <= high everywhere and are apart somewhere.
void expectBand(const ChartBand& band, std::size_t points) {
  ASSERT_EQ(band.low.points.size(), points);
  ASSERT_EQ(band.high.points.size(), points);
  EXPECT_FALSE(band.name.empty());
  bool apart = false;
  for (std::size_t i = 0; i < points; ++i) {
    EXPECT_EQ(band.low.points[i].x, band.high.points[i].x);
    EXPECT_LE(band.low.points[i].y, band.high.points[i].y) << i;
    apart = apart || band.low.points[i].y < band.high.points[i].y;
  }
  EXPECT_TRUE(apart);
}

TEST(FitCommands, AFreeFormProfileBecomesCurrentWithItsBandsAndCtrlZUndoesIt) {
  MeasuredFixture f;
  SampleModel model = f.startModel();
  model.multiplier = {kTrueMultiplier, false, 0.0, kInf};  // the profile's scale
  model.background = {40.0, true, 0.0, kInf};  // far from the data's none
  showSampleModel(f.texts.fit, model, f.context.decimal);
  runFitJobCommand(f.context, FitJob::FreeForm);
  // Below the resonance the curve band is the fitted background's, not the start's.
  const ChartBand& curves = f.charts.main.curveBand;
  ASSERT_FALSE(curves.empty());
  EXPECT_LT(curves.high.points.front().y, 10.0);

  double amount = 0.0;
  for (double value : f.state.currentProfile.values) {
    EXPECT_GE(value, 0.0);
    amount += value * f.state.currentProfile.step;
  }
  EXPECT_NEAR(amount, (kTrueTo - kTrueFrom) * 1.0, 0.05 * (kTrueTo - kTrueFrom));
  EXPECT_EQ(f.state.undoProfile, f.before);
  EXPECT_NE(f.texts.fit.results.find("centroid"), std::string::npos);
  expectBand(f.charts.drawProfile.band, f.state.currentProfile.values.size());
  expectBand(f.charts.main.curveBand, f.charts.main.computedCurve.points.size());
  // The curve is Calculate's for the new profile.
  const std::vector<ChartPoint> drawn = f.charts.main.computedCurve.points;
  const DepthProfile profile = f.state.currentProfile;
  calculateExcitation(f.context);
  EXPECT_EQ(f.charts.main.computedCurve.points, drawn);

  f.state.undoProfile = f.before;  // F5 above kept the free-form one for undo
  undoProfile(f.context);
  EXPECT_EQ(f.state.currentProfile, f.before);
  EXPECT_TRUE(f.charts.drawProfile.band.empty());
  EXPECT_TRUE(f.charts.main.curveBand.empty());
}

// The window's regions: each one's amount and centroid with the results, the amounts of
// regions that tile the grid adding up to the whole; a malformed field stops before anything.
TEST(FitCommands, FreeFormReportsTheRegionsTypedAndRefusesMalformedOnes) {
  MeasuredFixture f;
  SampleModel model = f.startModel();
  model.multiplier = {kTrueMultiplier, false, 0.0, kInf};
  showSampleModel(f.texts.fit, model, f.context.decimal);
  f.texts.fit.regions = "0.5:0.25";
  EXPECT_EQ(commandMessage([&] { runFitJobCommand(f.context, FitJob::FreeForm); }),
            "The region '0.5:0.25' does not run from a shallower depth A to a deeper one B.");
  EXPECT_EQ(f.state.currentProfile, f.before);
  EXPECT_EQ(f.texts.fit.shownResult, nullptr);

  f.texts.fit.regions = "0:0.35, 0.35 : 10";
  runFitJobCommand(f.context, FitJob::FreeForm);
  ASSERT_NE(f.texts.fit.shownResult, nullptr);
  const auto& result = std::get<InversionResult>(*f.texts.fit.shownResult);
  ASSERT_EQ(result.regions.size(), 2u);
  EXPECT_EQ(result.regions[1].region, (DepthRegion{0.35, 10.0}));
  EXPECT_NEAR(result.regions[0].amount.value + result.regions[1].amount.value,
              result.amount.value, 1e-12);
  EXPECT_NEAR(result.regions[0].amount.value, 0.35 - kTrueFrom, 0.1 * (kTrueTo - kTrueFrom));
  EXPECT_NE(f.texts.fit.results.find("0.35:10 "), std::string::npos) << f.texts.fit.results;
  EXPECT_NE(f.texts.fit.results.find("deepest probed"), std::string::npos);
}

// With a decimal comma, commas are decimal points: only semicolons and blanks separate.
TEST(FitCommands, RegionsWithADecimalCommaSplitAtSemicolonsAndBlanks) {
  EXPECT_EQ(parseDepthRegions("0,1:0,5; 0,5:2 3:4", DecimalFormat{','}),
            (std::vector<DepthRegion>{{0.1, 0.5}, {0.5, 2.0}, {3.0, 4.0}}));
  EXPECT_EQ(parseDepthRegions("0.1:0.5,0.5:2", DecimalFormat{'.'}),
            (std::vector<DepthRegion>{{0.1, 0.5}, {0.5, 2.0}}));
}

TEST(FitCommands, APosteriorLeavesTheFitsProfileAndDrawsItsBands) {
  MeasuredFixture f;
  f.fitQuickly();  // two free parameters: a short chain
  const DepthProfile fitted = f.state.currentProfile;
  const std::vector<ChartPoint> curve = f.charts.main.computedCurve.points;
  EXPECT_EQ(f.texts.fit.posteriorSteps, "auto");
  // The steps and the seed as typed into the window.
  f.texts.fit.posteriorSteps = " 600 ";
  f.texts.fit.posteriorSeed = "7";
  runFitJobCommand(f.context, FitJob::Posterior);
  EXPECT_EQ(f.state.currentProfile, fitted);
  EXPECT_EQ(f.charts.main.computedCurve.points, curve);
  EXPECT_NE(f.texts.fit.results.find("layer1.to"), std::string::npos);
  EXPECT_NE(f.texts.fit.progress.find("600 steps"), std::string::npos) << f.texts.fit.progress;
  expectBand(f.charts.drawProfile.band, fitted.values.size());
  expectBand(f.charts.main.curveBand, curve.size());
  const std::string results = f.texts.fit.results;
  runFitJobCommand(f.context, FitJob::Posterior);
  EXPECT_EQ(f.texts.fit.results, results);
  f.texts.fit.posteriorSeed = "8";
  runFitJobCommand(f.context, FitJob::Posterior);
  EXPECT_NE(f.texts.fit.results, results);
}

// "Save results" and the window's warnings follow the job that ran last:
// before, a free-form profile or a posterior saved the earlier fit.
TEST(FitCommands, SaveResultsWritesTheResultShownWithItsOwnWarnings) {
  MeasuredFixture f;
  TemporaryDirectory directory;
  SampleModel model = f.startModel();
  model.background = {0.0, true, 0.0, kInf};  // noiseless data: it ends on its bound
  showSampleModel(f.texts.fit, model, f.context.decimal);
  fitSampleModelCommand(f.context);
  const std::vector<std::string> fitWarnings = shownWarnings(f.texts.fit);
  ASSERT_FALSE(fitWarnings.empty());
  const auto saved = [&](const char* name) {
    f.ui.saveChoices = {directory.path(name)};
    saveFitResults(f.context);
    std::ifstream in(directory.path(name));
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_NE(saved("fit.json").find("\"iterations\""), std::string::npos);

  f.texts.fit.posteriorSteps = "600";
  runFitJobCommand(f.context, FitJob::Posterior);
  const std::string posterior = saved("posterior.json");
  EXPECT_NE(posterior.find("\"posterior\""), std::string::npos);
  EXPECT_NE(posterior.find("\"iterations\""), std::string::npos);  // with the fit it sampled

  runFitJobCommand(f.context, FitJob::FreeForm);
  const std::string inversion = saved("free-form.json");
  EXPECT_NE(inversion.find("\"alpha\""), std::string::npos);
  EXPECT_EQ(inversion.find("\"iterations\""), std::string::npos);
  for (const std::string& warning : shownWarnings(f.texts.fit)) {
    // Nc 20 is short for the tail behind either profile, in the same words.
    if (warning.rfind("The autoconvolutions end at Nc 20,", 0) == 0) continue;
    EXPECT_EQ(std::count(fitWarnings.begin(), fitWarnings.end(), warning), 0) << warning;
  }
  for (const FitParameterTexts& row : f.texts.fit.parameters) {
    EXPECT_EQ(row.result, "") << row.name;
    EXPECT_EQ(row.warning.find("ends on its bound"), std::string::npos) << row.name;
  }
}

// Whatever puts another profile in place takes the bands away with it.
struct BandChange {
  const char* what;
  std::function<void(MeasuredFixture&, const std::string& savedProfile)> change;
};

void PrintTo(const BandChange& c, std::ostream* out) {
  *out << c.what;
}

class BandClearing : public ::testing::TestWithParam<BandChange> {};

TEST_P(BandClearing, RemovesBothBands) {
  MeasuredFixture f;
  TemporaryDirectory directory;
  const std::string saved = directory.path("saved.pro");
  writeProfileTo(f.context, saved);
  const ChartBand band{{{{0.0, 0.1}}}, {{{0.0, 0.3}}}, "band"};
  f.charts.drawProfile.band = band;
  f.charts.main.curveBand = band;
  GetParam().change(f, saved);
  EXPECT_TRUE(f.charts.drawProfile.band.empty());
  EXPECT_TRUE(f.charts.main.curveBand.empty());
}

INSTANTIATE_TEST_SUITE_P(
    FitCommands, BandClearing,
    ::testing::Values(BandChange{"drawing",
                                 [](MeasuredFixture& f, const std::string&) {
                                   profileMouseMove(f.context, 0.1, 0.5, false, false);
                                   profileMouseMove(f.context, 0.2, 0.5, true, false);
                                 }},
                      BandChange{"loading",
                                 [](MeasuredFixture& f, const std::string& path) {
                                   loadProfileFrom(f.context, path, false);
                                 }},
                      BandChange{"Clear band", [](MeasuredFixture& f,
                                                  const std::string&) { clearBand(f.context); }}),
    [](const ::testing::TestParamInfo<BandChange>& info) {
      return std::string(info.param.what[0] == 'C' ? "ClearBand" : info.param.what);
    });

// Each refusal: one message, and the profile, its undo copy, the constants,
// the main chart and the table's results as they were.
struct Refusal {
  const char* what;
  std::function<void(MeasuredFixture&)> spoil;
  std::function<void(CommandContext&)> command;
  const char* message;  // a part of it
};

void PrintTo(const Refusal& c, std::ostream* out) {
  *out << c.what;
}

class FitRefusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(FitRefusals, LeaveEverythingAsItWas) {
  MeasuredFixture f;
  showSampleModel(f.texts.fit, f.startModel(), f.context.decimal);
  GetParam().spoil(f);
  const DepthProfile undo = f.state.undoProfile;
  const ParameterBlock parameters = f.state.parameterBlock;
  const MainChartData chart = f.charts.main;
  const std::string message = commandMessage([&] { GetParam().command(f.context); });
  EXPECT_NE(message.find(GetParam().message), std::string::npos) << message;
  EXPECT_EQ(f.state.currentProfile, f.before);
  EXPECT_EQ(f.state.undoProfile, undo);
  EXPECT_EQ(f.state.parameterBlock, parameters);
  EXPECT_EQ(f.charts.main.computedCurve.points, chart.computedCurve.points);
  EXPECT_EQ(f.charts.main.measuredPoints.points, chart.measuredPoints.points);
  EXPECT_EQ(f.texts.fit.lastResult, nullptr);
}

const auto fit = [](CommandContext& context) { fitSampleModelCommand(context); };
const auto apply = [](CommandContext& context) { applyFitModel(context); };
const auto posterior = [](CommandContext& context) {
  runFitJobCommand(context, FitJob::Posterior);
};

INSTANTIATE_TEST_SUITE_P(
    FitCommands, FitRefusals,
    ::testing::Values(
        Refusal{"a value that is not a number",
                [](MeasuredFixture& f) { f.texts.fit.parameters[1].value = "0,4x"; }, fit,
                "layer1.to: '0,4x' is not a valid floating point value"},
        Refusal{"a bound that is not a number",
                [](MeasuredFixture& f) { f.texts.fit.parameters[0].max = "deep"; }, apply,
                "layer1.from max"},
        Refusal{"a start value outside its bounds",
                [](MeasuredFixture& f) { f.texts.fit.parameters[0].value = "12"; }, fit, "from"},
        Refusal{"one end of the energy range",
                [](MeasuredFixture& f) { f.texts.fit.rangeFrom = "151"; }, fit,
                "both ends of the energy range"},
        Refusal{"no measured point in the range",
                [](MeasuredFixture& f) {
                  f.texts.fit.rangeFrom = "300";
                  f.texts.fit.rangeTo = "301";
                },
                fit, "range"},
        Refusal{"no measured points", [](MeasuredFixture& f) { f.state.experimentalData.clear(); },
                fit, "Load measured data first"},
        Refusal{"a layer that ends before it starts",
                [](MeasuredFixture& f) { f.texts.fit.parameters[0].value = "0.5"; }, apply,
                "layer1.from (0.5) lies after layer1.to"},
        Refusal{"a step of zero", [](MeasuredFixture& f) { f.texts.fit.step = "0"; }, apply,
                "step"},
        Refusal{"a running fit", [](MeasuredFixture& f) { f.context.fitRunning = true; }, apply,
                "A fit is running"},
        Refusal{"a posterior before a fit", [](MeasuredFixture&) {}, posterior, "press Fit first"}),
    [](const ::testing::TestParamInfo<Refusal>& info) {
      std::string name = info.param.what;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

// The edges of a zoomed range fall halfway between two steps of the
// measured energies (32-bit floats), with no more decimals than that needs.
TEST(FitCommands, AZoomedRangeIsRoundedToTheStepOfTheData) {
  const struct {
    double step, from, to;  // keV
    char separator;
    const char *fromText, *toText;
  } cases[] = {{0.02, 150.91234567, 152.2871234, '.', "150.91", "152.29"},
               {0.05, 150.8734, 151.91, ',', "150,875", "151,925"},
               {1.0, 148.2, 155.9, '.', "148.5", "155.5"}};
  for (const auto& c : cases) {
    CommandFixture f;
    for (int i = 0; i < 100; ++i) f.state.experimentalData.push_back({150.0f + i * float(c.step)});
    f.state.experimentalData.push_back({});
    f.state.parameterBlock.energyShift = 0.5;
    f.context.decimal.separator = c.separator;
    useZoomedEnergyRange(f.context, c.from + 0.5, c.to + 0.5);
    EXPECT_EQ(f.texts.fit.rangeFrom + " " + f.texts.fit.rangeTo,
              std::string(c.fromText) + " " + c.toText);
  }
}

TEST(FitCommands, PosteriorFieldsThatAreNoWholeNumbersChangeNothing) {
  MeasuredFixture f;
  f.fitQuickly();
  const struct {
    std::string FitTexts::*field;
    const char* text;
    const char* message;
  } cases[] = {{&FitTexts::posteriorSteps, "3e3", kPosteriorStepsMessage},
               {&FitTexts::posteriorSteps, "1", kPosteriorStepsMessage},
               {&FitTexts::posteriorSteps, "", kPosteriorStepsMessage},
               {&FitTexts::posteriorSeed, "-1", "The posterior's seed is a whole number"},
               {&FitTexts::posteriorSeed, "12 3", "The posterior's seed is a whole number"}};
  for (const auto& c : cases) {
    FitTexts typed = f.texts.fit;
    typed.*c.field = c.text;
    f.texts.fit = typed;
    const MainChartData chart = f.charts.main;
    const std::string message = commandMessage([&] { posterior(f.context); });
    EXPECT_EQ(message.rfind(c.message, 0), 0u) << c.text << ": " << message;
    EXPECT_EQ(f.texts.fit, typed) << c.text;
    EXPECT_EQ(f.charts.main.curveBand.low.points, chart.curveBand.low.points);
    typed.*c.field = c.field == &FitTexts::posteriorSteps ? "auto" : "1";
    f.texts.fit = typed;
  }
}

TEST(FitCommands, ASavedModelAndResultLoadBackAsTheTableWas) {
  MeasuredFixture f;
  TemporaryDirectory directory;
  SampleModel model = f.startModel();
  model.energyRange = std::make_pair(150.5, 152.5);
  model.statistic = FitStatistic::Neyman;
  model.layers[0].bottomWidth = {0.05, true, 0.01, 0.2};
  showSampleModel(f.texts.fit, model, f.context.decimal);
  const FitTexts saved = f.texts.fit;
  f.ui.saveChoices = {directory.path("start.json"), directory.path("result.json")};
  saveFitModel(f.context);
  EXPECT_EQ(commandMessage([&] { saveFitResults(f.context); }),
            "There is no fit result yet: press Fit first.");
  fitSampleModelCommand(f.context);
  saveFitResults(f.context);
  EXPECT_EQ(directory.names(), (std::vector<std::string>{"result.json", "start.json"}));

  // The listed warnings are those of the fit, about the model a load replaces.
  EXPECT_EQ(f.texts.fit.warnings, shownWarnings(f.texts.fit));
  f.texts.fit.warnings.push_back("about the model before");
  f.ui.openChoices = {directory.path("start.json")};
  loadFitModel(f.context);
  EXPECT_TRUE(f.texts.fit.warnings.empty());
  EXPECT_EQ(sampleModelFromTexts(f.texts.fit, f.context.decimal), model);
  for (std::size_t i = 0; i < saved.parameters.size(); ++i) {
    EXPECT_EQ(f.texts.fit.parameters[i].value, saved.parameters[i].value);
    EXPECT_EQ(f.texts.fit.parameters[i].result, "");
  }
}

// A free-form profile for two measurements, each with a background of its
// own: the tilted one, 60 counts higher, is drawn on its own fitted
// background when chosen in the list, not on the first one's or its start.
TEST(FitCommands, AJointFreeFormDrawsEachMeasurementOnItsOwnBackground) {
  CommandFixture f;
  TemporaryDirectory directory;
  const std::string examples = TERVANE_EXAMPLES_DIR;
  {
    std::ifstream in(examples + "/close-layers-70deg.dat");
    std::ofstream out(directory.path("raised.dat"));
    double energy = 0.0;
    double counts = 0.0;
    while (in >> energy >> counts) out << energy << " " << counts + 60 << "\n";
  }
  std::ofstream(directory.path("raised.model.json"))
      << R"({"max_depth": 1.5, "step": 0.005,
          "multiplier": 400000, "background": {"value": 20, "free": true, "min": 0},
          "measurements": [
            {"name": "normal", "autos": ")" << examples << R"(/start-up.flt",
             "data": ")" << examples << R"(/close-layers-0deg.dat"},
            {"name": "tilted", "autos": ")" << examples << R"(/start-up.flt",
             "data": "raised.dat", "tilt": 70,
             "background": {"value": 20, "free": true, "min": 0}}]})";
  f.ui.openChoices = {directory.path("raised.model.json")};
  loadFitModel(f.context);
  ASSERT_EQ(f.texts.fit.measurements.size(), 2u);
  runFitJobCommand(f.context, FitJob::FreeForm);
  const auto& inversion = std::get<InversionResult>(*f.texts.fit.shownResult);
  const double own = inversion.joint.measurements[1].background.value;
  EXPECT_NEAR(own, 65.0, 10.0);
  EXPECT_NEAR(inversion.joint.measurements[0].background.value, 5.0, 3.0);
  showFitMeasurement(f.context, 1);
  // Below the resonance the curve is the background and a line's faint tail.
  const std::vector<ChartPoint>& curve = f.charts.main.computedCurve.points;
  ASSERT_FALSE(curve.empty());
  const double lowest = std::min_element(curve.begin(), curve.end(), [](const auto& a, const auto& b) {
                          return a.y < b.y;
                        })->y;
  EXPECT_NEAR(lowest, own, 1.0);
}

// A measurement added from a file whose name a row already has takes the
// name with _2, then _3.
TEST(FitCommands, AddedMeasurementsOfOneFileAreNumberedFromTwo) {
  CommandFixture f;
  const std::string examples = TERVANE_EXAMPLES_DIR;
  f.ui.openChoices = {examples + "/close-layers.model.json"};
  loadFitModel(f.context);
  const std::string data = examples + "/close-layers-70deg.dat";
  const std::string set = examples + "/start-up.flt";
  f.ui.openChoices = {data, set, data, set};
  addFitMeasurement(f.context);
  addFitMeasurement(f.context);
  ASSERT_EQ(f.texts.fit.measurements.size(), 4u);
  EXPECT_EQ(f.texts.fit.measurements[2].name, "close-layers-70deg");
  EXPECT_EQ(f.texts.fit.measurements[3].name, "close-layers-70deg_2");
}

// One measurement, tilted: the model saved of the window holds its tilt.
TEST(FitCommands, AModelOfOneTiltedMeasurementKeepsItsTilt) {
  CommandFixture f;
  ASSERT_EQ(f.texts.fit.measurements.size(), 1u);
  f.texts.fit.measurements.front().tilt = "60";
  EXPECT_EQ(fitModelDocument(f.context, SampleModel{}).model.tilt, 60.0);
}

}  // namespace
