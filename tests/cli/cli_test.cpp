#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "../commands/scripted_user_interface.h"
#include "cli/run_cli.h"
#include "commands/autoconvolution_commands.h"
#include "commands/calculation_parameters_commands.h"
#include "commands/excitation_commands.h"
#include "commands/export_commands.h"
#include "commands/profile_file_commands.h"
#include "commands/profile_tools_commands.h"
#include "commands/show_commands.h"
#include "files/profile_file.h"
#include "files/text_numbers.h"

namespace {

namespace fs = std::filesystem;

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() /
            ("tervane-cli-" +
             std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }
  fs::path m_dir;
};

TEST_F(CliTest, RefreshPrintsTheFourFieldsOfTheDialog) {
  const RunResult start = runCli("refresh");
  EXPECT_EQ(start.exitCode, 0);
  CommandFixture f;
  refreshCalculationParameters(f.context);
  const CalculationParametersTexts& fields = f.texts.calculationParameters;
  EXPECT_EQ(start.out, "Emax: " + fields.emax + "\nEmin: " + fields.emin + "\nStep size: " +
                           fields.stepSize + "\nMax Energy: " + fields.maxEnergy + "\n");

  // A step given alone switches AutoStep off; --autostep on takes it back.
  const RunResult typed = runCli("refresh --step 2.5 --points 400");
  EXPECT_EQ(typed.exitCode, 0);
  EXPECT_NE(typed.out.find("Step size: 2.5\nMax Energy: 152\n"), std::string::npos) << typed.out;
  const RunResult automatic = runCli("refresh --step 2.5 --autostep on");
  EXPECT_NE(automatic.out.find("Step size: " + fields.stepSize + "\n"), std::string::npos);
}

TEST_F(CliTest, MessagesAndUsageErrorsHaveTheirOwnExitCodes) {
  const RunResult bad = runCli("refresh --energy abc");
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.err, "'abc' is not a valid floating point value\n");
  EXPECT_TRUE(bad.out.empty());

  EXPECT_EQ(runCli("refresh --no-such-option 1").exitCode, 2);
  EXPECT_EQ(runCli("").exitCode, 2);
  EXPECT_EQ(runCli("refresh --autostep maybe").exitCode, 2);
  EXPECT_EQ(runCli("autos").exitCode, 2);  // --out is required

  const RunResult help = runCli("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("refresh"), std::string::npos);
  EXPECT_NE(help.out.find("autos"), std::string::npos);
  EXPECT_EQ(runCli("autos --help").exitCode, 0);
  EXPECT_EQ(help.out.rfind("tervane-cli", 0), 0u) << help.out;
#ifdef TERVANE_CLI_PLOT
  // Each program introduces itself by its own name.
  const fs::path plotProgram = fs::path(TERVANE_CLI_PATH).parent_path() / "tervane-plot";
  const RunResult plotHelp = runProgram(plotProgram.string(), "--help");
  EXPECT_EQ(plotHelp.exitCode, 0);
  EXPECT_EQ(plotHelp.out.rfind("tervane-plot", 0), 0u) << plotHelp.out;
  EXPECT_EQ(plotHelp.out.find("tervane-cli:"), std::string::npos) << plotHelp.out;
#endif
}

TEST_F(CliTest, AutosWritesTheSameFilesAsTheDesktopCommand) {
  const fs::path out = m_dir / "cli.flt";
  const RunResult run = runCli("autos --nc 7 --points 1200 --out " + out.string());
  ASSERT_EQ(run.exitCode, 0) << run.err;

  CommandFixture f;
  f.texts.calculationParameters.nc = "7";
  f.texts.calculationParameters.dataPoints = "1200";
  f.texts.calculationParameters.saveAutos = true;
  f.ui.saveChoices = {(m_dir / "desk.flt").string()};
  startCalculation(f.context);

  const std::string cliFlt = readBytes(out);
  EXPECT_GT(cliFlt.size(), 56u);
  EXPECT_EQ(cliFlt, readBytes(m_dir / "desk.flt"));
  EXPECT_EQ(readBytes(m_dir / "cli.log"), readBytes(m_dir / "desk.log"));
}

