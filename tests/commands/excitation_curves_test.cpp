#include "commands/excitation_curves.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "commands/autoconvolution_commands.h"
#include "commands/excitation_commands.h"
#include "commands/profile_file_commands.h"
#include "commands/show_commands.h"
#include "files/temporary_directory.h"
#include "scripted_user_interface.h"

namespace {

namespace fs = std::filesystem;

// A set saved by the desktop, and a profile file with display constants: the
// session-free commands read the files and must give what the desktop shows
// after loading them, to the bit.
class ExcitationCurves : public ::testing::Test {
 protected:
  // A folder of its own: ctest runs each case as a process of its own, side
  // by side.
  static void SetUpTestSuite() {
    s_folder = std::make_unique<TemporaryDirectory>();
    s_dir = s_folder->root();
    CommandFixture maker;
    maker.texts.calculationParameters.nc = "12";
    maker.texts.calculationParameters.saveAutos = true;
    maker.ui.saveChoices = {(s_dir / "set.flt").string()};
    startCalculation(maker.context);
    for (const auto& [name, from, to] : {std::tuple{"buried.pro", 40, 120}, {"deep.pro", 0, 1900}}) {
      DepthProfile layer = DepthProfile::forMaximumDepth(10, 0.005);
      for (int i = from; i < to; ++i) layer.values[i] = 0.8;
      ASSERT_TRUE(writeProfileFile((s_dir / name).string(), layer, {2.0, 3.0, 0.5}));
    }
  }
  static void TearDownTestSuite() { s_folder.reset(); }

  // The desktop after Load Convolutions and Load of the profile.
  void load(CommandFixture& desk, const std::string& profile) {
    loadAutos(desk.context, flt());
    loadProfileFrom(desk.context, (s_dir / profile).string(), false);
  }
  static std::string flt() { return (s_dir / "set.flt").string(); }

  static std::unique_ptr<TemporaryDirectory> s_folder;
  static fs::path s_dir;
};
std::unique_ptr<TemporaryDirectory> ExcitationCurves::s_folder;
fs::path ExcitationCurves::s_dir;

TEST_F(ExcitationCurves, CalculateIsTheDesktopsForEveryBroadeningAndProfile) {
  const AutoconvolutionSetFile set = readAutoconvolutionSetFile(flt());
  const struct {
    const char* profile;
    bool convolve;
    double gaussian, lorentzian;
    ResonanceKind resonance;
  } cases[] = {
      {"buried.pro", true, 100, 100, ResonanceKind::Lorentzian},
      {"buried.pro", false, 100, 100, ResonanceKind::Lorentzian},
      {"buried.pro", true, 40, 250, ResonanceKind::BreitWigner},
      {"deep.pro", true, 100, 100, ResonanceKind::Lorentzian},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.profile) + (c.convolve ? " convolved" : " bare"));
    CommandFixture desk;
    load(desk, c.profile);
    desk.texts.drawProfile.convolve = c.convolve;
    desk.state.parameterBlock.gaussianWidth = c.gaussian;
    desk.state.parameterBlock.lorentzianWidth = c.lorentzian;
    desk.state.resonance.kind = c.resonance;
    calculateExcitation(desk.context);

    ResonanceShape resonance;
    resonance.kind = c.resonance;
    const ShownCurve shown =
        excitationCurveOfSet(set, readProfileAsLoaded((s_dir / c.profile).string()),
                             {c.convolve, c.gaussian, c.lorentzian, resonance});
    EXPECT_EQ(shown.curve, desk.state.excitationCurve);
    EXPECT_EQ(shown.warning.value_or(""), desk.texts.drawProfile.warning);
    EXPECT_EQ(curvePoints(shown.curve, shown.beamEnergy, shown.constants.multiplier,
                          shown.constants.background),
              desk.charts.main.computedCurve.points);
  }
  // The deep layer reaches beyond the set's 12 collisions.
  CommandFixture deep;
  load(deep, "deep.pro");
  calculateExcitation(deep.context);
  EXPECT_NE(deep.texts.drawProfile.warning, "");
}

TEST_F(ExcitationCurves, LewisSingleAndKnAreTheShowDialogsAndShowKn) {
  const AutoconvolutionSetFile set = readAutoconvolutionSetFile(flt());
  for (const bool convolve : {false, true}) {
    CommandFixture desk;
    load(desk, "buried.pro");
    desk.texts.show = {"70", "30", convolve, "1"};
    plotLewis(desk.context);
    EXPECT_EQ(lewisCurveOfSet(set, {convolve, 70, 30, {}}).curve, desk.state.excitationCurve)
        << convolve;
  }
  for (const char* entry : {"0", "12", "13", "-1"}) {
    CommandFixture desk;
    load(desk, "buried.pro");
    desk.state.excitationCurve = {};
    desk.texts.show.singleEntry = entry;
    plotSingle(desk.context);
    EXPECT_EQ(singleEntryCurveOfSet(set, entry).curve, desk.state.excitationCurve) << entry;
  }
  CommandFixture desk;
  load(desk, "buried.pro");
  plotKn(desk.context);
  const std::vector<double> weights =
      collisionWeightsOfSet(set, readProfileAsLoaded((s_dir / "buried.pro").string()).profile);
  ASSERT_EQ(weights.size(), desk.charts.main.measuredPoints.points.size());
  for (std::size_t n = 0; n < weights.size(); ++n) {
    EXPECT_EQ(weights[n], desk.charts.main.measuredPoints.points[n].y) << n;
  }
}

TEST_F(ExcitationCurves, RefusalsAreCalculatesOwn) {
  const AutoconvolutionSetFile set = readAutoconvolutionSetFile(flt());
  const ProfileFile profile = readProfileAsLoaded((s_dir / "buried.pro").string());
  for (const double width : {0.0, -5.0, 1e300}) {
    CommandFixture desk;
    load(desk, "buried.pro");
    desk.state.parameterBlock.gaussianWidth = width;
    EXPECT_EQ(commandMessage([&] { excitationCurveOfSet(set, profile, {true, width, 100, {}}); }),
              commandMessage([&] { calculateExcitation(desk.context); }))
        << width;
  }
}

}  // namespace
