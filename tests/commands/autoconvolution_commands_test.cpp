#include "commands/autoconvolution_commands.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

#include "commands/calculation_parameters_commands.h"
#include "commands/command_error.h"
#include "files/windows1252.h"
#include "fit/free_form_inversion.h"
#include "fit/layer_fit.h"
#include "fit/layer_posterior.h"
#include "model/mean_collision_loss.h"
#include "model/single_collision_density.h"
#include "scripted_user_interface.h"
#include "support/measured_data.h"
#include "support/reference_kernels.h"
#include "support/start_up_inputs.h"

namespace {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    m_path =
        fs::temp_directory_path() /
        ("tervane-commands-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_path);
    fs::create_directories(m_path);
  }
  ~TempDir() { fs::remove_all(m_path); }
  std::string file(const std::string& name) const { return (m_path / name).string(); }

 private:
  fs::path m_path;
};

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) result.push_back(line);
  return result;
}

std::string g15(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

// The log of a calculation built here from the rules: the spectrum, then each
// autoconvolution by the literal double loop, with its plain integral and mean.
std::string expectedLog(float step, float emin, float emax, int pointCount, int nc) {
  const double s = step, lo = emin, hi = emax;
  SampledCurve spectrum(pointCount, s);
  buildCollisionSpectrum(spectrum, pointCount, s, lo, hi);
  auto integral = [](const SampledCurve& c) {
    double sum = 0;
    for (double v : c.values) sum += v;
    return sum * c.step;
  };
  auto moment = [&](const SampledCurve& c) {
    double sum = 0;
    for (std::size_t i = 0; i < c.values.size(); ++i) sum += i * c.step * c.values[i];
    return sum / integral(c);
  };
  const double lnq = std::log(static_cast<double>(static_cast<float>(emax / emin)));
  std::string log = "Norma da auto 1:" + g15(integral(spectrum)) +
                    "\nM1: " + g15(moment(spectrum) * (hi - lo) / (lo * hi) * lnq / s) + "\n\n";
  const double k = lnq * (lo * hi / (hi - lo)) / s;
  SampledCurve entry = spectrum;
  for (int n = 2; n <= nc; ++n) {
    entry = reference::convolveCurves(entry, spectrum);
    log += "Norma da auto " + std::to_string(n) + ":" + g15(integral(entry)) +
           "\nM1: " + g15(moment(entry) / (n * k)) + "\n\n";
  }
  return log;
}

TEST(StartCalculation, StartTextsGiveSixEntriesAndTheLogOfTheRules) {
  CommandFixture f;
  startCalculation(f.context);

  const AutoconvolutionSet& set = f.state.autoconvolutionSet;
  ASSERT_EQ(set.size(), 6u);
  const float step = parseFieldSingle(f.texts.calculationParameters.stepSize, DecimalFormat{});
  for (const Autoconvolution& entry : set) {
    EXPECT_EQ(entry.size(), 1000u);
    EXPECT_EQ(entry.step, static_cast<double>(step));
    EXPECT_EQ(entry.origin, 0.0);
  }
  // The spike is 1/step rounded to single precision.
  EXPECT_EQ(set[0].values[0], static_cast<double>(1.0f / step));
  EXPECT_NE(set[0].values[0] * set[0].step, 1.0);

  const float emin = parseFieldSingle(f.texts.calculationParameters.emin, DecimalFormat{});
  const float emax = parseFieldSingle(f.texts.calculationParameters.emax, DecimalFormat{});
  const std::vector<std::string> got = lines(f.texts.log);
  const std::vector<std::string> want = lines(expectedLog(step, emin, emax, 1000, 5));
  ASSERT_EQ(got.size(), 15u);
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], want[i]) << "line " << i;
  EXPECT_EQ(got[0].rfind("Norma da auto 1:", 0), 0u);
  EXPECT_EQ(got[12].rfind("Norma da auto 5:", 0), 0u);
  EXPECT_EQ(got[2], "");
  EXPECT_EQ(f.texts.log.substr(f.texts.log.size() - 2), "\n\n");

  EXPECT_EQ(f.texts.mainStatusPanels[0], "5");
  const ParameterBlock& p = f.state.parameterBlock;
  EXPECT_EQ(p.emin, static_cast<double>(emin));
  EXPECT_EQ(p.emax, static_cast<double>(emax));
  EXPECT_EQ(p.beamEnergy, 151.0);
  EXPECT_EQ(p.stoppingPower, static_cast<double>(548.56f));
  EXPECT_EQ(p.straggling, static_cast<double>(6.62f));
  const double lnq = std::log(static_cast<double>(emax / emin));
  EXPECT_EQ(p.collisionDensity, static_cast<double>(548.56f) /
                                    (lnq * (double(emin) * emax / (double(emax) - emin))) * 1000);
  EXPECT_TRUE(f.ui.questions.empty());
  EXPECT_TRUE(f.ui.saveRequests.empty());
  EXPECT_NE(std::find(f.ui.shownWindows.begin(), f.ui.shownWindows.end(), WindowId::Log),
            f.ui.shownWindows.end());
}

