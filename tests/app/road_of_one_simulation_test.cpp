// The whole way a user goes, from the beam values to the files on disk,
// through the real windows: typing, clicks, mouse drags on the profile chart,
// F5 and the menus, with a scripted provider in place of the file dialogs.

#include <qcustomplot.h>

#include <QLabel>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextEdit>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "ui/ui_test_support.h"

namespace {

using tervane_test::click;
using tervane_test::typeInto;

constexpr int kCalculationTimeoutMs = 120000;

// What "%g" prints, whatever the locale the application object has set.
std::string g6(double value) {
  char buffer[64];
  const auto written =
      std::to_chars(std::begin(buffer), std::end(buffer), value, std::chars_format::general, 6);
  return std::string(buffer, written.ptr);
}

std::string row(double x, double y) {
  return g6(x) + "   " + g6(y) + "\n";
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Lines with their line ends, so that a missing or doubled end shows.
std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, next - start));
    start = next;
  }
  return lines;
}

// Equal texts, told line by line: a curve file has a thousand lines and more.
void expectSameLines(const std::string& actual, const std::string& expected) {
  const std::vector<std::string> got = linesOf(actual);
  const std::vector<std::string> wanted = linesOf(expected);
  EXPECT_EQ(got.size(), wanted.size());
  for (std::size_t i = 0; i < std::min(got.size(), wanted.size()); ++i) {
    if (got[i] != wanted[i]) {
      ADD_FAILURE() << "first difference in line " << i << ": \"" << got[i] << "\" instead of \""
                    << wanted[i] << "\"";
      return;
    }
  }
  EXPECT_EQ(actual, expected);  // a text that is its lines and nothing else
}

double littleEndianDouble(const std::string& bytes, std::size_t offset) {
  double value = 0.0;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

std::int32_t littleEndianInt32(const std::string& bytes, std::size_t offset) {
  std::int32_t value = 0;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

class RoadOfOneSimulationTest : public tervane_test::ProgramFixture {
 protected:
  RoadOfOneSimulationTest() { EXPECT_TRUE(directory.isValid()); }

  std::string pathOf(const char* name) const {
    return QDir(directory.path()).filePath(QString::fromLatin1(name)).toStdString();
  }

  TFTervane2& main() { return *program->FTervane2; }
  TFDraw& draw() { return *program->FDraw; }
  QCustomPlot& mainChart() { return *find<QCustomPlot>(main(), "ChartPrinc"); }
  QCustomPlot& profileChart() { return *find<QCustomPlot>(draw(), "Chart3"); }

  // A menu entry chosen as a click on it chooses it.
  void choose(QWidget& menuBar, const std::vector<std::string>& path) {
    QAction* action = tervane_test::actionAt(menuBar, path);
    ASSERT_NE(action, nullptr) << path.back();
    ASSERT_TRUE(action->isEnabled()) << path.back();
    action->trigger();
  }
  void chooseInMain(const std::vector<std::string>& path) { choose(*main().menuBar(), path); }
  void chooseInDraw(const std::vector<std::string>& path) { choose(*draw().menuBar(), path); }

  // The file dialog that the next command opens is answered with this file.
  void answerFileDialog(const std::string& path) { dialogs.files.push_back(path); }

  void typeBeamValuesAndRefresh(const char* nc) {
    chooseInMain({"&Convolutions", "Se&t Parameters"});
    QWidget& dialog = *program->FCalcPar;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const std::pair<const char*, const char*> typed[] = {
        {"EditEnrg", "151"}, {"EditStopping", "548.56"}, {"EditStrag", "6.62"},
        {"EditNc", nc},      {"EditPoints", "1000"},
    };
    for (const auto& [field, text] : typed) typeInto(*find<QLineEdit>(dialog, field), text);
    click(*find<QPushButton>(dialog, "BtnRefresh"));
  }

  void startCalculationAndWait() {
    QSignalSpy runs(&program->calculation(), &CalculationController::runningChanged);
    chooseInMain({"&Convolutions", "&Start Calculation"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !program->calculation().isRunning(); },
                                kCalculationTimeoutMs));
    // On, then off once the worker's result has been taken in.
    ASSERT_EQ(runs.count(), 2);
    EXPECT_TRUE(runs[0][0].toBool());
    EXPECT_FALSE(runs[1][0].toBool());
  }

  QPoint pixelAt(double depth, double concentration) {
    return QPoint(qRound(profileChart().xAxis->coordToPixel(depth)),
                  qRound(profileChart().yAxis->coordToPixel(concentration)));
  }

  // A buried layer drawn freehand: the pointer comes to the surface end
  // without a button (which arms the pen), then the left button is held
  // through the corners of the layer.
  void drawBuriedLayer() {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&draw()));
    QCustomPlot* chart = &profileChart();
    const QPoint start = pixelAt(0.25, 0.0);
    QTest::mouseMove(chart, start + QPoint(0, -5));
    QTest::mouseMove(chart, start);
    QTest::mousePress(chart, Qt::LeftButton, Qt::NoModifier, start);
    for (const QPoint corner :
         {pixelAt(0.35, 0.9), pixelAt(0.5, 0.9), pixelAt(0.65, 0.9), pixelAt(0.75, 0.0)}) {
      QTest::mouseMove(chart, corner);
    }
    QTest::mouseRelease(chart, Qt::LeftButton, Qt::NoModifier, pixelAt(0.75, 0.0));
  }

  // F5 as the keyboard delivers it: to the Draw Profile window when it is the
  // active one, where the "&Calculate" entry's shortcut takes it.
  void pressF5() {
    draw().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&draw()));
    QTest::keyClick(&draw(), Qt::Key_F5);
  }

  void setConstants(const char* shift, const char* background, const char* multiplier) {
    chooseInMain({"&Simulate", "&Constants"});
    QWidget& dialog = *program->FConst;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    typeInto(*find<QLineEdit>(dialog, "EditShift"), shift);
    typeInto(*find<QLineEdit>(dialog, "EditBack"), background);
    typeInto(*find<QLineEdit>(dialog, "EditMult"), multiplier);
  }

  void writeMeasuredData(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }

  // The curve file as the state says it must be: one row per point.
  std::string expectedCurveText() {
    const ProgramState& state = program->state();
    const SampledCurve& curve = state.excitationCurve;
    const ParameterBlock& parameters = state.parameterBlock;
    std::string text;
    for (std::size_t i = 0; i < curve.size(); ++i) {
      text +=
          row((static_cast<double>(i) * curve.step - curve.origin) * 0.001 + parameters.beamEnergy,
              curve.values[i] * parameters.multiplier + parameters.background);
    }
    return text;
  }

  QTemporaryDir directory;
};

