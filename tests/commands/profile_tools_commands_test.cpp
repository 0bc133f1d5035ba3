#include "commands/profile_tools_commands.h"

#include <gtest/gtest.h>

#include "commands/autoconvolution_commands.h"
#include "commands/profile_editor_commands.h"
#include "scripted_user_interface.h"

namespace {

TEST(ProfileParameters, MaxDepthTwelveAndContaminationOneGive2600Points) {
  CommandFixture f;
  f.texts.profileParameters.maxDepth = "12";
  f.texts.profileParameters.contamination = "1";
  previewProfileParameters(f.context);
  EXPECT_EQ(f.state.currentProfile.pointCount, 2600);
  EXPECT_EQ(f.texts.profileParameters.maxDepth, "13");
  EXPECT_EQ(f.texts.profileParameters.contamination, "1");
  EXPECT_EQ(f.charts.drawProfile.profile.points.size(), 2600u);
}

TEST(ProfileParameters, OkStoresWidthsAndFlagAndCloses) {
  CommandFixture f;
  f.texts.profileParameters.gaussian = "40";
  f.texts.profileParameters.lorentzian = "60";
  f.texts.profileParameters.includeContamination = true;
  acceptProfileParameters(f.context);
  EXPECT_EQ(f.state.parameterBlock.gaussianWidth, 40.0);
  EXPECT_EQ(f.state.parameterBlock.lorentzianWidth, 60.0);
  EXPECT_TRUE(f.state.parameterBlock.includeContamination);
  EXPECT_EQ(f.state.currentProfile.pointCount, 2000);
}

TEST(ProfileParameters, ABadFieldStopsThereWithEverythingBeforeDone) {
  CommandFixture f;
  f.texts.profileParameters.maxDepth = "5";
  f.texts.profileParameters.contamination = "x";
  f.charts.drawProfile.profile.points.clear();
  EXPECT_EQ(commandMessage([&] { acceptProfileParameters(f.context); }),
            "'x' is not a valid floating point value");
  EXPECT_EQ(f.state.currentProfile.pointCount, 1000);        // resized
  EXPECT_TRUE(f.charts.drawProfile.profile.points.empty());  // not redrawn
}

TEST(ProfileParameters, RefusesDepthsAProfileCannotHold) {
  for (const auto& [depth, layer] : std::vector<std::pair<const char*, const char*>>{
           {"-1", "0"}, {"1e300", "0"}, {"10", "-0.5"}, {"10", "1e300"}}) {
    CommandFixture f;
    f.texts.profileParameters.maxDepth = depth;
    f.texts.profileParameters.contamination = layer;
    EXPECT_NE(commandMessage([&] { previewProfileParameters(f.context); }), "no message")
        << depth << " " << layer;
    EXPECT_EQ(f.state.currentProfile.pointCount, 2000);
    EXPECT_EQ(f.state.currentProfile.contaminationDepth, 0.0);
  }
}

TEST(ProfileTools, AddErfcTouchesPointsOneTo265) {
  CommandFixture f;
  f.texts.profileParameters.erfcMax = "1";
  f.texts.profileParameters.erfcSigma = "0.3333";
  addErfcButton(f.context);
  const auto& c = f.state.currentProfile.values;
  EXPECT_EQ(c[0], 0.0);
  EXPECT_NEAR(c[1], 0.983075, 1e-6);
  EXPECT_EQ(c[266], 0.0);
  subtractErfcButton(f.context);
  for (double v : c) ASSERT_NEAR(v, 0.0, 1e-15);
  subtractErfcButton(f.context);
  EXPECT_LT(c[1], 0.0);  // not clamped
}

TEST(ProfileTools, DrawLineSmoothAndChangeScale) {
  CommandFixture f;
  f.texts.profileParameters.lineX1 = "1";
  f.texts.profileParameters.lineX2 = "0";
  drawLineButton(f.context);
  const auto& c = f.state.currentProfile.values;
  EXPECT_EQ(c[0], 0.0);
  EXPECT_EQ(c[1], 1.0);
  EXPECT_EQ(c[199], 1.0);
  EXPECT_EQ(c[200], 0.0);

  f.texts.profileParameters.smoothCount = "0";
  smoothProfileButton(f.context);
  EXPECT_NEAR(c[200], 4.0 / 9, 1e-15);  // one pass: four of the nine neighbours are 1

  f.texts.profileParameters.maxDepth = "20";
  f.texts.profileParameters.maxConcentration = "2.5";
  changeProfileScale(f.context);
  EXPECT_EQ(f.charts.drawProfile.depthAxis, (AxisRange{0, 20}));
  EXPECT_EQ(f.charts.drawProfile.concentrationAxis, (AxisRange{0, 2.5}));
  EXPECT_EQ(f.state.currentProfile.pointCount, 2000);
}

TEST(ProfileTools, AProfileAboveTheConcentrationAxisRaisesItAndNothingLowersIt) {
  CommandFixture f;
  ProfileParametersTexts& fields = f.texts.profileParameters;
  fields.lineX1 = "1";
  fields.lineX2 = "2";
  for (const auto& [c, top] : {std::pair{"0.5", 1.0}, {"1.2", 1.2 * 1.03}, {"0.3", 1.2 * 1.03}}) {
    fields.lineC1 = fields.lineC2 = c;
    drawLineButton(f.context);
    EXPECT_DOUBLE_EQ(f.charts.drawProfile.concentrationAxis.maximum, top) << c;
  }
}

TEST(ProfileTools, TryAddErfcShowsTheTrialCurveAndKeepsTheProfile) {
  CommandFixture f;
  startCalculation(f.context);
  plotProfile(f.context);
  const DepthProfile before = f.state.currentProfile;
  const auto chartBefore = f.charts.drawProfile.profile.points;
  f.texts.profileParameters.erfcSigma = "0.1";
  tryAddErfc(f.context);
  EXPECT_EQ(f.state.currentProfile, before);
  EXPECT_EQ(f.charts.drawProfile.profile.points, chartBefore);
  EXPECT_GT(f.state.excitationCurve.values[0] + f.state.excitationCurve.values[100], 0.0);
  undoProfile(f.context);  // the trial profile becomes current
  EXPECT_GT(f.state.currentProfile.values[1], 0.9);

  // A trial that cannot be calculated does not stay in the profile.
  CommandFixture g;
  const DepthProfile start = g.state.currentProfile;
  EXPECT_NE(commandMessage([&] { tryAddErfc(g.context); }), "no message");
  EXPECT_EQ(g.state.currentProfile, start);
}

}  // namespace
