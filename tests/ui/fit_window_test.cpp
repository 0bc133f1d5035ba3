#include <qcustomplot.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/run_cli.h"
#include "commands/autoconvolution_commands.h"
#include "commands/data_commands.h"
#include "commands/excitation_commands.h"
#include "commands/fit_file_commands.h"
#include "commands/fit_job.h"
#include "commands/fit_result_view.h"
#include "commands/fit_table.h"
#include "commands/fit_table_commands.h"
#include "commands/fit_table.h"
#include "commands/show_commands.h"
#include "files/experimental_data_file.h"
#include "files/sample_model_file.h"
#include "files/temporary_directory.h"
#include "ui/ui_test_support.h"

namespace {

using tervane_test::ProgramFixture;

constexpr int kTimeoutMs = 60000;

class FitWindowTest : public ProgramFixture {
 protected:
  // A calculated set (Nc 20), noiseless measured points of the layer of
  // points 40..99, and a current profile the fit must not lose.
  void SetUp() override {
    program->texts().calculationParameters.nc = "20";
    program->runCommand(CommandId::StartCalculation);
    QTRY_VERIFY_WITH_TIMEOUT(!program->calculation().isRunning(), kTimeoutMs);
    ProgramState& state = program->state();
    for (int i = 40; i < 100; ++i) state.currentProfile.values[i] = 1.0;
    state.parameterBlock.multiplier = 2000.0;
    program->runCommand(CommandId::CalculateExcitation);
    const std::vector<ChartPoint> curve = program->charts().main.computedCurve.points;
    for (std::size_t i = 0; i < curve.size(); i += 12) {
      state.experimentalData.push_back(
          {static_cast<float>(curve[i].x), static_cast<float>(curve[i].y), 0.0f});
    }
    state.experimentalData.push_back({});
    plotData(program->context());
    state.parameterBlock.multiplier = 1.0;
    state.currentProfile.values.assign(state.currentProfile.values.size(), 0.0);
    state.currentProfile.values[700] = 0.3;
    state.undoProfile = state.currentProfile;
    calculateExcitation(program->context());
  }