TEST(StartCalculation, OneCollisionGivesTwoEntriesAndOneLogBlock) {
  CommandFixture f;
  f.texts.calculationParameters.nc = "1";
  f.texts.mainStatusPanels[0] = "untouched";
  f.texts.log = "earlier text";
  startCalculation(f.context);
  EXPECT_EQ(f.state.autoconvolutionSet.size(), 2u);
  const std::vector<std::string> got = lines(f.texts.log);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].rfind("Norma da auto 1:", 0), 0u);
  EXPECT_EQ(got[1].rfind("M1: ", 0), 0u);
  EXPECT_EQ(f.texts.mainStatusPanels[0], "untouched");
}

TEST(StartCalculation, AsksToSaveAHundredCollisionsBeforeComputing) {
  CommandFixture f;
  f.texts.calculationParameters.dataPoints = "100";
  f.texts.calculationParameters.nc = "99";
  startCalculation(f.context);
  EXPECT_TRUE(f.ui.questions.empty());

  f.texts.calculationParameters.nc = "100";
  f.ui.answers = {false};
  startCalculation(f.context);
  ASSERT_EQ(f.ui.questions, std::vector<std::string>{"Save results?"});
  EXPECT_TRUE(f.ui.saveRequests.empty());
  EXPECT_FALSE(f.texts.calculationParameters.saveAutos);
  EXPECT_EQ(f.state.autoconvolutionSet.size(), 101u);

  // Yes checks "Save Autos" for the next time; cancelling the file dialog only
  // switches saving off for this run.
  f.ui.answers = {true};
  f.ui.saveChoices = {std::nullopt};
  startCalculation(f.context);
  EXPECT_EQ(f.ui.saveRequests.size(), 1u);
  EXPECT_TRUE(f.texts.calculationParameters.saveAutos);
  EXPECT_EQ(f.state.autoconvolutionSet.size(), 101u);
  EXPECT_EQ(f.ui.saveRequests[0].filter,
            "Autoconvoluções do Tervane (*.flt)|*.flt|Todos os Arquivos (*.*)|*.*");
  EXPECT_EQ(f.ui.saveRequests[0].defaultExtension, "flt");
}