// Beam values typed, autoconvolutions calculated, a layer drawn, F5, measured
// data loaded, constants previewed and kept, and everything saved: each file
// holds what the windows showed.
TEST_F(RoadOfOneSimulationTest, FromBeamValuesToTheExportedFiles) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&main()));

  // 1. Calculation Parameters: Refresh derives the cut energies and the step.
  typeBeamValuesAndRefresh("30");
  ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
  QWidget& calcPar = *program->FCalcPar;
  const double emin = find<QLineEdit>(calcPar, "EditEmin")->text().toDouble();
  const double emax = find<QLineEdit>(calcPar, "EditEmax")->text().toDouble();
  const double step = find<QLineEdit>(calcPar, "EditStep")->text().toDouble();
  EXPECT_GT(emin, 0.0);
  EXPECT_GT(emax, emin);
  EXPECT_NEAR(step, 0.7 * emin, 1e-12 * emin);  // AutoStep is on at start
  EXPECT_NEAR(find<QLineEdit>(calcPar, "EditMaxEnergy")->text().toDouble(),
              1000 * step * 0.001 + 151, 1e-9);

  // 2. Start Calculation: the worker runs, the set and the log arrive.
  startCalculationAndWait();
  const ProgramState& state = program->state();
  ASSERT_EQ(state.autoconvolutionSet.size(), 31u);
  for (const Autoconvolution& entry : state.autoconvolutionSet) {
    EXPECT_EQ(entry.size(), 1000u);
    EXPECT_FLOAT_EQ(entry.step, static_cast<float>(step));
  }
  EXPECT_EQ(state.parameterBlock.beamEnergy, 151.0);
  EXPECT_NE(find<QTextEdit>(*program->FLog, "EditLog")->toPlainText().indexOf("Norma da auto 30:"),
            -1);
  EXPECT_EQ(find<QLabel>(main(), "StatusPanel1")->text(), "30");

  // 3. The profile, drawn with the mouse.
  drawBuriedLayer();
  const DepthProfile drawn = state.currentProfile;
  ASSERT_EQ(drawn.pointCount, 2000);
  EXPECT_EQ(drawn.values[40], 0.0);  // 0.2 ug/cm2, above the layer
  EXPECT_NEAR(drawn.values[80], 0.9, 0.02);
  EXPECT_NEAR(drawn.values[120], 0.9, 0.02);
  EXPECT_EQ(drawn.values[200], 0.0);  // 1.0 ug/cm2, below it
  EXPECT_EQ(state.undoProfile.values[100], 0.0);
  EXPECT_EQ(profileChart().graph(0)->dataCount(), 2000);

  // 4. F5 calculates the excitation curve from it and draws it.
  pressF5();
  ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
  ASSERT_GE(state.excitationCurve.size(), 1000u);
  EXPECT_EQ(state.undoProfile, drawn);
  // Nc 30 holds the layer (16 mean collisions at its back) but not all of the
  // tail behind it: the status says so after "Ready!".
  const std::string& warning = program->texts().drawProfile.warning;
  EXPECT_EQ(warning.rfind("The autoconvolutions end at Nc 30,", 0), 0u) << warning;
  EXPECT_EQ(find<QLabel>(draw(), "StatusDrawText")->text(),
            QString::fromStdString("Ready! " + warning));
  EXPECT_EQ(static_cast<std::size_t>(mainChart().graph(0)->dataCount()),
            state.excitationCurve.size());
  // The yield peaks where the resonance lies inside the layer, 0.3 to 0.7
  // ug/cm2 deep at 0.549 keV per ug/cm2, and is small before and after it.
  const SampledCurve& curve = state.excitationCurve;
  const auto energyOf = [&](std::size_t i) {
    return (static_cast<double>(i) * curve.step - curve.origin) * 0.001 + 151.0;
  };
  const auto yieldAt = [&](double energyKev) {
    const double index = ((energyKev - 151.0) * 1000.0 + curve.origin) / curve.step;
    return curve.values[static_cast<std::size_t>(std::lround(index))];
  };
  const std::size_t peak = static_cast<std::size_t>(
      std::max_element(curve.values.begin(), curve.values.end()) - curve.values.begin());
  EXPECT_GT(energyOf(peak), 151.0 + 0.3 * 0.549);
  EXPECT_LT(energyOf(peak), 151.0 + 0.7 * 0.549);
  EXPECT_LT(yieldAt(150.8), 0.1 * curve.values[peak]);
  EXPECT_LT(yieldAt(151.8), 0.1 * curve.values[peak]);

  // 5. Measured data, answered in the open dialog.
  const std::string measuredPath = pathOf("measured.dat");
  writeMeasuredData(measuredPath,
                    "151.1   120\n151.3   845.5\n151.55   1.2e3\n151.8   990\n152.1   35\n");
  answerFileDialog(measuredPath);
  chooseInMain({"&Data", "&Load experimental data"});
  ASSERT_EQ(state.experimentalData.size(), 6u);  // five points and the spare entry
  EXPECT_EQ(mainChart().graph(1)->dataCount(), 5);

  // 6. Constants: Preview redraws both series, OK keeps the values.
  setConstants("0.05", "12", "1000000");
  click(tervane_test::buttonCaptioned(*program->FConst, "Preview"));
  EXPECT_TRUE(program->FConst->isVisible());
  const QCPGraph& points = *mainChart().graph(1);
  ASSERT_EQ(points.dataCount(), 5);
  EXPECT_EQ(points.data()->at(0)->key, static_cast<double>(151.1f) + 0.05);
  EXPECT_EQ(points.data()->at(2)->value, 1200.0);
  const QCPGraph& line = *mainChart().graph(0);
  EXPECT_EQ(line.data()->at(500)->value, state.excitationCurve.values[500] * 1000000 + 12);
  click(tervane_test::buttonCaptioned(*program->FConst, "OK"));
  EXPECT_FALSE(program->FConst->isVisible());
  EXPECT_EQ(state.parameterBlock.energyShift, 0.05);
  EXPECT_EQ(state.parameterBlock.background, 12.0);
  EXPECT_EQ(state.parameterBlock.multiplier, 1000000.0);

  // 7. Save Everything proposes the measured data's name with ".simulation".
  const std::string everything = pathOf("layer.simulation");
  answerFileDialog(everything);
  chooseInMain({"&Data", "&Save Everything"});
  EXPECT_EQ(dialogs.fileRequests.back().initialPath, pathOf("measured.simulation"));
  // Export bitmap: the main chart at its size on screen.
  const std::string bitmap = pathOf("chart.bmp");
  answerFileDialog(bitmap);
  chooseInMain({"&Data", "&Export bitmap"});
  ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();

  // The curve file: the state's curve with multiplier and background, and
  // row for row the points the main chart shows.
  const std::string curveText = readFile(everything);
  expectSameLines(curveText, expectedCurveText());
  const std::vector<std::string> curveLines = linesOf(curveText);
  ASSERT_EQ(curveLines.size(), state.excitationCurve.size());
  ASSERT_EQ(static_cast<std::size_t>(line.dataCount()), curveLines.size());
  for (std::size_t i = 0; i < curveLines.size(); i += 97) {
    const QCPGraphData& shown = *line.data()->at(static_cast<int>(i));
    EXPECT_EQ(curveLines[i], row(shown.key, shown.value)) << "row " << i;
  }

  // The measured points, shifted in energy only.
  EXPECT_EQ(readFile(pathOf("layer.exp")), row(static_cast<double>(151.1f) + 0.05, 120) +
                                               row(static_cast<double>(151.3f) + 0.05, 845.5) +
                                               row(static_cast<double>(151.55f) + 0.05, 1200) +
                                               row(static_cast<double>(151.8f) + 0.05, 990) +
                                               row(static_cast<double>(152.1f) + 0.05, 35));

  // The profile as text: no contamination layer, so every point from depth 0.
  const std::vector<std::string> profileLines = linesOf(readFile(pathOf("layer.profile")));
  ASSERT_EQ(profileLines.size(), 2000u);
  for (std::size_t i : {0u, 40u, 80u, 120u, 1999u}) {
    EXPECT_EQ(profileLines[i], row(static_cast<double>(i) * 0.005, drawn.values[i])) << i;
  }

  // The .pro: header, then every drawn value in full precision.
  const std::string proBytes = readFile(pathOf("layer.pro"));
  ASSERT_EQ(proBytes.size(), 48u + 8u * 2000u);
  EXPECT_EQ(littleEndianDouble(proBytes, 0), 0.0);    // contamination depth
  EXPECT_EQ(littleEndianDouble(proBytes, 8), 0.005);  // step
  EXPECT_EQ(littleEndianDouble(proBytes, 16), 10.0);  // maximum depth
  EXPECT_EQ(littleEndianDouble(proBytes, 24), 12.0);  // background
  EXPECT_EQ(littleEndianDouble(proBytes, 32), 1e6);   // multiplier
  EXPECT_EQ(littleEndianDouble(proBytes, 40), 0.05);  // energy shift
  for (std::size_t i = 0; i < 2000; ++i) {
    ASSERT_EQ(littleEndianDouble(proBytes, 48 + 8 * i), drawn.values[i]) << i;
  }
  // Loaded again through the Draw Profile window, over a cleared profile, it
  // is the drawn profile in single precision.
  dialogs.answers.push_back(true);  // "Clear current profile?"
  chooseInDraw({"&Profile", "&Clear Profile"});
  ASSERT_EQ(state.currentProfile.values[100], 0.0);
  answerFileDialog(pathOf("layer.pro"));
  chooseInDraw({"&Profile", "&Load"});
  ASSERT_EQ(state.currentProfile.pointCount, 2000);
  for (std::size_t i = 0; i < 2000; ++i) {
    ASSERT_EQ(state.currentProfile.values[i],
              static_cast<double>(static_cast<float>(drawn.values[i])))
        << i;
  }
  EXPECT_EQ(profileChart().graph(0)->data()->at(100)->value, state.currentProfile.values[100]);

  // The bitmap: a BMP of the chart's pixel size, with the points on it.
  const std::string bmp = readFile(bitmap);
  ASSERT_GE(bmp.size(), 26u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(littleEndianInt32(bmp, 18), mainChart().width());
  EXPECT_EQ(std::abs(littleEndianInt32(bmp, 22)), mainChart().height());
  QImage image;
  ASSERT_TRUE(image.load(QString::fromStdString(bitmap), "BMP"));
  EXPECT_EQ(image.size(), mainChart().size());
  // Red is the measured points' colour alone.
  bool hasRed = false;
  for (int y = 0; y < image.height() && !hasRed; ++y) {
    for (int x = 0; x < image.width() && !hasRed; ++x) {
      hasRed = image.pixelColor(x, y) == QColor(Qt::red);
    }
  }
  EXPECT_TRUE(hasRed);
  EXPECT_TRUE(dialogs.messages.empty());
}