TEST_F(CliTest, AutosAsksNothingAtAHundredCollisionsAndRefusesBadInput) {
  const fs::path out = m_dir / "big.flt";
  const RunResult run = runCli("autos --nc 100 --points 200 --out " + out.string());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(fs::exists(out));
  EXPECT_TRUE(fs::exists(m_dir / "big.log"));

  const fs::path refused = m_dir / "refused.flt";
  const RunResult bad = runCli("autos --nc 0 --out " + refused.string());
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.err, "Nc must be at least 1.\n");
  EXPECT_FALSE(fs::exists(refused));

  const RunResult unwritable = runCli("autos --out /nonexistent-dir/x.flt");
  EXPECT_EQ(unwritable.exitCode, 1);
  EXPECT_NE(unwritable.err.find("Cannot create file /nonexistent-dir/x.flt"), std::string::npos);
}

// A set and a buried layer written once for the curve subcommands.
class CliCurveTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    m_flt = (m_dir / "set.flt").string();
    m_pro = (m_dir / "layer.pro").string();
    ASSERT_EQ(runCli("autos --nc 30 --out " + m_flt).exitCode, 0);
    DepthProfile layer = DepthProfile::forMaximumDepth(10, 0.005);
    for (int i = 40; i < 120; ++i) layer.values[i] = 0.8;
    ASSERT_TRUE(writeProfileFile(m_pro, layer, {2.0, 3.0, 0.0}));
  }
  // The same state as the desktop program has after loading both files.
  void loadBoth(CommandFixture& f) {
    loadAutos(f.context, m_flt);
    loadProfileFrom(f.context, m_pro, false);
  }
  std::string m_flt;
  std::string m_pro;
};

// A layer 3.9 ug/cm2 thick reaches 90 mean collisions, far beyond the set's 30;
// the buried one (0.2 to 0.6 ug/cm2) reaches 14.
TEST_F(CliCurveTest, CurveAndPlotWarnAsCalculateDoesWhenTheSetHoldsTooFewCollisions) {
  const std::string deep = (m_dir / "deep.pro").string();
  DepthProfile layer = DepthProfile::forMaximumDepth(10, 0.005);
  for (int i = 0; i < 780; ++i) layer.values[i] = 1.0;
  ASSERT_TRUE(writeProfileFile(deep, layer, {0.0, 0.0, 1.0}));
  CommandFixture f;
  loadAutos(f.context, m_flt);
  loadProfileFrom(f.context, deep, false);
  calculateExcitation(f.context);
  const std::string warning = f.texts.drawProfile.warning;
  ASSERT_NE(warning, "");

  const std::string out = " --out " + (m_dir / "c.simulation").string();
  const RunResult run = runCli("curve --autos " + m_flt + " --profile " + deep + out);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "warning: " + warning + "\n");
  const RunResult buried = runCli("curve --autos " + m_flt + " --profile " + m_pro + out);
  EXPECT_EQ(buried.exitCode, 0);
  EXPECT_EQ(buried.err, "");
#ifdef TERVANE_CLI_PLOT
  const RunResult plot = runCli("plot --autos " + m_flt + " --profile " + deep + " --out " +
                                (m_dir / "c.png").string());
  EXPECT_EQ(plot.exitCode, 0);
  // (Qt may add its own notes after it.)
  EXPECT_EQ(plot.err.rfind("warning: " + warning + "\n", 0), 0u) << plot.err;
#endif
}

