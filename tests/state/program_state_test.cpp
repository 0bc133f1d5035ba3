#include "state/program_state.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgramState, StartsWithEmptyDataAndThreeTwoThousandPointProfiles) {
  const ProgramState state;
  EXPECT_TRUE(state.autoconvolutionSet.empty());
  EXPECT_TRUE(state.experimentalData.empty());
  EXPECT_TRUE(state.excitationCurve.values.empty());
  EXPECT_EQ(state.excitationCurve.step, 1.0);
  EXPECT_EQ(state.excitationCurve.origin, 0.0);

  for (const DepthProfile* profile :
       {&state.currentProfile, &state.undoProfile, &state.referenceProfile}) {
    EXPECT_EQ(profile->pointCount, 2000);  // ceil(10 / 0.005), not 2001
    EXPECT_EQ(profile->values.size(), 2000u);
    EXPECT_EQ(profile->step, 0.005);
    EXPECT_EQ(profile->contaminationDepth, 0.0);
    for (double c : profile->values) ASSERT_EQ(c, 0.0);
  }
  EXPECT_EQ(state.drawingState, DrawingState{});
}

TEST(ProgramState, ParameterBlockStartValuesAndAZeroBackup) {
  ProgramState state;
  state.applyMainWindowStartValues();
  const ParameterBlock& p = state.parameterBlock;
  EXPECT_EQ(p.beamEnergy, 0.0);
  EXPECT_EQ(p.stoppingPower, 0.0);
  EXPECT_EQ(p.emin, 0.0);
  EXPECT_EQ(p.emax, 0.0);
  EXPECT_EQ(p.gaussianWidth, 100.0);
  EXPECT_EQ(p.lorentzianWidth, 100.0);
  EXPECT_EQ(p.straggling, 0.0);
  EXPECT_EQ(p.collisionDensity, 0.0);
  EXPECT_EQ(p.background, 0.0);
  EXPECT_EQ(p.multiplier, 1.0);
  EXPECT_EQ(p.energyShift, 0.0);
  EXPECT_FALSE(p.includeContamination);

  const ParameterBlock& backup = state.parameterBackup;
  EXPECT_EQ(backup.gaussianWidth, 0.0);
  EXPECT_EQ(backup.lorentzianWidth, 0.0);
  EXPECT_EQ(backup.multiplier, 0.0);
  EXPECT_EQ(backup.beamEnergy, 0.0);
}

TEST(DepthProfile, PointCountIsTheCeilingOfTheDepthOverTheStep) {
  EXPECT_EQ(DepthProfile::forMaximumDepth(1.0, 0.005).pointCount, 200);
  EXPECT_EQ(DepthProfile::forMaximumDepth(1.001, 0.005).pointCount, 201);
  EXPECT_EQ(DepthProfile::forMaximumDepth(264.6, 0.005).pointCount, 52920);
  EXPECT_EQ(DepthProfile::forMaximumDepth(0.0, 0.005).pointCount, 0);
  const DepthProfile copy = DepthProfile::forMaximumDepth(0.02, 0.005);
  EXPECT_EQ(copy.values.size(), 4u);
  EXPECT_DOUBLE_EQ(copy.maximumDepth(), 0.02);
}

}  // namespace
