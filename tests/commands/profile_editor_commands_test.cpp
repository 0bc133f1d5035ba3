#include "commands/profile_editor_commands.h"

#include <gtest/gtest.h>

#include "scripted_user_interface.h"

namespace {

// A drag as the chart reports it: one move without the button, then moves with it.
void drag(CommandFixture& f, double x1, double y1, double x2, double y2) {
  profileMouseMove(f.context, x1, y1, false, false);
  profileMouseMove(f.context, x1, y1, true, false);
  profileMouseMove(f.context, x2, y2, true, false);
}

std::vector<int> writtenPoints(const DepthProfile& profile) {
  std::vector<int> points;
  for (int i = 0; i < profile.pointCount; ++i) {
    if (profile.values[i] != 0.0) points.push_back(i);
  }
  return points;
}

TEST(ProfileDrawing, ADragFromZeroToOneWritesPointsOneTo199) {
  CommandFixture f;
  drag(f, 0.0, 0.5, 1.0, 0.5);
  const DepthProfile& p = f.state.currentProfile;
  EXPECT_EQ(p.values[0], 0.0);  // the surface point is never drawn
  for (int i = 1; i <= 199; ++i) ASSERT_DOUBLE_EQ(p.values[i], 0.5) << i;
  EXPECT_EQ(p.values[200], 0.0);
  EXPECT_EQ(writtenPoints(p).size(), 199u);
  // The series shows the whole profile after the segment.
  ASSERT_EQ(f.charts.drawProfile.profile.points.size(), 2000u);
  EXPECT_DOUBLE_EQ(f.charts.drawProfile.profile.points[100].x, 0.5);
  EXPECT_DOUBLE_EQ(f.charts.drawProfile.profile.points[100].y, 0.5);
}

TEST(ProfileDrawing, TheFirstDragAfterStartUpDrawsNothingUntilThePenIsArmed) {
  CommandFixture f;
  profileMouseMove(f.context, 1.0, 0.5, true, false);
  profileMouseMove(f.context, 2.0, 0.5, true, false);
  EXPECT_TRUE(writtenPoints(f.state.currentProfile).empty());
  EXPECT_EQ(f.state.drawingState.lastMouseDepth, 2.0);  // positions are still recorded
  profileMouseMove(f.context, 2.0, 0.5, false, false);
  profileMouseMove(f.context, 3.0, 0.5, true, false);
  EXPECT_EQ(writtenPoints(f.state.currentProfile).front(), 400);
  EXPECT_EQ(writtenPoints(f.state.currentProfile).back(), 599);
}

TEST(ProfileDrawing, ShiftAndZoomModeNeitherDrawNorMoveTheRecordedPosition) {
  CommandFixture f;
  profileMouseMove(f.context, 1.0, 0.2, false, false);
  profileMouseMove(f.context, 4.0, 0.2, true, true);  // Shift held
  EXPECT_TRUE(writtenPoints(f.state.currentProfile).empty());
  EXPECT_EQ(f.state.drawingState.lastMouseDepth, 1.0);
  f.texts.drawProfile.allowZoom = true;
  profileMouseMove(f.context, 5.0, 0.2, true, false);
  EXPECT_TRUE(writtenPoints(f.state.currentProfile).empty());
  EXPECT_EQ(f.state.drawingState.lastMouseDepth, 1.0);
  // Releasing Shift with the button down draws one straight segment from the kept position.
  f.texts.drawProfile.allowZoom = false;
  profileMouseMove(f.context, 2.0, 0.6, true, false);
  EXPECT_EQ(writtenPoints(f.state.currentProfile).front(), 200);
  EXPECT_EQ(writtenPoints(f.state.currentProfile).back(), 399);
}

TEST(ProfileDrawing, LeftToRightEqualsRightToLeftAndDepthsAreClamped) {
  CommandFixture a, b;
  drag(a, 2.0, 0.1, 6.0, 0.9);
  drag(b, 6.0, 0.9, 2.0, 0.1);
  EXPECT_EQ(a.state.currentProfile.values, b.state.currentProfile.values);

  CommandFixture c;
  drag(c, 9.0, 0.3, 14.0, 0.3);  // beyond the chart's end
  EXPECT_EQ(writtenPoints(c.state.currentProfile).back(), 1999);
  CommandFixture d;
  drag(d, 1.0, -0.5, 2.0, -0.5);  // below the axis
  EXPECT_TRUE(writtenPoints(d.state.currentProfile).empty());
  CommandFixture e;
  drag(e, 1.0011, 0.1, 1.0049, 0.9);  // one depth cell
  EXPECT_TRUE(writtenPoints(e.state.currentProfile).empty());
}

TEST(ProfileCommands, UndoAfterEachClearVariant) {
  CommandFixture f;
  undoProfile(f.context);  // right after start-up: the start-up profile
  EXPECT_EQ(f.state.currentProfile, DepthProfile::forMaximumDepth(10, 0.005));

  drag(f, 1.0, 0.5, 2.0, 0.5);
  const DepthProfile drawn = f.state.currentProfile;
  f.ui.answers = {true};
  clearProfileFromDrawWindow(f.context);
  EXPECT_TRUE(writtenPoints(f.state.currentProfile).empty());
  undoProfile(f.context);
  EXPECT_NE(f.state.currentProfile, drawn);  // the Draw window's Clear keeps no copy

  f.state.currentProfile = drawn;
  f.ui.answers = {true};
  clearProfileFromMainWindow(f.context);
  EXPECT_TRUE(writtenPoints(f.state.currentProfile).empty());
  undoProfile(f.context);
  EXPECT_EQ(f.state.currentProfile, drawn);
  undoProfile(f.context);  // twice gives the same
  EXPECT_EQ(f.state.currentProfile, drawn);
  EXPECT_EQ(f.ui.questions,
            (std::vector<std::string>{"Clear current profile?", "Clear current profile?"}));
}

TEST(ProfileCommands, NoToClearChangesNothingButRedraws) {
  CommandFixture f;
  drag(f, 1.0, 0.5, 2.0, 0.5);
  const DepthProfile drawn = f.state.currentProfile;
  f.charts.drawProfile.profile.points.clear();
  clearProfileFromMainWindow(f.context);
  EXPECT_EQ(f.state.currentProfile, drawn);
  EXPECT_EQ(f.state.undoProfile, DepthProfile::forMaximumDepth(10, 0.005));
  EXPECT_EQ(f.charts.drawProfile.profile.points.size(), 2000u);
}

TEST(ProfileCommands, ClearReferenceEmptiesTheCurveButKeepsTheReference) {
  CommandFixture f;
  drag(f, 1.0, 0.5, 2.0, 0.5);
  setReferenceProfile(f.context);
  EXPECT_EQ(f.state.referenceProfile, f.state.currentProfile);
  EXPECT_EQ(f.charts.drawProfile.reference.points.size(), 2000u);
  clearReferenceCurve(f.context);
  EXPECT_TRUE(f.charts.drawProfile.reference.points.empty());
  EXPECT_EQ(f.state.referenceProfile, f.state.currentProfile);
}

TEST(ProfileCommands, OptionsFillTheDialogFromEitherWindow) {
  CommandFixture f;
  f.texts.profileParameters.gaussian = "typed";
  f.state.parameterBlock.gaussianWidth = 55.5;
  openProfileOptions(f.context, false);
  EXPECT_EQ(f.texts.profileParameters.maxDepth, "10");
  EXPECT_EQ(f.texts.profileParameters.contamination, "0");
  EXPECT_EQ(f.texts.profileParameters.gaussian, "typed");
  openProfileOptions(f.context, true);
  EXPECT_EQ(f.texts.profileParameters.gaussian, "55.5");
  EXPECT_EQ(f.texts.profileParameters.lorentzian, "100");
  EXPECT_EQ(f.ui.shownWindows.back(), WindowId::ProfileParameters);
}

}  // namespace