TEST(StartCalculation, RefusesInputsThatCannotBeComputedBeforeTouchingTheSet) {
  struct Case {
    const char* field;
    const char* text;
  };
  for (const Case& c :
       {Case{"nc", "0"}, Case{"nc", "-3"}, Case{"points", "82"}, Case{"points", "0"},
        Case{"step", "0"}, Case{"step", "-1"}, Case{"straggling", "0.01"},  // Emin underflows to 0
        Case{"nc", "2000000000"}}) {
    CommandFixture f;
    CalculationParametersTexts& fields = f.texts.calculationParameters;
    fields.saveAutos = true;
    if (std::string(c.field) == "nc") fields.nc = c.text;
    if (std::string(c.field) == "points") fields.dataPoints = c.text;
    if (std::string(c.field) == "straggling") fields.straggling = c.text;
    if (std::string(c.field) == "step") {
      fields.autoStep = false;
      fields.stepSize = c.text;
    }
    f.state.autoconvolutionSet.assign(3, SampledCurve(4, 1.0));
    const std::string message = commandMessage([&] { startCalculation(f.context); });
    EXPECT_NE(message, "no message") << c.field << "=" << c.text;
    EXPECT_EQ(f.state.autoconvolutionSet.size(), 3u);
    EXPECT_TRUE(f.ui.saveRequests.empty()) << "asked for a file before refusing";
  }
}

TEST(StartCalculation, GridTooSmallForTheSpectrumIsRefusedWithTheSizeNeeded) {
  CommandFixture f;
  f.texts.calculationParameters.dataPoints = "82";  // floor(328.95/4.03) + 2 = 83
  EXPECT_EQ(commandMessage([&] { startCalculation(f.context); }),
            "Data Points must be at least 83 for Emax 328.948669433594 eV and a step of "
            "4.02999353408813 eV.");
  f.texts.calculationParameters.dataPoints = "83";
  startCalculation(f.context);
  EXPECT_EQ(f.state.autoconvolutionSet.size(), 6u);
}

TEST(StartCalculation, EntriesThatLostTheirNormAreReportedOnceAfterRunAndLoad) {
  TempDir dir;
  CommandFixture f;
  f.ui.saveChoices = {dir.file("short.flt")};
  f.texts.calculationParameters.saveAutos = true;
  f.texts.calculationParameters.dataPoints = "83";
  startCalculation(f.context);
  ASSERT_EQ(f.ui.messages.size(), 1u);
  const std::string& message = f.ui.messages[0];
  EXPECT_EQ(message.rfind("2 autoconvolutions, from n = 4 on, keep less than 0.99", 0), 0u)
      << message;
  EXPECT_NE(message.find("About 200 data points would hold them."), std::string::npos);
  EXPECT_EQ(f.texts.log.find("would hold"), std::string::npos);  // the log stays as it was

  CommandFixture g;
  g.ui.openChoices = {dir.file("short.flt")};
  loadConvolutions(g.context);
  EXPECT_EQ(g.ui.messages, f.ui.messages);

  CommandFixture held;  // the number suggested holds every entry
  held.texts.calculationParameters.dataPoints = "200";
  startCalculation(held.context);
  EXPECT_TRUE(held.ui.messages.empty());
}

TEST(StartCalculation, StopLeavesEverythingAsItWas) {
  TempDir dir;
  CommandFixture f;
  f.texts.calculationParameters.nc = "20";
  f.texts.calculationParameters.saveAutos = true;
  f.texts.log = "the log before";
  f.state.autoconvolutionSet.assign(2, SampledCurve(3, 2.0));
  f.state.parameterBlock.emin = 1.25;
  const AutoconvolutionSet setBefore = f.state.autoconvolutionSet;
  const ParameterBlock blockBefore = f.state.parameterBlock;
  const WindowTexts textsBefore = f.texts;
  f.ui.saveChoices = {dir.file("stopped.flt")};

  std::optional<PreparedCalculation> prepared = prepareAutoconvolutionCalculation(f.context);
  ASSERT_TRUE(prepared);
  EXPECT_TRUE(f.texts.log.empty());
  std::atomic<bool> cancel{false};
  int lastEntry = 0;
  auto result = runAutoconvolutionCalculation(
      *prepared,
      [&](int n) {
        lastEntry = n;
        if (n == 4) cancel = true;
      },
      &cancel);
  EXPECT_FALSE(result);
  EXPECT_EQ(lastEntry, 4);
  abandonAutoconvolutionCalculation(f.context, *prepared);

  EXPECT_EQ(f.state.autoconvolutionSet, setBefore);
  EXPECT_EQ(f.state.parameterBlock, blockBefore);
  EXPECT_EQ(f.texts.log, textsBefore.log);
  EXPECT_EQ(f.texts.calculationParameters.emin, textsBefore.calculationParameters.emin);
  EXPECT_EQ(f.texts.calculationParameters.stepSize, textsBefore.calculationParameters.stepSize);
  EXPECT_FALSE(fs::exists(dir.file("stopped.flt")));
  EXPECT_FALSE(fs::exists(dir.file("stopped.log")));
}