  bool running() const { return program->fit().isRunning(); }
  QWidget& fitWindow() { return *program->window(WindowId::Fit); }
  // The Fit window open on one layer, the multiplier fixed at the data's.
  void showOneLayerAtAFixedMultiplier() {
    program->runCommand(CommandId::ShowFit);
    SampleModel model;
    model.layers.push_back({});
    model.multiplier = {2000.0, false, 0.0, std::numeric_limits<double>::infinity()};
    showSampleModel(program->texts().fit, model, program->context().decimal);
    program->redraw(View::FitFields);
  }
};

TEST_F(FitWindowTest, FitFollowsLiveStopChangesNothingAndCtrlZUndoesTheFit) {
  tervane_test::actionAt(*program->FTervane2->menuBar(), {"&Simulate", "&Fit..."})->trigger();
  ASSERT_TRUE(fitWindow().isVisible());
  // Nothing was drawn but the dot at 3.5: the proposed start is far off, so
  // the model is typed instead, the first layer's "to" through the table.
  SampleModel start;
  LayerModel layer;
  layer.from = {0.26, true, 0.0, 10.0};
  layer.to = {0.45, true, 0.0, 10.0};
  start.layers.push_back(layer);
  start.multiplier = {1400.0, true, 0.0, std::numeric_limits<double>::infinity()};
  showSampleModel(program->texts().fit, start, program->context().decimal);
  program->redraw(View::FitFields);
  auto* table = find<QTableWidget>(fitWindow(), "TableParameters");
  ASSERT_EQ(table->rowCount(), 10);
  table->item(1, 1)->setText(QStringLiteral("0.38"));
  ASSERT_EQ(program->texts().fit.parameters[1].value, "0.38");

  const ProgramState& state = program->state();
  const DepthProfile before = state.currentProfile;
  const ParameterBlock parametersBefore = state.parameterBlock;
  const std::vector<ChartPoint> curveBefore = program->charts().main.computedCurve.points;
  QPushButton* fit = find<QPushButton>(fitWindow(), "BtnFit");
  QPushButton* stop = find<QPushButton>(fitWindow(), "BtnStop");
  QAction* calculate = tervane_test::actionAt(*program->FDraw->menuBar(), {"&Calculate"});
  QAction* undo = tervane_test::actionAt(*program->FDraw->menuBar(), {"&Profile", "&Undo"});

  // Stopped at once: everything stays as before the fit.
  tervane_test::click(*fit);
  ASSERT_TRUE(running());
  EXPECT_FALSE(fit->isEnabled());
  EXPECT_FALSE(calculate->isEnabled());
  program->runCommand(CommandId::ProfileUndo);
  EXPECT_EQ(dialogs.messages.back(), "A fit is running: wait for its end or stop it.");
  tervane_test::click(*stop);
  QTRY_VERIFY_WITH_TIMEOUT(!running(), kTimeoutMs);
  EXPECT_EQ(state.currentProfile, before);
  EXPECT_EQ(state.parameterBlock, parametersBefore);
  EXPECT_EQ(program->charts().main.computedCurve.points, curveBefore);
  EXPECT_TRUE(fit->isEnabled());
  EXPECT_TRUE(calculate->isEnabled());

  // Run to its end: the progress line and the main chart follow on the way.
  int iterationsShown = 0;
  bool chartMovedDuringFit = false;
  QObject::connect(&program->fit(), &FitController::progressed, &fitWindow(),
                   [&](int iteration, double) {
                     ++iterationsShown;
                     EXPECT_TRUE(find<QLabel>(fitWindow(), "LabelProgress")
                                     ->text()
                                     .startsWith(QStringLiteral("Iteration %1").arg(iteration)));
                     if (program->charts().main.computedCurve.points != curveBefore) {
                       chartMovedDuringFit = true;
                     }
                   });
  tervane_test::click(*fit);
  QTRY_VERIFY_WITH_TIMEOUT(!running(), kTimeoutMs);
  EXPECT_GT(iterationsShown, 0);
  EXPECT_TRUE(chartMovedDuringFit);
  ASSERT_NE(program->texts().fit.lastResult, nullptr);
  const FitResult& result = *program->texts().fit.lastResult;
  EXPECT_NEAR(result.joint.sample.layers[0].to.value, 0.4975, 0.002);
  EXPECT_EQ(state.currentProfile, result.profile);
  EXPECT_EQ(table->item(1, 1)->text().toStdString(), program->texts().fit.parameters[1].value);
  EXPECT_FALSE(find<QPlainTextEdit>(fitWindow(), "EditResults")->toPlainText().isEmpty());
  EXPECT_EQ(find<QCustomPlot>(fitWindow(), "ChartResiduals")->graph(0)->dataCount(), result.points);
  EXPECT_TRUE(program->FDraw->isVisible());
  EXPECT_TRUE(dialogs.messages.size() == 1u);  // only the refusal above

  // Ctrl+Z as the user presses it in the Draw Profile window.
  ASSERT_EQ(undo->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
  QWidget& draw = *program->FDraw;
  draw.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&draw));
  ASSERT_NE(state.currentProfile, before);
  QTest::keyClick(&draw, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(state.currentProfile, before);
}

// A layer typed to end before it starts: Apply shows the message Fit shows
// for the same table, and the profile and the table stay as they were.
TEST_F(FitWindowTest, ApplyRefusesATableFitRefusesAndChangesNothing) {
  program->runCommand(CommandId::ShowFit);
  SampleModel model;
  model.layers.push_back({});
  showSampleModel(program->texts().fit, model, program->context().decimal);
  program->redraw(View::FitFields);
  auto* table = find<QTableWidget>(fitWindow(), "TableParameters");
  table->item(0, 1)->setText(QStringLiteral("3"));  // layer1.from, after its to
  const std::vector<FitParameterTexts> rows = program->texts().fit.parameters;
  const DepthProfile before = program->state().currentProfile;

  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnApply"));
  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnFit"));
  EXPECT_FALSE(running());
  ASSERT_EQ(dialogs.messages.size(), 2u);
  EXPECT_EQ(dialogs.messages[0], dialogs.messages[1]);
  EXPECT_EQ(program->state().currentProfile, before);
  EXPECT_EQ(program->texts().fit.parameters, rows);
  EXPECT_EQ(table->item(0, 1)->text(), QStringLiteral("3"));
}

// The number of points of the plottable `name` on `chart`; -1 when there is none.
int pointsOf(QCustomPlot& chart, const QString& name) {
  for (int i = 0; i < chart.plottableCount(); ++i) {
    QCPAbstractPlottable* plottable = chart.plottable(i);
    if (plottable->objectName() != name) continue;
    if (auto* curve = qobject_cast<QCPCurve*>(plottable)) return curve->dataCount();
    if (auto* graph = qobject_cast<QCPGraph*>(plottable)) return graph->dataCount();
  }
  return -1;
}

TEST_F(FitWindowTest, FreeFormStopsUnchangedThenDrawsItsBandsWhichClearBandRemoves) {
  showOneLayerAtAFixedMultiplier();
  const ProgramState& state = program->state();
  const DepthProfile before = state.currentProfile;
  const std::vector<ChartPoint> curveBefore = program->charts().main.computedCurve.points;
  QPushButton* freeForm = find<QPushButton>(fitWindow(), "BtnFreeForm");

  tervane_test::click(*freeForm);
  ASSERT_TRUE(running());
  EXPECT_FALSE(find<QPushButton>(fitWindow(), "BtnPosterior")->isEnabled());
  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnStop"));
  QTRY_VERIFY_WITH_TIMEOUT(!running(), kTimeoutMs);
  EXPECT_EQ(state.currentProfile, before);
  EXPECT_EQ(program->charts().main.computedCurve.points, curveBefore);
  EXPECT_TRUE(program->charts().drawProfile.band.empty());

  // Regions as the user types them; a reversed one stops Free-form before it starts.
  auto* regions = find<QLineEdit>(fitWindow(), "EditRegions");
  QTest::keyClicks(regions, QStringLiteral("0:0.35, 1:0.35"));
  tervane_test::click(*freeForm);
  EXPECT_FALSE(running());
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages.back().find("'1:0.35'"), std::string::npos);
  dialogs.messages.clear();
  regions->clear();
  QTest::keyClicks(regions, QStringLiteral("0:0.35, 0.35:10"));