TEST_F(CliCurveTest, CurveIsTheDesktopsSaveCalculationAfterF5) {
  const fs::path out = m_dir / "curve.simulation";
  const RunResult run = runCli("curve --autos " + m_flt + " --profile " + m_pro +
                               " --gaussian 40 --lorentzian 60 --out " + out.string());
  ASSERT_EQ(run.exitCode, 0) << run.err;

  CommandFixture f;
  loadBoth(f);
  f.state.parameterBlock.gaussianWidth = 40;
  f.state.parameterBlock.lorentzianWidth = 60;
  calculateExcitation(f.context);
  writeCalculationTo(f.context, (m_dir / "desk.simulation").string());
  const std::string text = readBytes(out);
  EXPECT_EQ(text, readBytes(m_dir / "desk.simulation"));
  // Broadened: the curve is longer than the set's 1000 points; the display
  // constants of the profile file are applied.
  EXPECT_GT(std::count(text.begin(), text.end(), '\n'), 1000);

  const RunResult off = runCli("curve --autos " + m_flt + " --profile " + m_pro +
                               " --convolve off --digits 17 --out " + out.string());
  ASSERT_EQ(off.exitCode, 0) << off.err;
  const std::string exact = readBytes(out);
  EXPECT_EQ(std::count(exact.begin(), exact.end(), '\n'), 1000);
  // 17 digits give every bit of the first yield.
  f.texts.drawProfile.convolve = false;
  calculateExcitation(f.context);
  const std::string firstLine = exact.substr(0, exact.find('\n'));
  const double yield = std::stod(firstLine.substr(firstLine.rfind(' ') + 1));
  EXPECT_EQ(yield, f.state.excitationCurve.values[0] * 3.0 + 2.0);
}

TEST_F(CliCurveTest, ResonanceIsCalculatesOwnAndAFaultyFileIsRefused) {
  const std::string curve = "curve --autos " + m_flt + " --profile " + m_pro + " --out ";
  const fs::path plain = m_dir / "plain.simulation";
  const fs::path cut = m_dir / "cut.simulation";
  const fs::path whole = m_dir / "whole.simulation";
  ASSERT_EQ(runCli(curve + plain.string()).exitCode, 0);
  ASSERT_EQ(runCli(curve + cut.string() + " --resonance lorentzian").exitCode, 0);
  ASSERT_EQ(runCli(curve + whole.string() + " --resonance breit-wigner").exitCode, 0);
  EXPECT_EQ(readBytes(cut), readBytes(plain));
  CommandFixture f;
  loadBoth(f);
  f.state.resonance.kind = ResonanceKind::BreitWigner;
  calculateExcitation(f.context);
  writeCalculationTo(f.context, (m_dir / "desk.simulation").string());
  EXPECT_EQ(readBytes(whole), readBytes(m_dir / "desk.simulation"));
  EXPECT_NE(readBytes(whole), readBytes(plain));

  std::ofstream(m_dir / "bad.r33") << "Source: x\nData:\n151 0 1 0\n151.5 0 -1 0\nEndData:\n";
  std::ofstream(m_dir / "narrow.txt") << "151 1\n151.0001 1\n";
  const struct {
    std::string command;
    const char* file;
    const char* message;
  } refused[] = {
      {curve, "bad.r33", "bad.r33, line 4: a cross section below 0"},
      {"lewis --convolve on --autos " + m_flt + " --out ", "bad.r33", "bad.r33, line 4: "},
      {curve, "narrow.txt", "narrow.txt, line 2: the cross section spans"},
#ifdef TERVANE_CLI_PLOT
      {"plot --autos " + m_flt + " --profile " + m_pro + " --out ", "bad.r33", "bad.r33, line 4: "},
#endif
  };
  for (const auto& r : refused) {
    const fs::path out = m_dir / "refused.png";
    const RunResult run =
        runCli(r.command + out.string() + " --resonance " + (m_dir / r.file).string());
    EXPECT_EQ(run.exitCode, 1) << r.command;
    EXPECT_EQ(run.err.rfind(r.message, 0), 0u) << run.err;
    EXPECT_FALSE(fs::exists(out)) << r.command;
  }
}