TEST(StartCalculation, SavedSetLoadsBackWithFieldsParametersAndLog) {
  TempDir dir;
  CommandFixture f;
  f.texts.calculationParameters.saveAutos = true;
  f.ui.saveChoices = {dir.file("run.flt")};
  startCalculation(f.context);
  ASSERT_TRUE(fs::exists(dir.file("run.flt")));
  const std::string log = readBytes(dir.file("run.log"));
  EXPECT_EQ(log.rfind("dE/dx: 548.56\tEmin: 5.75713\tEmax: 328.949\n", 0), 0u);
  // The comment label is Windows-1252 on disk; the Log window's text follows it.
  EXPECT_NE(log.find("Coment\xE1rios: \n \n \nNorma da auto 1:"), std::string::npos);

  CommandFixture g;
  g.texts.calculationParameters.maxEnergy = "keep me";
  g.ui.openChoices = {dir.file("run.flt")};
  loadConvolutions(g.context);
  ASSERT_EQ(g.state.autoconvolutionSet.size(), 6u);
  EXPECT_EQ(g.ui.openRequests.at(0).filter,
            "Autoconvolucoes do Tervane (*.flt)|*.flt|Todos os Arquivos (*.*)|*.*");
  // Every stored point comes back in single precision; the others are 0.
  for (std::size_t n = 0; n < 6; ++n) {
    const auto& saved = f.state.autoconvolutionSet[n].values;
    const auto& loaded = g.state.autoconvolutionSet[n].values;
    ASSERT_EQ(loaded.size(), saved.size());
    for (std::size_t i = 0; i < saved.size(); ++i) {
      if (loaded[i] != 0.0) {
        EXPECT_EQ(loaded[i], static_cast<double>(static_cast<float>(saved[i])));
      }
    }
  }
  const CalculationParametersTexts& fields = g.texts.calculationParameters;
  EXPECT_EQ(fields.stoppingPower, "548.56");
  EXPECT_EQ(fields.beamEnergy, "151");
  EXPECT_EQ(fields.nc, "5");
  EXPECT_EQ(fields.dataPoints, "1000");
  EXPECT_EQ(fields.emin, f.texts.calculationParameters.emin);
  EXPECT_EQ(fields.maxEnergy, "keep me");
  EXPECT_EQ(g.state.parameterBlock.stoppingPower, 548.56);
  EXPECT_GT(g.state.parameterBlock.collisionDensity, 0.0);
  EXPECT_EQ(g.texts.log, windows1252ToUtf8(log));
  EXPECT_NE(g.texts.log.find("Comentários: \n"), std::string::npos);
}

TEST(SaveConvolutions, RefusesAnEmptySetAndDoesNothingOnCancel) {
  TempDir dir;
  CommandFixture f;
  f.ui.saveChoices = {dir.file("empty.flt")};
  EXPECT_EQ(commandMessage([&] { saveConvolutions(f.context); }),
            "There are no autoconvolutions to save: calculate or load them first.");
  EXPECT_FALSE(fs::exists(dir.file("empty.flt")));

  f.state.autoconvolutionSet.assign(3, SampledCurve(10, 1.0));
  f.ui.saveChoices = {std::nullopt};
  saveConvolutions(f.context);
  EXPECT_TRUE(fs::is_empty(dir.file("")));
}