  tervane_test::click(*freeForm);
  QTRY_VERIFY_WITH_TIMEOUT(!running(), kTimeoutMs);
  EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
  EXPECT_NE(state.currentProfile, before);
  const QString results = find<QPlainTextEdit>(fitWindow(), "EditResults")->toPlainText();
  EXPECT_TRUE(results.contains(QStringLiteral("\n0:0.35 "))) << results.toStdString();
  EXPECT_TRUE(results.contains(QStringLiteral("\n0.35:10 "))) << results.toStdString();
  auto& draw = *find<QCustomPlot>(*program->FDraw, "Chart3");
  auto& main = *find<QCustomPlot>(*program->FTervane2, "ChartPrinc");
  // Each band's outline runs out along the low edge and back along the high one.
  EXPECT_EQ(pointsOf(draw, "ProfileBand"), 2 * state.currentProfile.pointCount);
  EXPECT_TRUE(draw.legend->visible());
  // The concentration axis shows the band's highest edge.
  double highest = 0.0;
  for (const ChartPoint& point : program->charts().drawProfile.band.high.points) {
    highest = std::max(highest, point.y);
  }
  EXPECT_GE(draw.yAxis->range().upper, highest);
  EXPECT_LE(draw.yAxis->range().upper, 1.1 * highest);
  EXPECT_GT(pointsOf(main, "CurveBand"), 0);
  EXPECT_EQ(pointsOf(main, "CurveBand"), 2 * pointsOf(main, "SeriesPrinc"));

  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnClearBand"));
  EXPECT_EQ(pointsOf(draw, "ProfileBand"), 0);
  EXPECT_EQ(pointsOf(main, "CurveBand"), 0);
  EXPECT_FALSE(draw.legend->visible());
}

