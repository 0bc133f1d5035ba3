#include "files/profile_text.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "model/profile_editing.h"

namespace {

std::vector<std::string> rowsOf(const std::string& text) {
  std::istringstream lines(text);
  std::vector<std::string> rows;
  for (std::string row; std::getline(lines, row);) rows.push_back(row);
  return rows;
}

TEST(FirstPointBelowContamination, IsTheCeilingOfLayerOverStepKeptInsideTheProfile) {
  DepthProfile profile = DepthProfile::forMaximumDepth(10.0, 0.005);
  const std::pair<double, std::size_t> cases[] = {
      {0.0, 0},    {0.0125, 3}, {0.015, 3},
      {1e9, 2000}, {-0.5, 0},   {std::numeric_limits<double>::quiet_NaN(), 0}};
  for (const auto& [layer, k0] : cases) {
    profile.contaminationDepth = layer;
    EXPECT_EQ(firstPointBelowContamination(profile), k0) << layer;
  }
}

// The start-up profile with a layer of 0.0125 laid on: k0 = 3, and the
// profile grows to 2003 points so that all 2000 old points lie below it.
TEST(DepthProfileText, LeavesTheLayerOutAndTheFlagOnlyMovesTheDepthOrigin) {
  DepthProfile profile = DepthProfile::forMaximumDepth(10.0, 0.005);
  for (std::size_t i = 0; i < profile.values.size(); ++i) profile.values[i] = 1.0 + 0.25 * i;
  setContaminationDepth(profile, 0.0125);
  ASSERT_EQ(profile.pointCount, 2003);

  const std::vector<std::string> fromLayer = rowsOf(depthProfileText(profile, false));
  ASSERT_EQ(fromLayer.size(), 2000u);
  EXPECT_EQ(fromLayer.front(), "0   1");  // point 3
  EXPECT_EQ(fromLayer[1000], "5   251");
  EXPECT_EQ(fromLayer.back(), "9.995   500.75");  // point 2002

  const std::vector<std::string> fromSurface = rowsOf(depthProfileText(profile, true));
  ASSERT_EQ(fromSurface.size(), 2000u);
  EXPECT_EQ(fromSurface.front(), "0.015   1");
  EXPECT_EQ(fromSurface.back(), "10.01   500.75");
}

TEST(DepthProfileText, WithoutALayerEveryPointIsARowFromDepthZero) {
  DepthProfile profile = DepthProfile::forMaximumDepth(10.0, 0.005);
  profile.values[0] = 0.00001;
  profile.values[1999] = 2500000;
  const std::vector<std::string> rows = rowsOf(depthProfileText(profile, false));
  ASSERT_EQ(rows.size(), 2000u);
  EXPECT_EQ(rows[0], "0   1e-05");
  EXPECT_EQ(rows[1], "0.005   0");
  EXPECT_EQ(rows[1999], "9.995   2.5e+06");
  EXPECT_EQ(depthProfileText(profile, true), depthProfileText(profile, false));
}

TEST(DepthProfileText, ALayerCoveringTheWholeProfileLeavesNoRows) {
  DepthProfile profile = DepthProfile::forMaximumDepth(1.0, 0.5);
  profile.contaminationDepth = 0.75;
  EXPECT_EQ(depthProfileText(profile, true), "");
  profile.contaminationDepth = 0.5;
  EXPECT_EQ(depthProfileText(profile, false), "0   0\n");
  EXPECT_EQ(depthProfileText(profile, true), "0.5   0\n");
}

}  // namespace