TEST(SaveConvolutions, ReportsFilesThatCannotBeCreated) {
  CommandFixture f;
  startCalculation(f.context);
  f.ui.saveChoices = {"/nonexistent-dir/x.flt"};
  EXPECT_EQ(commandMessage([&] { saveConvolutions(f.context); }),
            "Cannot create file /nonexistent-dir/x.flt\nCannot create file /nonexistent-dir/x.log");
}

TEST(SaveConvolutions, AFieldThatIsNotANumberWritesNoFile) {
  TempDir dir;
  CommandFixture f;
  startCalculation(f.context);
  f.texts.calculationParameters.straggling = "six";
  f.ui.saveChoices = {dir.file("x.flt")};
  EXPECT_EQ(commandMessage([&] { saveConvolutions(f.context); }),
            "'six' is not a valid floating point value");
  EXPECT_FALSE(fs::exists(dir.file("x.flt")));
  EXPECT_FALSE(fs::exists(dir.file("x.log")));
}

TEST(LoadConvolutions, ABadFileChangesNothing) {
  TempDir dir;
  {
    std::ofstream out(dir.file("short.flt"), std::ios::binary);
    out << "only twenty bytes...";
  }
  CommandFixture f;
  f.state.autoconvolutionSet.assign(2, SampledCurve(3, 2.0));
  f.texts.log = "kept";
  const ProgramState stateBefore = f.state;
  const std::string fieldsBefore = f.texts.calculationParameters.beamEnergy;
  for (const std::string& path : {dir.file("short.flt"), dir.file("missing.flt")}) {
    f.ui.openChoices = {path};
    const std::string message = commandMessage([&] { loadConvolutions(f.context); });
    EXPECT_NE(message.find(path), std::string::npos) << message;
    EXPECT_EQ(f.state.autoconvolutionSet, stateBefore.autoconvolutionSet);
    EXPECT_EQ(f.state.parameterBlock, stateBefore.parameterBlock);
    EXPECT_EQ(f.texts.log, "kept");
    EXPECT_EQ(f.texts.calculationParameters.beamEnergy, fieldsBefore);
  }
  EXPECT_EQ(commandMessage([&] {
              f.ui.openChoices = {dir.file("missing.flt")};
              loadConvolutions(f.context);
            }),
            "Cannot open file " + dir.file("missing.flt"));
}

TEST(LoadConvolutions, AMissingLogIsReportedAfterEverythingElseLoaded) {
  TempDir dir;
  CommandFixture f;
  f.texts.calculationParameters.saveAutos = true;
  f.ui.saveChoices = {dir.file("set.flt")};
  startCalculation(f.context);
  fs::remove(dir.file("set.log"));

  CommandFixture g;
  g.texts.log = "previous";
  g.ui.openChoices = {dir.file("set.flt")};
  EXPECT_EQ(commandMessage([&] { loadConvolutions(g.context); }),
            "Cannot open file " + dir.file("set.log"));
  EXPECT_EQ(g.state.autoconvolutionSet.size(), 6u);
  EXPECT_EQ(g.texts.calculationParameters.nc, "5");
  EXPECT_EQ(g.state.parameterBlock.beamEnergy, 151.0);
  EXPECT_EQ(g.texts.log, "previous");
}