// The posterior's steps and seed are typed beside its button; "auto" shows
// its rounds on the progress line and stops like any other job.
TEST_F(FitWindowTest, PosteriorStepsAndSeedAreTypedBesideItsButton) {
  program->runCommand(CommandId::ShowFit);
  SampleModel model;
  LayerModel layer;
  layer.from = {0.1975, false, 0.0, 10.0};
  layer.to = {0.38, true, 0.0, 10.0};
  model.layers.push_back(layer);
  model.multiplier = {1400.0, true, 0.0, std::numeric_limits<double>::infinity()};
  showSampleModel(program->texts().fit, model, program->context().decimal);
  program->redraw(View::FitFields);
  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnFit"));
  QTRY_VERIFY_WITH_TIMEOUT(!running(), kTimeoutMs);

  auto* steps = find<QLineEdit>(fitWindow(), "EditPosteriorSteps");
  auto* seed = find<QLineEdit>(fitWindow(), "EditPosteriorSeed");
  auto* label = find<QLabel>(fitWindow(), "LabelProgress");
  QPushButton* posterior = find<QPushButton>(fitWindow(), "BtnPosterior");
  EXPECT_EQ(steps->text(), QStringLiteral("auto"));
  const std::vector<ChartPoint> curve = program->charts().main.computedCurve.points;
  tervane_test::click(*posterior);
  ASSERT_TRUE(running());
  EXPECT_FALSE(steps->isEnabled());
  EXPECT_FALSE(seed->isEnabled());
  QTRY_VERIFY_WITH_TIMEOUT(label->text().contains(QStringLiteral("auto: until converged")),
                           kTimeoutMs);
  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnStop"));
  QTRY_VERIFY_WITH_TIMEOUT(!running(), kTimeoutMs);
  EXPECT_TRUE(program->charts().drawProfile.band.empty());
  EXPECT_EQ(program->charts().main.computedCurve.points, curve);

  for (QLineEdit* field : {steps, seed}) {
    field->selectAll();
    QTest::keyClicks(field, field == steps ? QStringLiteral("300") : QStringLiteral("9"));
  }
  EXPECT_EQ(program->texts().fit.posteriorSteps, "300");
  EXPECT_EQ(program->texts().fit.posteriorSeed, "9");
  tervane_test::click(*posterior);
  QTRY_VERIFY_WITH_TIMEOUT(!running(), kTimeoutMs);
  EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
  EXPECT_TRUE(label->text().startsWith(QStringLiteral("Posterior sampled: 300 steps")))
      << label->text().toStdString();
  EXPECT_TRUE(find<QPlainTextEdit>(fitWindow(), "EditResults")
                  ->toPlainText()
                  .contains(QStringLiteral("300 steps")));
  EXPECT_FALSE(program->charts().drawProfile.band.empty());
}

// After Free-form the table's Result column empties: the layer fit's values
// were of the profile it replaced.
TEST_F(FitWindowTest, FreeFormEmptiesTheResultColumn) {
  showOneLayerAtAFixedMultiplier();
  auto* table = find<QTableWidget>(fitWindow(), "TableParameters");
  const auto results = [&] {
    QString shown;
    for (int row = 0; row < table->rowCount(); ++row) shown += table->item(row, 6)->text();
    return shown;
  };
  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnFit"));
  QTRY_VERIFY_WITH_TIMEOUT(!running(), kTimeoutMs);
  ASSERT_FALSE(results().isEmpty());
  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnFreeForm"));
  QTRY_VERIFY_WITH_TIMEOUT(!running(), kTimeoutMs);
  ASSERT_NE(program->texts().fit.shownResult, nullptr);
  EXPECT_EQ(results(), QString());
}

