#include "model/profile_editing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

DepthProfile startProfile() {
  return DepthProfile::forMaximumDepth(10.0, 0.005);
}

DepthProfile randomProfile(std::uint64_t seed) {
  DepthProfile profile = startProfile();
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (double& c : profile.values) c = unit(rng);
  return profile;
}

void expectConsistent(const DepthProfile& profile) {
  EXPECT_EQ(profile.values.size(), static_cast<std::size_t>(profile.pointCount));
}

TEST(ProfileEditing, ResizeToDepthCutsOrPads) {
  DepthProfile profile = randomProfile(1);
  const double last = profile.values[1999];
  resizeToDepth(profile, 10.5);
  EXPECT_EQ(profile.pointCount, 2100);
  expectConsistent(profile);
  EXPECT_EQ(profile.values[1999], last);
  EXPECT_EQ(profile.values[2000], 0.0);
  resizeToDepth(profile, 2.0);
  EXPECT_EQ(profile.pointCount, 400);
  expectConsistent(profile);
  resizeToDepth(profile, -1.0);
  EXPECT_EQ(profile.pointCount, 0);
  expectConsistent(profile);
}

TEST(ProfileEditing, LineWritesFromTheShallowCellUpToTheDeepOne) {
  DepthProfile profile = startProfile();
  for (double& c : profile.values) c = 7.0;
  drawProfileLine(profile, 0.0, 0.5, 1.0, 0.5);
  // Cell 0 is the (empty) layer's edge; cell 200 is the deep end's own cell.
  EXPECT_EQ(profile.values[0], 7.0);
  for (int i = 1; i < 200; ++i) EXPECT_EQ(profile.values[i], 0.5) << i;
  EXPECT_EQ(profile.values[200], 7.0);
}

TEST(ProfileEditing, LineDirectionDoesNotMatter) {
  // Exact arithmetic: slope -1, intercept 1.25 from either end.
  DepthProfile forward = startProfile();
  DepthProfile backward = startProfile();
  drawProfileLine(forward, 0.25, 1.0, 0.75, 0.5);
  drawProfileLine(backward, 0.75, 0.5, 0.25, 1.0);
  EXPECT_EQ(forward.values, backward.values);
  EXPECT_EQ(forward.values[50], 1.0);
  EXPECT_EQ(forward.values[149], 1.25 - 149 * 0.005);
  EXPECT_EQ(forward.values[150], 0.0);

  // Inexact end points: the same line to rounding.
  DepthProfile a = startProfile();
  DepthProfile b = startProfile();
  drawProfileLine(a, 0.1234, 0.37, 2.71, 1.93);
  drawProfileLine(b, 2.71, 1.93, 0.1234, 0.37);
  for (int i = 0; i < 2000; ++i) EXPECT_NEAR(a.values[i], b.values[i], 1e-14) << i;
  EXPECT_GT(a.values[24], 0.0);
  EXPECT_EQ(a.values[542], 0.0);
}

TEST(ProfileEditing, LineIsClampedCutAtZeroAndKeepsOffTheLayer) {
  DepthProfile profile = startProfile();
  profile.contaminationDepth = 0.05;  // layer cells 0..10
  for (double& c : profile.values) c = 3.0;
  // Runs past both ends of the profile and crosses zero near depth 5.8.
  drawProfileLine(profile, -2.0, 7.0, 12.0, -5.0);
  for (int i = 0; i <= 10; ++i) EXPECT_EQ(profile.values[i], 3.0) << i;
  EXPECT_GT(profile.values[11], 0.0);
  EXPECT_EQ(profile.values[1999], 0.0);
  expectConsistent(profile);
  // The end beyond the profile is clamped before the line is formed:
  // it runs from (0, 7) to (10, -5).
  EXPECT_NEAR(profile.values[11], 7.0 - 1.2 * 11 * 0.005, 1e-12);

  DepthProfile untouched = startProfile();
  drawProfileLine(untouched, 0.4, 1.0, 0.4, 2.0);  // zero width
  EXPECT_EQ(untouched.values, std::vector<double>(2000, 0.0));
}

TEST(ProfileEditing, ContaminationLayerPushesTheProfileDown) {
  const DepthProfile original = randomProfile(3);
  DepthProfile profile = original;
  setContaminationDepth(profile, 0.05);  // ten cells
  EXPECT_EQ(profile.contaminationDepth, 0.05);
  EXPECT_EQ(profile.pointCount, 2010);
  expectConsistent(profile);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(profile.values[i], 0.0) << i;
  for (int i = 10; i < 2010; ++i) ASSERT_EQ(profile.values[i], original.values[i - 10]) << i;

  // Thinner again: five cells back towards the surface, five lost at depth.
  setContaminationDepth(profile, 0.025);
  EXPECT_EQ(profile.pointCount, 2005);
  expectConsistent(profile);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(profile.values[i], 0.0) << i;
  for (int i = 5; i < 2005; ++i) ASSERT_EQ(profile.values[i], original.values[i - 5]) << i;
}

TEST(ProfileEditing, ContaminationLayerSetAndRemovedPutsEveryPointBack) {
  for (double depth : {0.01, 0.05, 0.1, 0.15, 0.25, 1.0, 2.5, 3.3}) {
    SCOPED_TRACE(depth);
    const DepthProfile original = randomProfile(4);
    DepthProfile profile = original;
    setContaminationDepth(profile, depth);
    setContaminationDepth(profile, 0.0);
    EXPECT_EQ(profile, original);
  }
  // Where (n*s + d)/s rounds up to one more cell than n + d/s, the profile
  // comes back one cell longer; every original point is still in place and the
  // extra cell is empty, not a leftover copy of a deep point.
  for (double depth : {0.005, 0.7}) {
    SCOPED_TRACE(depth);
    const DepthProfile original = randomProfile(5);
    DepthProfile profile = original;
    setContaminationDepth(profile, depth);
    setContaminationDepth(profile, 0.0);
    expectConsistent(profile);
    ASSERT_EQ(profile.pointCount, 2001);
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(profile.values[i], original.values[i]) << i;
    EXPECT_EQ(profile.values[2000], 0.0);
  }
}

TEST(ProfileEditing, ContaminationLayerAtItsCurrentDepthOnlyClearsItsCells) {
  DepthProfile original = randomProfile(6);
  original.contaminationDepth = 0.0123;  // ceil(2.46) = 3 cells
  DepthProfile profile = original;
  setContaminationDepth(profile, 0.0123);
  EXPECT_EQ(profile.pointCount, 2000);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(profile.values[i], 0.0) << i;
  for (int i = 3; i < 2000; ++i) ASSERT_EQ(profile.values[i], original.values[i]) << i;
}

TEST(ProfileEditing, ContaminationLayerDeeperThanTheProfile) {
  DepthProfile profile = DepthProfile::forMaximumDepth(0.05, 0.005);
  for (double& c : profile.values) c = 1.0;
  profile.contaminationDepth = 0.2;
  setContaminationDepth(profile, 0.0);  // moves 40 cells up: nothing is left
  EXPECT_EQ(profile.pointCount, 0);
  expectConsistent(profile);
  setContaminationDepth(profile, 0.02);
  EXPECT_EQ(profile.pointCount, 4);
  EXPECT_EQ(profile.values, std::vector<double>(4, 0.0));
}

}  // namespace