TEST(StartCalculation, WhileOneRunsTheSetAndItsFieldsAreOutOfReach) {
  CommandFixture f;
  startCalculation(f.context);
  const AutoconvolutionSet set = f.state.autoconvolutionSet;
  const CalculationParametersTexts fields = f.texts.calculationParameters;
  f.context.calculationRunning = true;
  f.ui.openChoices = {"/nonexistent.flt"};
  f.ui.saveChoices = {"/tmp/never-written.flt"};
  for (const auto& command : std::vector<std::function<void()>>{
           [&] { startCalculation(f.context); }, [&] { refreshCalculationParameters(f.context); },
           [&] { saveConvolutions(f.context); }, [&] { loadConvolutions(f.context); }}) {
    EXPECT_EQ(commandMessage(command),
              "The autoconvolutions are being calculated: wait for the end or stop it.");
  }
  EXPECT_EQ(f.state.autoconvolutionSet, set);
  EXPECT_EQ(f.texts.calculationParameters.emin, fields.emin);
  EXPECT_TRUE(f.ui.saveRequests.empty());
  EXPECT_TRUE(f.ui.openRequests.empty());
}

}  // namespace

namespace {

// The start-up fields hold six entries of 1000 points.
long double startUpSetBytes() {
  return 6 * (1000 * 8.0L + sizeof(Autoconvolution));
}

}  // namespace

TEST(StartCalculation, MemoryGuardsRefuseOneByteOverHalfTheMachineOrWhatIsAvailable) {
  const auto bytes = static_cast<std::uint64_t>(startUpSetBytes());
  struct Case {
    std::uint64_t installed, available;
    bool accepted;
  };
  for (const Case& c : {Case{2 * bytes, bytes, true}, Case{2 * bytes - 2, 4 * bytes, false},
                        Case{4 * bytes, bytes - 1, false}}) {
    CommandFixture f;
    f.context.memory = {c.installed, c.available};
    const std::string message = commandMessage([&] { startCalculation(f.context); });
    EXPECT_EQ(f.state.autoconvolutionSet.size(), c.accepted ? 6u : 0u) << message;
    if (!c.accepted && c.available < bytes) {
      EXPECT_NE(message.find("need 0.0 MiB of memory; only 0.0 MiB is available now"),
                std::string::npos)
          << message;
    }
  }
}

// A long job started on a thread: `run` returns whether it ended cancelled.
using StoppableJob = std::function<std::function<bool(const std::atomic<bool>*)>()>;

