#include "fit/sampling_coordinates.h"

#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cmath>

namespace {

// A layer with both ends free, its concentration, the multiplier and the
// background: the round trip is exact to rounding, and logJacobian is the
// log of |dx/dy| taken by differences.
TEST(SamplingCoordinates, RoundTripAndJacobianMatchDifferences) {
  JointModel model;
  LayerModel layer;
  layer.from = {0.3, true, 0.0, 2.0};
  layer.to = {0.5, true, 0.0, 2.0};
  layer.concentration = {0.8, true, 0.0, 10.0};
  model.sample.layers = {layer};
  model.measurements.resize(1);
  model.measurements[0].multiplier = {5e4, true, 0.0, 1e9};
  model.measurements[0].background = {2.0, true, 0.0, 100.0};
  const ParameterLayout layout(model);
  const std::vector<std::size_t> free = layout.freeIndices(model);
  ASSERT_EQ(free.size(), 5u);
  const SamplingCoordinates coordinates(layout, free, model);
  const std::vector<double> x = {0.31, 0.47, 0.9, 4.8e4, 3.0};
  const std::vector<double> y = coordinates.toSampling(x);
  EXPECT_NEAR(y[0], 0.39, 1e-15);               // the centre
  EXPECT_NEAR(y[1], std::log(0.16), 1e-14);     // the log-thickness
  EXPECT_NEAR(y[3], std::log(4.8e4), 1e-14);
  EXPECT_EQ(y[4], 3.0);                         // a background can be 0: itself
  const std::vector<double> back = coordinates.toParameters(y);
  for (std::size_t q = 0; q < x.size(); ++q) EXPECT_NEAR(back[q], x[q], 1e-12 * std::fabs(x[q]));

  Eigen::MatrixXd J(5, 5);
  for (int j = 0; j < 5; ++j) {
    const double h = 1e-6;
    std::vector<double> up = y;
    std::vector<double> down = y;
    up[j] += h;
    down[j] -= h;
    const std::vector<double> xu = coordinates.toParameters(up);
    const std::vector<double> xd = coordinates.toParameters(down);
    for (int i = 0; i < 5; ++i) J(i, j) = (xu[i] - xd[i]) / (2 * h);
  }
  // The multiplier's prior is flat in its logarithm: its own column counts not.
  EXPECT_NEAR(coordinates.logJacobian(y), std::log(std::fabs(J.determinant())) - y[3], 1e-6);
}

}  // namespace
