#include "model/collision_parameters.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Where the fixed point converges slowly (Emax x S / straggling^2 x 0.001 a
// little above 1) ten steps instead of twenty move Emin by percents: Emin is
// held to the literal twenty steps there.
TEST(MinimumCollisionEnergy, TakesTwentyFixedPointStepsWhereConvergenceIsSlow) {
  const double emax = maximumCollisionEnergy(151.0);
  for (double ratio : {1.2, 1.35, 1.5}) {
    const double stopping = 548.56;
    const double straggling = std::sqrt(emax * stopping * 0.001 / ratio);
    double literal = emax * std::exp(-emax * stopping / straggling / straggling * 0.001);
    for (int step = 0; step < 20; ++step) {
      literal = emax * std::exp((literal - emax) * stopping / straggling / straggling * 0.001);
    }
    EXPECT_EQ(minimumCollisionEnergy(emax, stopping, straggling), literal) << ratio;
  }
}

}  // namespace