// Seconds from setting the cancel flag, delayMs after the start, to the job's
// end, and whether it ended cancelled.
std::pair<double, bool> secondsToStop(const std::function<bool(const std::atomic<bool>*)>& run,
                                      int delayMs) {
  std::atomic<bool> cancel{false};
  std::atomic<bool> done{false};
  bool cancelled = false;
  std::thread worker([&] {
    cancelled = run(&cancel);
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
  const auto stop = std::chrono::steady_clock::now();
  cancel = true;
  while (!done && std::chrono::steady_clock::now() - stop < std::chrono::seconds(30)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - stop).count();
  worker.join();
  return {seconds, cancelled};
}

// A run of a million collisions, a set that would take about 8 GB.
std::function<bool(const std::atomic<bool>*)> hugeCalculation() {
  auto f = std::make_shared<CommandFixture>();
  f->texts.calculationParameters.nc = "1000000";
  f->texts.calculationParameters.saveAutos = false;
  f->ui.answers = {false};  // "Save results?"
  auto prepared = std::make_shared<std::optional<PreparedCalculation>>(
      prepareAutoconvolutionCalculation(f->context));
  EXPECT_TRUE(*prepared);
  return [f, prepared](const std::atomic<bool>* cancel) {
    return !runAutoconvolutionCalculation(**prepared, nullptr, cancel);
  };
}

// 1000 measured points on the start-up grid (2000 depth points, a set of 1000
// points and 100 collisions).
const MeasuredData& largeProblem() {
  static const AutoconvolutionSet set =
      calculateAutoconvolutions(startUpAutoconvolutionInputs(), nullptr, nullptr)->set;
  static const MeasuredData problem = [] {
    MeasuredData p;
    p.set = &set;
    p.beamEnergyKev = 151.0;
    p.collisionRate = 548.56 / meanCollisionLoss(5.7571335f, 328.94867f);
    for (int j = 0; j < 1000; ++j) {
      const float counts = 50.0f + static_cast<float>(j % 40);
      p.points.push_back({static_cast<float>(150.9 + j * 0.004), counts, std::sqrt(counts)});
    }
    return p;
  }();
  return problem;
}

// Two layers, the widths and the multiplier free.
SampleModel largeModel() {
  SampleModel model;
  for (const auto& [from, to] : {std::pair{0.5, 3.0}, std::pair{5.0, 8.0}}) {
    LayerModel layer;
    layer.from = {from, true, 0.0, 10.0};
    layer.to = {to, true, 0.0, 10.0};
    layer.concentration = {0.5, true, 0.0, 2.0};
    model.layers.push_back(layer);
  }
  model.lorentzianWidth = {100.0, true, 1.0, 1000.0};
  model.gaussianWidth = {100.0, true, 1.0, 1000.0};
  model.multiplier = {1.0, true, 0.0, 1e6};
  return model;
}

std::function<bool(const std::atomic<bool>*)> largeFit() {
  return [](const std::atomic<bool>* cancel) {
    FitControl control;
    control.cancel = cancel;
    return fitProblem(problemFor(largeModel(), largeProblem()), control).cancelled;
  };
}

std::function<bool(const std::atomic<bool>*)> largeInversion() {
  return [](const std::atomic<bool>* cancel) {
    SampleModel model = largeModel();
    model.layers.clear();
    model.multiplier = {1.0};
    std::mt19937_64 generator(1);
    InversionControl control;
    control.cancel = cancel;
    return invertProblem(problemFor(model, largeProblem()), {}, generator, control).cancelled;
  };
}

std::function<bool(const std::atomic<bool>*)> largePosterior() {
  FitControl shortFit;
  shortFit.maxIterations = 3;
  auto fit =
      std::make_shared<FitResult>(fitProblem(problemFor(largeModel(), largeProblem()), shortFit));
  return [fit](const std::atomic<bool>* cancel) {
    std::mt19937_64 generator(1);
    SamplerControl control;
    control.cancel = cancel;
    return samplePosterior(*fit, problemFor(fit->joint, largeProblem()), {}, generator, control)
        .cancelled;
  };
}

struct StopCase {
  const char* job;
  StoppableJob start;
  int delayMs;
};

void PrintTo(const StopCase& c, std::ostream* out) {
  *out << c.job << " after " << c.delayMs << " ms";
}

// Sanitizers slow every instruction several times over; the half second is
// held in the ordinary build.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double kStopSeconds = 4.0;
#else
constexpr double kStopSeconds = 0.5;
#endif

// Stop answers within half a second at any point of a long job.
class StopDuringALongJob : public testing::TestWithParam<StopCase> {};

TEST_P(StopDuringALongJob, AnswersWithinHalfASecond) {
  const auto [seconds, cancelled] = secondsToStop(GetParam().start(), GetParam().delayMs);
  RecordProperty("seconds_to_stop", std::to_string(seconds));
  EXPECT_TRUE(cancelled);
  EXPECT_LT(seconds, kStopSeconds);
}

INSTANTIATE_TEST_SUITE_P(
    Delays, StopDuringALongJob,
    testing::Values(
        StopCase{"calculation", hugeCalculation, 0}, StopCase{"calculation", hugeCalculation, 20},
        StopCase{"calculation", hugeCalculation, 300}, StopCase{"fit", largeFit, 0},
        StopCase{"fit", largeFit, 20}, StopCase{"fit", largeFit, 300},
        StopCase{"inversion", largeInversion, 0}, StopCase{"inversion", largeInversion, 20},
        StopCase{"inversion", largeInversion, 300}, StopCase{"posterior", largePosterior, 0},
        StopCase{"posterior", largePosterior, 20}, StopCase{"posterior", largePosterior, 300}),
    [](const auto& info) {
      return std::string(info.param.job) + std::to_string(info.param.delayMs) + "ms";
    });