TEST_F(CliCurveTest, LewisSingleAndKn) {
  const fs::path lewis = m_dir / "lewis.asc";
  ASSERT_EQ(runCli("lewis --autos " + m_flt + " --out " + lewis.string()).exitCode, 0);
  const std::string shape = readBytes(lewis);
  EXPECT_EQ(std::count(shape.begin(), shape.end(), '\n'), 1000);  // not broadened by default
  CommandFixture f;
  loadAutos(f.context, m_flt);
  plotLewis(f.context);
  writeCalculationTo(f.context, (m_dir / "desk.asc").string());
  EXPECT_EQ(shape, readBytes(m_dir / "desk.asc"));

  const fs::path single = m_dir / "single.asc";
  ASSERT_EQ(runCli("single --autos " + m_flt + " --entry 0 --out " + single.string()).exitCode, 0);
  const std::string spike = readBytes(single);
  // The file holds the curve as Save Calculation writes any curve: around the beam energy.
  EXPECT_EQ(spike.substr(0, spike.find('\n')),
            "151   " + formatTextFileNumber(f.state.autoconvolutionSet[0].values[0]));
  ASSERT_EQ(runCli("single --autos " + m_flt + " --entry 31 --out " + single.string()).exitCode, 0);
  EXPECT_TRUE(readBytes(single).empty());

  const RunResult kn = runCli("kn --autos " + m_flt + " --profile " + m_pro + " --digits 17");
  ASSERT_EQ(kn.exitCode, 0) << kn.err;
  std::istringstream lines(kn.out);
  std::string line;
  int n = 0;
  loadProfileFrom(f.context, m_pro, false);
  plotKn(f.context);
  while (std::getline(lines, line)) {
    EXPECT_EQ(line.substr(0, line.find(' ')), std::to_string(n));
    EXPECT_EQ(std::stod(line.substr(line.rfind(' ') + 1)),
              f.charts.main.measuredPoints.points.at(n).y);
    ++n;
  }
  EXPECT_EQ(n, 31);
}

TEST_F(CliCurveTest, MissingOrBadFilesStopWithTheirMessage) {
  const RunResult missing = runCli("curve --autos " + (m_dir / "none.flt").string() +
                                   " --profile " + m_pro + " --out " + (m_dir / "x").string());
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "Cannot open file " + (m_dir / "none.flt").string() + "\n");
  EXPECT_FALSE(fs::exists(m_dir / "x"));
  EXPECT_EQ(runCli("kn --autos " + m_flt + " --profile " + m_pro + " --digits 18").exitCode, 2);

  // A set whose .log went missing still calculates, the same, and says nothing of it.
  ASSERT_EQ(runCli("lewis --autos " + m_flt + " --out " + (m_dir / "l1").string()).exitCode, 0);
  fs::remove(m_dir / "set.log");
  const RunResult noLog = runCli("lewis --autos " + m_flt + " --out " + (m_dir / "l").string());
  EXPECT_EQ(noLog.exitCode, 0);
  EXPECT_EQ(noLog.err, "");
  EXPECT_EQ(readBytes(m_dir / "l"), readBytes(m_dir / "l1"));
}

TEST_F(CliTest, ProfileBuildsWritesAndRefuses) {
  const fs::path start = m_dir / "start.pro";
  ASSERT_EQ(runCli("profile --out " + start.string()).exitCode, 0);
  EXPECT_EQ(fs::file_size(start), 16048u);

  const fs::path shaped = m_dir / "shaped.pro";
  const fs::path text = m_dir / "shaped.profile";
  const RunResult run = runCli("profile --in " + start.string() + " --out " + shaped.string() +
                               " --text " + text.string() +
                               " --include-contamination max-depth=12 contamination=1 "
                               "line=0,1,2,1 smooth=0 constants=0.5,10,2");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  CommandFixture f;
  loadProfileFrom(f.context, shaped.string(), false);
  EXPECT_EQ(f.state.currentProfile.pointCount, 2600);
  EXPECT_EQ(f.state.currentProfile.contaminationDepth, 1.0);
  EXPECT_EQ(f.state.parameterBlock.multiplier, 2.0);
  EXPECT_EQ(f.state.parameterBlock.background, 10.0);
  EXPECT_EQ(f.state.currentProfile.values[300], 1.0);
  const std::string rows = readBytes(text);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 2600 - 200);
  EXPECT_EQ(rows.rfind("1   ", 0), 0u);  // depths from the outer surface

  // The erfc tools take MAX then SIGMA, as the window's two fields.
  const fs::path erfc = m_dir / "erfc.pro";
  ASSERT_EQ(runCli("profile --out " + erfc.string() + " add-erfc=0.5,0.05").exitCode, 0);
  CommandFixture window;
  window.texts.profileParameters.erfcMax = "0.5";
  window.texts.profileParameters.erfcSigma = "0.05";
  addErfcButton(window.context);
  CommandFixture loaded;
  loadProfileFrom(loaded.context, erfc.string(), false);
  const std::vector<double>& written = loaded.state.currentProfile.values;
  const std::vector<double>& drawn = window.state.currentProfile.values;
  ASSERT_EQ(written.size(), drawn.size());
  for (std::size_t i = 0; i < drawn.size(); ++i) EXPECT_NEAR(written[i], drawn[i], 1e-6) << i;

  const RunResult zero = runCli("profile --out " + (m_dir / "z.pro").string() + " constants=0,0,0");
  EXPECT_EQ(zero.exitCode, 1);
  EXPECT_EQ(zero.err, "Te liga mané!\n");
  EXPECT_FALSE(fs::exists(m_dir / "z.pro"));
  EXPECT_EQ(runCli("profile --out " + (m_dir / "u.pro").string() + " twist=3").exitCode, 2);
  EXPECT_EQ(runCli("profile --out " + (m_dir / "u.pro").string() + " line=1,2").exitCode, 2);
  const RunResult bad = runCli("profile --out " + (m_dir / "b.pro").string() + " smooth=x");
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.err, "'x' is not a valid integer value\n");
}

