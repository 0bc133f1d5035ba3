#include "fit/parameter_layout.h"

#include <gtest/gtest.h>


namespace {

JointModel twoLayersSeenTwice() {
  JointModel model;
  model.sample.layers.resize(2);
  model.measurements.resize(2);
  return model;
}

TEST(ParameterLayout, EverySlotNamesAndReachesItsOwnNumber) {
  JointModel model = twoLayersSeenTwice();
  const ParameterLayout layout(model, {"normal", "tilted"});
  ASSERT_EQ(layout.size(), 20u);
  for (std::size_t i = 0; i < layout.size(); ++i) layout.at(model, i).value = 100.0 + i;
  // Where each write landed, read back through the records themselves.
  const struct {
    std::size_t slot;
    const char* name;
    double value;
  } cases[] = {
      {0, "layer1.from", model.sample.layers[0].from.value},
      {7, "layer2.concentration", model.sample.layers[1].concentration.value},
      {9, "layer2.bottom_width", model.sample.layers[1].bottomWidth.value},
      {10, "normal.multiplier", model.measurements[0].multiplier.value},
      {17, "tilted.energy_shift", model.measurements[1].energyShift.value},
      {19, "tilted.gaussian_width", model.measurements[1].gaussianWidth.value},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(layout[c.slot].name, c.name);
    EXPECT_EQ(c.value, 100.0 + c.slot) << c.name;
  }
  EXPECT_EQ(layout[17].measurement, 1);
  EXPECT_EQ(layout[7].layer, 1);
  EXPECT_EQ(layout[7].kind, ParameterKind::Concentration);

  model.sample.layers[1].to.free = true;
  model.measurements[0].background.free = true;
  EXPECT_EQ(layout.freeIndices(model), (std::vector<std::size_t>{6, 11}));
  // Alone, a measurement's parameters keep their plain names.
  EXPECT_EQ(ParameterLayout(jointModelOf(SampleModel{})).entries().back().name,
            "gaussian_width");
}

TEST(ParameterLayout, ReadsTheLayerAndQuantityOfAName) {
  EXPECT_EQ(layerQuantityOf("layer12.amount")->layer, 11);
  EXPECT_EQ(layerQuantityOf("layer1.top_width")->quantity, "top_width");
  for (const char* other : {"multiplier", "layer0.from", "layerx.from", "layer.from", "layer2"}) {
    EXPECT_FALSE(layerQuantityOf(other)) << other;
  }
}

}  // namespace

namespace {

// A constant that measurements share is one slot, set in every one of them;
// the derived quantities follow each layer in the layout's own order.
TEST(ParameterLayout, SharedConstantIsOneSlotAndDerivedNamesFollowTheLayers) {
  JointModel model = twoLayersSeenTwice();
  model.measurements.resize(3);
  for (std::size_t m : {0u, 2u})
    model.measurements[m].shared[measurementSlot(ParameterKind::Background)] = true;
  const ParameterLayout layout(model, {"a", "b", "c"});
  ASSERT_EQ(layout.size(), 10u + 5u + 5u + 4u);
  std::vector<std::size_t> backgrounds;
  for (std::size_t i = 0; i < layout.size(); ++i) {
    if (layout[i].kind == ParameterKind::Background) backgrounds.push_back(i);
  }
  ASSERT_EQ(backgrounds.size(), 2u);
  EXPECT_EQ(layout[backgrounds[0]].name, "background");
  EXPECT_EQ(layout[backgrounds[0]].measurements, (std::vector<int>{0, 2}));
  EXPECT_EQ(layout[backgrounds[1]].name, "b.background");
  layout.setValue(model, backgrounds[0], 7.0);
  EXPECT_EQ(model.measurements[0].background.value, 7.0);
  EXPECT_EQ(model.measurements[1].background.value, 0.0);
  EXPECT_EQ(model.measurements[2].background.value, 7.0);

  std::vector<std::string> derived;
  for (const DerivedSlot& slot : layout.derived()) derived.push_back(slot.name);
  EXPECT_EQ(derived,
            (std::vector<std::string>{"layer1.amount", "layer1.centroid", "layer1.thickness",
                                      "layer2.amount", "layer2.centroid", "layer2.thickness"}));
  EXPECT_EQ(layout.derived()[4].layer, 1);
  EXPECT_EQ(layout.derived()[4].kind, DerivedKind::Centroid);
}

}  // namespace
