#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "commands/autoconvolution_commands.h"
#include "commands/constants_commands.h"
#include "commands/data_commands.h"
#include "commands/excitation_commands.h"
#include "commands/recent_files.h"
#include "scripted_user_interface.h"

namespace {

namespace fs = std::filesystem;

std::string writeTemp(const std::string& name, const std::string& text) {
  const fs::path path = fs::temp_directory_path() / ("tervane-data-" + name);
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

TEST(MeasuredData, LoadDrawsAllButTheSpareEntryAndRemembersTheName) {
  CommandFixture f;
  const std::string path = writeTemp("run7.dat", "1 2\n3 4\n");
  f.ui.openChoices = {path};
  loadExperimentalData(f.context);
  EXPECT_EQ(f.state.experimentalData.size(), 3u);
  EXPECT_EQ(f.charts.main.measuredPoints.points, (std::vector<ChartPoint>{{1, 2}, {3, 4}}));
  EXPECT_EQ(f.texts.dialogNames.measuredData, path);
  EXPECT_EQ(f.texts.mainStatusMessage, "2 points read from " + path);
  EXPECT_EQ(f.ui.openRequests[0].defaultExtension, "ahk");
  EXPECT_EQ(f.ui.openRequests[0].filter.rfind("Common Profile Files (*.dat; *.pak; *.profile)|", 0),
            0u);

  clearExperimentalData(f.context);
  EXPECT_TRUE(f.state.experimentalData.empty());
  EXPECT_TRUE(f.charts.main.measuredPoints.points.empty());
  fs::remove(path);
}

TEST(RecentFiles, KeepTheLatestFirstOnceEachAndForgetFilesThatAreGone) {
  CommandFixture f;
  std::vector<RecentFile>& recent = f.texts.recentFiles;
  for (int i = 0; i < 10; ++i) rememberRecentFile(recent, {RecentKind::Profile, std::to_string(i)});
  rememberRecentFile(recent, {RecentKind::Profile, "5"});
  ASSERT_EQ(recent.size(), kRecentFilesKept);
  EXPECT_EQ(recent[0].path, "5");
  EXPECT_EQ(recent[1].path, "9");
  EXPECT_EQ(recent.back().path, "2");

  const std::string path = writeTemp("recent.dat", "1 2\n3 4\n5 6\n");
  openRecentFile(f.context, {RecentKind::MeasuredData, path});
  EXPECT_EQ(f.charts.main.measuredPoints.points.size(), 3u);
  EXPECT_EQ(recent[0], (RecentFile{RecentKind::MeasuredData, path}));
  fs::remove(path);
  EXPECT_EQ(commandMessage([&] { openRecentFile(f.context, recent[0]); }),
            "Cannot open file " + path);
  EXPECT_EQ(recent[0].path, "5");
}

TEST(MeasuredData, CancelAndMissingFilesChangeNothing) {
  CommandFixture f;
  f.state.experimentalData = {{1, 2}, {0, 0}};
  f.ui.openChoices = {std::nullopt};
  loadExperimentalData(f.context);
  EXPECT_EQ(f.state.experimentalData.size(), 2u);
  f.ui.openChoices = {"/nonexistent/data.dat"};
  EXPECT_EQ(commandMessage([&] { loadExperimentalData(f.context); }),
            "Cannot open file /nonexistent/data.dat");
  EXPECT_EQ(f.state.experimentalData.size(), 2u);
}

TEST(Constants, OpenBacksUpTheBlockAndFillsTheFields) {
  CommandFixture f;
  f.state.parameterBlock.energyShift = 0.5;
  f.state.parameterBlock.multiplier = 2;
  openConstants(f.context);
  EXPECT_EQ(f.state.parameterBackup, f.state.parameterBlock);
  EXPECT_EQ(f.texts.constants.energyShift, "0.5");
  EXPECT_EQ(f.texts.constants.multiplier, "2");
  EXPECT_EQ(f.ui.shownWindows.back(), WindowId::Constants);
}

TEST(Constants, PreviewScalesTheCurveAndShiftsThePoints) {
  CommandFixture f;
  startCalculation(f.context);
  for (int i = 10; i < 100; ++i) f.state.currentProfile.values[i] = 1;
  calculateExcitation(f.context);
  f.state.experimentalData = {{151.1f, 5}, {151.2f, 6}, {0, 0}};
  openConstants(f.context);
  f.texts.constants = {"0.5", "10", "2"};
  EXPECT_TRUE(previewConstants(f.context));
  const auto& curve = f.charts.main.computedCurve.points;
  for (std::size_t i = 0; i < curve.size(); i += 50) {
    EXPECT_EQ(curve[i].y, 2 * f.state.excitationCurve.values[i] + 10);
  }
  EXPECT_EQ(f.charts.main.measuredPoints.points[0].x, static_cast<double>(151.1f) + 0.5);
  EXPECT_EQ(f.charts.main.measuredPoints.points[0].y, 5.0);
}

TEST(Constants, AZeroMultiplierIsRefusedAndAFieldThatIsNotANumberStopsThere) {
  CommandFixture f;
  openConstants(f.context);
  const ParameterBlock before = f.state.parameterBlock;
  f.texts.constants = {"0.5", "10", "0"};
  EXPECT_FALSE(previewConstants(f.context));
  EXPECT_EQ(f.ui.messages, std::vector<std::string>{"Te liga mané!"});
  EXPECT_EQ(f.state.parameterBlock, before);
  acceptConstants(f.context);  // closes anyway, changing nothing
  EXPECT_EQ(f.state.parameterBlock, before);

  f.texts.constants = {"0.5", "ten", "2"};
  EXPECT_EQ(commandMessage([&] { previewConstants(f.context); }),
            "'ten' is not a valid floating point value");
  EXPECT_EQ(f.state.parameterBlock.energyShift, 0.5);
  EXPECT_EQ(f.state.parameterBlock.background, 0.0);
  EXPECT_EQ(f.state.parameterBlock.multiplier, 1.0);
}

TEST(Constants, CancelRestoresTheWholeBlockAfterACalculation) {
  CommandFixture f;
  openConstants(f.context);
  const ParameterBlock opened = f.state.parameterBlock;
  startCalculation(f.context);
  f.texts.constants = {"1", "2", "3"};
  previewConstants(f.context);
  ASSERT_NE(f.state.parameterBlock, opened);
  cancelConstants(f.context);
  EXPECT_EQ(f.state.parameterBlock, opened);
  EXPECT_EQ(f.state.autoconvolutionSet.size(), 6u);  // the results stay
}

TEST(Constants, NothingLoadedMeansNothingRedrawn) {
  CommandFixture f;
  openConstants(f.context);
  f.texts.constants = {"1", "2", "3"};
  f.ui.redraws.clear();
  previewConstants(f.context);
  cancelConstants(f.context);
  for (View view : f.ui.redraws) EXPECT_NE(view, View::MainChart);
  EXPECT_EQ(f.state.parameterBlock.multiplier, 1.0);
}

}  // namespace