#ifdef TERVANE_CLI_PLOT
TEST_F(CliTest, PlotWritesTheChartsAsTheExtensionSaysWithTheFitSummarised) {
  const fs::path autos = m_dir / "p.flt";
  const fs::path profile = m_dir / "p.pro";
  const fs::path data = m_dir / "p.dat";
  ASSERT_EQ(runCli("autos --nc 7 --points 1200 --out " + autos.string()).exitCode, 0);
  ASSERT_EQ(runCli("profile --out " + profile.string() + " line=0.2,1,0.6,1").exitCode, 0);
  std::ofstream(data) << "Energy Yield\n151.0 3\n151.1 7\n151.2 5";
  std::ofstream(m_dir / "fit.json")
      << R"({"converged": true, "chi2": 40.2, "dof": 37, "reduced_chi2": 1.0865, "warnings": [],
             "derived": {"layer1.amount": {"value": 0.41, "error": 0.02},
                         "layer1.centroid": {"value": 0.4, "error": null}}})";
  const std::string inputs = "plot --autos " + autos.string() + " --profile " + profile.string() +
                             " --data " + data.string() + " --fit " + (m_dir / "fit.json").string();
  for (const auto& [name, magic] : {std::pair{"f.png", std::string("\x89PNG")},
                                    {"f.pdf", std::string("%PDF-")},
                                    {"f.svg", std::string("<?xml")}}) {
    const RunResult run = runCli(inputs + " --size 900x300 --out " + (m_dir / name).string());
    EXPECT_EQ(run.exitCode, 0) << name << run.err;
    EXPECT_EQ(readBytes(m_dir / name).rfind(magic, 0), 0u) << name;
  }
  const std::string svg = readBytes(m_dir / "f.svg");
  EXPECT_NE(svg.find("viewBox=\"0 0 900 300\""), std::string::npos);
  for (const char* text : {"1.087", "0.410 ± 0.020", "0.4 ± undetermined", "Yield (counts)"}) {
    EXPECT_NE(svg.find(text), std::string::npos) << text;
  }
  EXPECT_EQ(runCli(inputs + " --out " + (m_dir / "f.gif").string()).exitCode, 1);
  EXPECT_EQ(runCli(inputs + " --size 9 --out " + (m_dir / "g.png").string()).exitCode, 1);
  EXPECT_EQ(runCli(inputs + " --dpi x --out " + (m_dir / "g.png").string()).exitCode, 2);
}