// The sample seen at normal incidence and tilted by 70 degrees, as the
// examples hold it; the program starts with the normal measurement loaded.
class JointFitWindowTest : public ProgramFixture {
 protected:
  static std::string example(const char* name) {
    return std::string(TERVANE_EXAMPLES_DIR) + "/" + name;
  }
  void SetUp() override {
    loadAutos(program->context(), example("start-up.flt"));
    loadExperimentalDataFrom(program->context(), example("close-layers-0deg.dat"));
    program->runCommand(CommandId::ShowFit);
  }
  QWidget& fitWindow() { return *program->window(WindowId::Fit); }
  QTableWidget& list() { return *find<QTableWidget>(fitWindow(), "TableMeasurements"); }
  void chooseRow(int row) {
    QTableWidget& table = list();
    const QRect cell = table.visualItemRect(table.item(row, 0));
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, cell.center());
  }
  bool running() const { return program->fit().isRunning(); }
};

TEST_F(JointFitWindowTest, AddRefusesWhatCannotBeUsedAndLeavesTheListAsItWas) {
  const std::string data70 = example("close-layers-70deg.dat");
  const std::string flt = example("start-up.flt");
  struct Refusal {
    const char* tilt;
    std::vector<std::string> files;  // the data file's dialog, then the .flt's
    const char* said;                // a part of the message
  };
  const Refusal refusals[] = {
      {"90", {}, "below 90 degrees"},
      {"-5", {}, "at least 0"},
      {"x", {}, "is not a valid floating point value"},
      {"70", {example("no-such.dat"), flt}, "no-such.dat"},
      {"70", {data70, data70}, "close-layers-70deg.dat"},
  };
  auto* tilt = find<QLineEdit>(fitWindow(), "EditNewTilt");
  auto* add = find<QPushButton>(fitWindow(), "BtnAddMeasurement");
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.said);
    dialogs.messages.clear();
    dialogs.files.assign(refusal.files.begin(), refusal.files.end());
    tervane_test::typeInto(*tilt, QString::fromLatin1(refusal.tilt));
    tervane_test::click(*add);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_NE(dialogs.messages.front().find(refusal.said), std::string::npos)
        << dialogs.messages.front();
    EXPECT_EQ(list().rowCount(), 1);
    EXPECT_EQ(program->texts().fit.measurements.size(), 1u);
  }

  dialogs.files = {data70, flt};
  tervane_test::typeInto(*tilt, QStringLiteral("70"));
  tervane_test::click(*add);
  ASSERT_EQ(list().rowCount(), 2);
  EXPECT_EQ(list().item(1, 0)->text(), QStringLiteral("close-layers-70deg"));
  EXPECT_EQ(list().item(1, 3)->text(), QStringLiteral("70"));
  // The first stays; Remove takes the added one.
  chooseRow(0);
  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnRemoveMeasurement"));
  EXPECT_EQ(list().rowCount(), 1);
  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnRemoveMeasurement"));
  EXPECT_EQ(list().rowCount(), 1);
}

