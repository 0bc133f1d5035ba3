#include "fit/profile_rendering.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "fit/layer_measures.h"

namespace {

double phi(double x) {
  return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

// c(z) straight from the model's definition, a step at a width of 0.
double shape(const LayerModel& l, double z) {
  const auto edge = [](double x, double w) { return w > 0 ? phi(x / w) : (x > 0 ? 1.0 : 0.0); };
  return l.concentration.value * edge(z - l.from.value, l.topWidth.value) *
         edge(l.to.value - z, l.bottomWidth.value);
}

// The cell mean by two-point Gauss on 4000 pieces per cell, the cell first
// cut at the edges so that a step never falls inside a piece.
double cellMean(const LayerModel& l, double z0, double z1) {
  std::vector<double> cuts = {z0, z1};
  for (double e : {l.from.value, l.to.value}) {
    if (e > z0 && e < z1) cuts.push_back(e);
  }
  std::sort(cuts.begin(), cuts.end());
  double integral = 0.0;
  for (std::size_t c = 0; c + 1 < cuts.size(); ++c) {
    const int n = 4000;
    const double h = (cuts[c + 1] - cuts[c]) / n;
    for (int k = 0; k < n; ++k) {
      const double mid = cuts[c] + (k + 0.5) * h;
      const double d = h / (2 * std::sqrt(3.0));
      integral += h / 2 * (shape(l, mid - d) + shape(l, mid + d));
    }
  }
  return integral / (z1 - z0);
}

struct RenderingCase {
  const char* what;
  LayerModel layer;
  double contamination;
};

void PrintTo(const RenderingCase& c, std::ostream* out) {
  *out << c.what;
}

class CellMeans : public testing::TestWithParam<RenderingCase> {};

TEST_P(CellMeans, MatchIntegrationWithin1e9) {
  SampleModel model;
  model.maxDepth = 0.6;
  model.step = 0.01;
  model.contamination = GetParam().contamination;
  model.layers = {GetParam().layer};
  const DepthProfile profile = renderProfile(model);
  ASSERT_EQ(profile.pointCount, 60);
  // The profile alone and with its derivatives: the same numbers to the bit.
  EXPECT_EQ(renderLayer(model, 0).values, renderLayerWithDerivatives(model, 0).value.values);
  const int clean = static_cast<int>(std::ceil(model.contamination / model.step));
  for (int i = 0; i < profile.pointCount; ++i) {
    const double z = i * model.step;
    const double expected = i < clean ? 0.0 : cellMean(model.layers[0], z - 0.005, z + 0.005);
    EXPECT_NEAR(profile.values[i], expected, 1e-9) << "point " << i;
  }
}

LayerModel layer(double from, double to, double c, double top, double bottom) {
  return {{from}, {to}, {c}, {top}, {bottom}};
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, CellMeans,
    testing::Values(
        RenderingCase{"sharp edges inside cells", layer(0.1234, 0.3456, 1.0, 0, 0), 0},
        RenderingCase{"sharp edges on cell boundaries", layer(0.105, 0.295, 2, 0, 0), 0},
        RenderingCase{"smooth edges", layer(0.2, 0.4, 0.7, 0.03, 0.05), 0},
        RenderingCase{"edges overlapping", layer(0.25, 0.27, 1.5, 0.02, 0.04), 0},
        RenderingCase{"edges narrower than a cell", layer(0.2013, 0.2041, 1, 1e-4, 3e-4), 0},
        RenderingCase{"one sharp, one smooth, close", layer(0.3, 0.31, 1, 0, 0.02), 0},
        RenderingCase{"under contamination", layer(0.0, 0.3, 1, 0.05, 0.02), 0.083}));

TEST(LayerMeasures, SharpLayerHoldsConcentrationTimesThickness) {
  SampleModel model;
  model.maxDepth = 2.0;
  model.step = 0.005;
  model.layers = {layer(0.4123, 1.1877, 0.6, 0, 0)};
  const LayerMeasures m = layerMeasures(renderLayerWithDerivatives(model, 0), model.layers[0]);
  EXPECT_NEAR(m.amount.value, 0.6 * (1.1877 - 0.4123), 1e-12);
  EXPECT_NEAR(m.centroid.value, 0.8, 1e-6);
  EXPECT_DOUBLE_EQ(m.thickness.value, 1.1877 - 0.4123);
}

}  // namespace
