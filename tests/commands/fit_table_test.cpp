#include "commands/fit_table.h"

#include <gtest/gtest.h>

#include "scripted_user_interface.h"

namespace {

TEST(FitTable, TheStartModelHasALayerWhereverTheProfileExceedsHalfItsMaximum) {
  CommandFixture f;
  DepthProfile& profile = f.state.currentProfile;
  profile.contaminationDepth = 0.1;
  for (int i = 100; i < 200; ++i) profile.values[i] = 1.0;
  for (int i = 400; i < 600; ++i) profile.values[i] = 0.6;
  profile.values[399] = 0.3;  // a soft edge: the level is crossed half-way
  profile.values[800] = 0.4;  // below half the maximum: no layer
  f.state.parameterBlock.multiplier = 250.0;
  f.state.parameterBlock.gaussianWidth = 80.0;

  const SampleModel model = proposeSampleModel(f.context);
  ASSERT_EQ(model.layers.size(), 2u);
  EXPECT_NEAR(model.layers[0].from.value, 0.4975, 1e-12);
  EXPECT_NEAR(model.layers[0].to.value, 0.9975, 1e-12);
  EXPECT_EQ(model.layers[0].concentration.value, 1.0);
  EXPECT_FALSE(model.layers[0].concentration.free);
  EXPECT_NEAR(model.layers[1].from.value, (399 + 0.2 / 0.3) * 0.005, 1e-12);
  EXPECT_NEAR(model.layers[1].to.value, (599 + 0.1 / 0.6) * 0.005, 1e-12);
  EXPECT_NEAR(model.layers[1].concentration.value, 0.6, 1e-12);
  EXPECT_TRUE(model.layers[1].concentration.free);
  EXPECT_EQ(model.contamination, 0.1);
  EXPECT_EQ(model.multiplier.value, 250.0);
  EXPECT_EQ(model.gaussianWidth.value, 80.0);

  profile.values.assign(profile.values.size(), 0.0);
  EXPECT_NE(commandMessage([&] { proposeSampleModel(f.context); }).find("empty"),
            std::string::npos);
}

TEST(FitTable, LayersAreAddedAndRemovedWithTheirNames) {
  CommandFixture f;
  SampleModel model;
  model.layers.resize(2);
  model.layers[1].from.value = 3.0;
  showSampleModel(f.texts.fit, model, f.context.decimal);
  eraseLayerRows(f.texts.fit, 0);
  appendLayerRows(f.texts.fit, f.context.decimal);
  const SampleModel result = sampleModelFromTexts(f.texts.fit, f.context.decimal);
  ASSERT_EQ(result.layers.size(), 2u);
  EXPECT_EQ(result.layers[0].from.value, 3.0);
  EXPECT_EQ(f.texts.fit.parameters[5].name, "layer2.from");
  EXPECT_EQ(f.texts.fit.parameters[10].name, "multiplier");
}

TEST(FitTable, EveryFieldReadsBackAsShown) {
  CommandFixture f;
  SampleModel model;
  model.contamination = 0.25;
  model.layers.resize(1);
  model.layers[0].to = {1.25, true, 0.5, 3.0};
  model.layers[0].topWidth = {0.125, true, 0.0, std::numeric_limits<double>::infinity()};
  model.background = {3.5, false, -1.0, 9.0};
  model.energyRange = std::make_pair(150.75, 152.25);
  model.statistic = FitStatistic::Errors;
  model.convolve = false;
  f.context.decimal.separator = ',';
  showSampleModel(f.texts.fit, model, f.context.decimal);
  EXPECT_EQ(f.texts.fit.parameters[1].value, "1,25");
  EXPECT_EQ(f.texts.fit.parameters[3].max, "");
  EXPECT_EQ(sampleModelFromTexts(f.texts.fit, f.context.decimal), model);

  // A freed width without a lower bound stops at a sharp edge, not below it.
  f.texts.fit.parameters[3].min = "";
  f.texts.fit.parameters[4].free = true;
  const SampleModel freed = sampleModelFromTexts(f.texts.fit, f.context.decimal);
  EXPECT_EQ(freed.layers[0].topWidth.min, 0.0);
  EXPECT_EQ(freed.layers[0].bottomWidth.min, 0.0);
  EXPECT_EQ(freed.background.min, -1.0);
}

}  // namespace