TEST_F(JointFitWindowTest, AddedMeasurementFitsWithTheFirstAndIsShownWhenChosen) {
  const SampleModelDocument document = readSampleModelDocument(example("close-layers.model.json"));
  showSampleModel(program->texts().fit, document.model, program->context().decimal);
  program->redraw(View::FitFields);
  dialogs.files = {example("close-layers-70deg.dat"), example("start-up.flt")};
  tervane_test::typeInto(*find<QLineEdit>(fitWindow(), "EditNewTilt"), QStringLiteral("70"));
  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnAddMeasurement"));
  ASSERT_EQ(list().rowCount(), 2);

  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnFit"));
  QTRY_VERIFY_WITH_TIMEOUT(!running(), kTimeoutMs);
  ASSERT_NE(program->texts().fit.lastResult, nullptr);
  const FitResult& result = *program->texts().fit.lastResult;
  ASSERT_EQ(result.measurements.size(), 2u);
  const QString results = find<QPlainTextEdit>(fitWindow(), "EditResults")->toPlainText();
  for (int row = 0; row < 2; ++row) {
    const MeasurementSummary& summary = result.measurements[static_cast<std::size_t>(row)];
    EXPECT_EQ(summary.name, list().item(row, 0)->text().toStdString());
    EXPECT_NEAR(list().item(row, 4)->text().toDouble(), summary.reducedChi2, 1e-3);
    EXPECT_TRUE(results.contains(QString::fromStdString("measurement " + summary.name)));
  }
  // Both curves are drawn near their points: the tilted one shows the layers apart.
  EXPECT_LT(result.reducedChi2, 1.5);

  const MainChartData first = program->charts().main;
  const ExperimentalData tilted = readExperimentalDataFile(example("close-layers-70deg.dat"));
  chooseRow(1);
  const MainChartData& shown = program->charts().main;
  ASSERT_EQ(shown.measuredPoints.points.size(), tilted.size() - 1);
  const double shift = result.joint.measurements[1].energyShift.value;
  for (std::size_t i = 0; i + 1 < tilted.size(); ++i) {
    EXPECT_EQ(shown.measuredPoints.points[i].x, tilted[i].energy + shift);
    EXPECT_EQ(shown.measuredPoints.points[i].y, tilted[i].yield);
  }
  EXPECT_NE(shown.computedCurve.points, first.computedCurve.points);
  chooseRow(0);
  EXPECT_EQ(program->charts().main.measuredPoints.points, first.measuredPoints.points);
  EXPECT_EQ(program->charts().main.computedCurve.points, first.computedCurve.points);
}

TEST_F(JointFitWindowTest, LoadModelFillsTheListFitsAsTheBatchFitAndSavesItBack) {
  const std::string modelFile = example("close-layers.model.json");
  // Another set and data loaded first: the model's first measurement replaces them.
  program->state().experimentalData.clear();
  dialogs.files = {modelFile};
  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnLoadModel"));
  ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
  ASSERT_EQ(list().rowCount(), 2);
  EXPECT_EQ(list().item(0, 0)->text(), QStringLiteral("normal"));
  EXPECT_EQ(list().item(1, 0)->text(), QStringLiteral("tilted"));
  EXPECT_EQ(list().item(1, 3)->text(), QStringLiteral("70"));
  EXPECT_EQ(program->state().experimentalData,
            readExperimentalDataFile(example("close-layers-0deg.dat")));

  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnFit"));
  QTRY_VERIFY_WITH_TIMEOUT(!running(), kTimeoutMs);
  ASSERT_NE(program->texts().fit.lastResult, nullptr);
  const FitResult& result = *program->texts().fit.lastResult;

  TemporaryDirectory folder;
  const std::string json = folder.path("batch.json");
  const RunResult batch = runCli("fit --model " + modelFile + " --json " + json);
  ASSERT_EQ(batch.exitCode, 0) << batch.err;
  const nlohmann::json expected = nlohmann::json::parse(readBytes(json));
  ASSERT_EQ(result.parameters.size(), expected["parameters"].size());
  for (const EstimatedValue& parameter : result.parameters) {
    EXPECT_EQ(parameter.value, expected["parameters"][parameter.name]["value"].get<double>())
        << parameter.name;
  }
  EXPECT_EQ(result.chi2, expected["chi2"].get<double>());

  // Saved beside other files: the list and the fitted values come back.
  const std::string saved = folder.path("saved.model.json");
  dialogs.files = {saved};
  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnSaveModel"));
  ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
  const SampleModelDocument back = readSampleModelDocument(saved);
  const SampleModelDocument original = readSampleModelDocument(modelFile);
  ASSERT_EQ(back.measurements.size(), 2u);
  for (std::size_t m = 0; m < 2; ++m) {
    EXPECT_EQ(back.measurements[m].name, original.measurements[m].name);
    EXPECT_TRUE(
        std::filesystem::equivalent(back.measurements[m].autos, original.measurements[m].autos));
    EXPECT_TRUE(
        std::filesystem::equivalent(back.measurements[m].data, original.measurements[m].data));
    EXPECT_EQ(back.measurements[m].model.tilt, original.measurements[m].model.tilt);
  }
  // The table holds 15 significant digits.
  EXPECT_NEAR(back.model.layers[1].to.value, result.joint.sample.layers[1].to.value, 1e-13);
  EXPECT_EQ(runCli("fit --model " + saved).exitCode, 0);
}

