#include "model/profile_smoothing.h"

#include <gtest/gtest.h>

#include <random>

namespace {

DepthProfile spikeProfile(int position) {
  DepthProfile profile = DepthProfile::forMaximumDepth(10.0, 0.005);
  profile.values[position] = 1.0;
  return profile;
}

// Half the width of the nonzero stretch around the spike.
int reach(const DepthProfile& profile, int position) {
  int r = 0;
  while (profile.values[position + r + 1] != 0.0) ++r;
  int l = 0;
  while (profile.values[position - l - 1] != 0.0) ++l;
  EXPECT_EQ(l, r);
  return r;
}

TEST(ProfileSmoothing, PassCountPlusOnePasses) {
  // Each pass spreads a spike by four cells on either side.
  for (auto [passCount, passes] : {std::pair{0, 1}, std::pair{1, 2}, std::pair{10, 11}}) {
    SCOPED_TRACE(passCount);
    DepthProfile profile = spikeProfile(1000);
    smoothProfile(profile, passCount);
    EXPECT_EQ(reach(profile, 1000), 4 * passes);
  }
  DepthProfile untouched = spikeProfile(1000);
  smoothProfile(untouched, -1);
  EXPECT_EQ(untouched, spikeProfile(1000));
}

TEST(ProfileSmoothing, OnePassIsTheNinePointMean) {
  DepthProfile profile = spikeProfile(1000);
  smoothProfile(profile, 0);
  for (int i = 996; i <= 1004; ++i) EXPECT_DOUBLE_EQ(profile.values[i], 1.0 / 9) << i;
  EXPECT_EQ(profile.values[995], 0.0);

  DepthProfile flat = DepthProfile::forMaximumDepth(1.0, 0.005);
  for (double& c : flat.values) c = 0.37;
  smoothProfile(flat, 5);
  for (double c : flat.values) EXPECT_DOUBLE_EQ(c, 0.37);
}

TEST(ProfileSmoothing, WindowIsSummedInExtendedPrecision) {
  // These nine values sum differently in doubles; the result is the
  // extended sum times an extended 1/9, rounded once.
  const double window[9] = {0x1.74a16798f1909p-14, 0x1.36e2ea182e2efp-15, 0x1.01f43d72c64e8p-18,
                            0x1.db3d570136986p-16, 0x1.c546a38c7c85p-1,   0x1.b72f6d131b387p-16,
                            0x1.b49d50824436dp-15, 0x1.0602af25ac473p-19, 0x1.a90a743ecb39cp-15};
  DepthProfile profile = DepthProfile::forMaximumDepth(0.2, 0.005);  // 40 cells
  for (int t = 0; t < 9; ++t) profile.values[16 + t] = window[t];
  long double extended = 0.0L;
  double plain = 0.0;
  for (double v : window) {
    extended += v;
    plain += v;
  }
  const double expected = static_cast<double>(extended * (1.0L / 9));
  ASSERT_NE(expected, plain / 9);
  smoothProfile(profile, 0);
  EXPECT_EQ(profile.values[20], expected);
}

TEST(ProfileSmoothing, EdgesAndContaminationLayerKeepTheirValues) {
  DepthProfile profile = DepthProfile::forMaximumDepth(1.0, 0.005);  // 200 cells
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (double& c : profile.values) c = unit(rng);
  profile.contaminationDepth = 0.02;  // 4 cells: smoothing starts at cell 9
  const DepthProfile before = profile;
  smoothProfile(profile, 10);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(profile.values[i], before.values[i]) << i;
  EXPECT_NE(profile.values[9], before.values[9]);
  EXPECT_NE(profile.values[192], before.values[192]);
  for (int i = 193; i < 200; ++i) EXPECT_EQ(profile.values[i], before.values[i]) << i;

  // Too short to hold a window below the layer: nothing changes.
  DepthProfile shortProfile = DepthProfile::forMaximumDepth(0.08, 0.005);  // 16 cells
  for (double& c : shortProfile.values) c = unit(rng);
  shortProfile.contaminationDepth = 0.02;
  const DepthProfile shortBefore = shortProfile;
  smoothProfile(shortProfile, 3);
  EXPECT_EQ(shortProfile, shortBefore);
}

}  // namespace