TEST_F(CliTest, PlotDrawsTheFitsCurveWithItsOwnWidthsAndABandFile) {
  const std::string autos = (m_dir / "p.flt").string();
  const std::string profile = (m_dir / "p.pro").string();
  ASSERT_EQ(runCli("autos --nc 7 --points 1200 --out " + autos).exitCode, 0);
  ASSERT_EQ(runCli("profile --out " + profile + " line=0.2,1,0.6,1").exitCode, 0);
  // A result without a summary: the figures differ by their curves alone.
  std::ofstream(m_dir / "fit.json") << R"({"parameters": {"lorentzian_width": {"value": 300},
                                                          "gaussian_width": {"value": 250}}})";
  const std::string plot = "plot --autos " + autos + " --profile " + profile + " --out ";
  ASSERT_EQ(runCli(plot + (m_dir / "fit.png").string() + " --fit " + (m_dir / "fit.json").string())
                .exitCode,
            0);
  ASSERT_EQ(runCli(plot + (m_dir / "w.png").string() + " --lorentzian 300 --gaussian 250").exitCode,
            0);
  ASSERT_EQ(runCli(plot + (m_dir / "d.png").string()).exitCode, 0);
  EXPECT_EQ(readBytes(m_dir / "fit.png"), readBytes(m_dir / "w.png"));
  EXPECT_NE(readBytes(m_dir / "fit.png"), readBytes(m_dir / "d.png"));

  // A band reaching higher than the profile, drawn behind it with its legend.
  std::ofstream band(m_dir / "band.txt");
  for (int i = 0; i <= 200; ++i) {
    const double depth = 0.005 * i;
    const double c = depth > 0.2 && depth < 0.6 ? 1.0 : 0.0;
    band << depth << "   " << 0.8 * c << "   " << c << "   " << 1.7 * c << "\n";
  }
  band.close();
  const fs::path svg = m_dir / "band.svg";
  ASSERT_EQ(runCli(plot + svg.string() + " --band " + (m_dir / "band.txt").string()).exitCode, 0);
  const std::string drawn = readBytes(svg);
  EXPECT_NE(drawn.find("fill=\"#3c6edc\""), std::string::npos);
  EXPECT_NE(drawn.find("16–84% band"), std::string::npos);
  ASSERT_EQ(runCli(plot + (m_dir / "none.svg").string()).exitCode, 0);
  EXPECT_EQ(readBytes(m_dir / "none.svg").find("#3c6edc"), std::string::npos);
  std::ofstream(m_dir / "bad.txt") << "0 1 2 3\n0.1 1 2\n";
  const RunResult bad = runCli(plot + svg.string() + " --band " + (m_dir / "bad.txt").string());
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.err.find("line 2"), std::string::npos) << bad.err;
}

TEST_F(CliTest, PlotOfAJointFitDrawsEveryMeasurementFromTheModel) {
  const std::string model = std::string(TERVANE_EXAMPLES_DIR) + "/close-layers.model.json";
  const std::string result = (m_dir / "joint.json").string();
  ASSERT_EQ(runCli("fit --model " + model + " --errors covariance --json " + result).exitCode, 0);
  const std::string plot = "plot --model " + model + " --out " + (m_dir / "joint.svg").string();
  const RunResult run = runCli(plot + " --fit " + result);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string svg = readBytes(m_dir / "joint.svg");
  EXPECT_NE(svg.find("viewBox=\"0 0 2400 600\""), std::string::npos);  // three charts
  // Each measurement's chi2/nu in its box, and the whole fit's on the first.
  int shown = 0;
  for (std::size_t at = svg.find("χ²/ν = "); at != std::string::npos;
       at = svg.find("χ²/ν = ", at + 1)) {
    ++shown;
  }
  EXPECT_EQ(shown, 3);
  EXPECT_NE(svg.find("Depth"), std::string::npos);
  // The model names the files; a fit is what it draws.
  for (const std::string& refused :
       {plot, plot + " --fit " + result + " --autos " + std::string(TERVANE_EXAMPLES_DIR) +
                  "/start-up.flt"}) {
    const RunResult refusal = runCli(refused);
    EXPECT_EQ(refusal.exitCode, 1) << refused;
    EXPECT_FALSE(refusal.err.empty());
  }
}

TEST_F(CliTest, PlotWithoutItsProgramSaysWhatIsMissing) {
  fs::copy_file(TERVANE_CLI_PATH, m_dir / "tervane-cli");
  fs::permissions(m_dir / "tervane-cli", fs::perms::owner_all);
  const std::string command = "cd " + m_dir.string() +
                              " && PATH=/nonexistent ./tervane-cli plot --autos a.flt --out f.png "
                              "2>err.txt";
  const int status = std::system(command.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(readBytes(m_dir / "err.txt").find("tervane-plot"), std::string::npos);
}
#endif

}  // namespace