// What the files hold is all that a new start needs: the autoconvolutions and
// the profile saved in one run give, after the program has been left and
// started again, the same curve file to the last byte.
TEST_F(RoadOfOneSimulationTest, SavedFilesGiveTheSameCurveAfterANewStart) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&main()));
  typeBeamValuesAndRefresh("30");
  startCalculationAndWait();
  drawBuriedLayer();
  pressF5();
  setConstants("0", "3", "1000");
  click(tervane_test::buttonCaptioned(*program->FConst, "OK"));

  const std::string flt = pathOf("set.flt");
  answerFileDialog(flt);
  chooseInMain({"&Convolutions", "Sa&ve Convolutions"});
  EXPECT_FALSE(readFile(pathOf("set.log")).empty());
  const std::string pro = pathOf("layer.pro");
  answerFileDialog(pro);
  chooseInDraw({"&Profile", "&Save"});
  const std::string computed = pathOf("computed.simulation");
  answerFileDialog(computed);
  chooseInMain({"&Simulate", "&Save Calculation"});
  ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();

  // The files hold the set in single precision and store each autoconvolution
  // only where it is not negligible, and a profile loads in single precision:
  // the same state is the one read back from them.
  const auto loadSavedFilesAndCalculate = [&](const char* curveName) {
    answerFileDialog(flt);
    chooseInMain({"&Convolutions", "&Load Convolutions"});
    answerFileDialog(pro);
    chooseInDraw({"&Profile", "&Load"});
    pressF5();
    answerFileDialog(pathOf(curveName));
    chooseInMain({"&Simulate", "&Save Calculation"});
    ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front();
  };
  loadSavedFilesAndCalculate("first.simulation");
  const std::string first = readFile(pathOf("first.simulation"));
  expectSameLines(first, expectedCurveText());

  // Leaving the program.
  QSignalSpy exits(program.get(), &TervaneApplication::exitConfirmed);
  dialogs.answers.push_back(true);
  chooseInMain({"&Convolutions", "E&xit"});
  EXPECT_EQ(dialogs.questions.back(), "Exit program now?");
  EXPECT_EQ(exits.count(), 1);
  EXPECT_FALSE(main().isVisible());

  // A new start: nothing of the first run is left but its files.
  program.reset();
  QApplication::processEvents();
  dialogs = tervane_test::ScriptedDialogProvider();
  program = std::make_unique<TervaneApplication>(dialogs);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&main()));
  EXPECT_TRUE(program->state().autoconvolutionSet.empty());
  EXPECT_EQ(program->state().parameterBlock.multiplier, 1.0);
  EXPECT_EQ(program->state().currentProfile.values[100], 0.0);

  loadSavedFilesAndCalculate("second.simulation");
  const std::string second = readFile(pathOf("second.simulation"));
  ASSERT_FALSE(second.empty());
  expectSameLines(second, first);
  // The display constants came back with the profile.
  EXPECT_EQ(program->state().parameterBlock.multiplier, 1000.0);
  EXPECT_EQ(program->state().parameterBlock.background, 3.0);
  EXPECT_EQ(program->texts().calculationParameters.nc, "30");

  // And the files lose nothing that shows: the curve of the set and profile
  // as they were computed and drawn agrees with it point for point.
  const std::vector<std::string> before = linesOf(readFile(computed));
  const std::vector<std::string> after = linesOf(second);
  ASSERT_EQ(before.size(), after.size());
  double peak = 0.0;
  for (const std::string& text : before) {
    double energy = 0.0, yield = 0.0;
    std::istringstream(text) >> energy >> yield;
    peak = std::max(peak, yield);
  }
  for (std::size_t i = 0; i < before.size(); ++i) {
    std::istringstream was(before[i]);
    std::istringstream is(after[i]);
    double wasEnergy = 0.0, wasYield = 0.0, isEnergy = 0.0, isYield = 0.0;
    was >> wasEnergy >> wasYield;
    is >> isEnergy >> isYield;
    ASSERT_NEAR(isEnergy, wasEnergy, 1e-6) << "row " << i;
    ASSERT_NEAR(isYield, wasYield, 1e-4 * peak) << "row " << i;
  }
}

}  // namespace