// A joint fit's residuals are told apart by measurement; choosing a row
// names the measurement the main chart shows; the file dialogs say what they
// open or save; a model loaded after the fit clears what the fit showed.
TEST_F(JointFitWindowTest, ResidualsStatusDialogsAndLoadModelFollowTheMeasurements) {
  const std::string modelFile = example("close-layers.model.json");
  dialogs.files = {modelFile};
  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnLoadModel"));
  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnFit"));
  QTRY_VERIFY_WITH_TIMEOUT(!running(), kTimeoutMs);
  ASSERT_NE(program->texts().fit.lastResult, nullptr);
  const FitResult& result = *program->texts().fit.lastResult;
  auto& residuals = *find<QCustomPlot>(fitWindow(), "ChartResiduals");
  ASSERT_EQ(residuals.graphCount(), 2);
  EXPECT_TRUE(residuals.legend->visible());
  for (int m = 0; m < 2; ++m) {
    const MeasurementSummary& summary = result.measurements[static_cast<std::size_t>(m)];
    EXPECT_EQ(residuals.graph(m)->name().toStdString(), summary.name);
    EXPECT_EQ(residuals.graph(m)->dataCount(), summary.points);
  }
  EXPECT_NE(residuals.graph(0)->pen().color(), residuals.graph(1)->pen().color());

  auto* status = find<QLabel>(*program->FTervane2, "StatusMessage");
  for (const int row : {1, 0}) {
    chooseRow(row);
    EXPECT_TRUE(status->text().contains(list().item(row, 0)->text())) << status->text().toStdString();
  }

  TemporaryDirectory folder;
  dialogs.files = {folder.path("results.json"), folder.path("saved.model.json")};
  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnSaveResults"));
  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnSaveModel"));
  dialogs.files = {example("close-layers-70deg.dat")};
  tervane_test::typeInto(*find<QLineEdit>(fitWindow(), "EditNewTilt"), QStringLiteral("70"));
  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnAddMeasurement"));
  ASSERT_EQ(dialogs.fileRequests.size(), 5u);
  const char* said[] = {"model", "results", "model", "measurement", "measurement"};
  for (std::size_t i = 0; i < 5; ++i) {
    std::string title = dialogs.fileRequests[i].title;
    std::transform(title.begin(), title.end(), title.begin(), ::tolower);
    EXPECT_NE(title.find(said[i]), std::string::npos) << title;
  }

  dialogs.messages.clear();
  dialogs.files = {modelFile};
  tervane_test::click(*find<QPushButton>(fitWindow(), "BtnLoadModel"));
  ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
  EXPECT_EQ(program->texts().fit.lastResult, nullptr);
  EXPECT_EQ(residuals.graph(0)->dataCount(), 0);
  EXPECT_TRUE(find<QPlainTextEdit>(fitWindow(), "EditResults")->toPlainText().isEmpty());
  EXPECT_TRUE(program->charts().main.computedCurve.points.empty());
  EXPECT_TRUE(program->charts().main.curveBand.empty());
  auto* table = find<QTableWidget>(fitWindow(), "TableParameters");
  for (int row = 0; row < table->rowCount(); ++row) EXPECT_TRUE(table->item(row, 6)->text().isEmpty());
}

}  // namespace
