#include "model/mean_collision_loss.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(MeanCollisionLoss, IsTheMeanOfTheInverseSquareSpectrum) {
  // Mean of T over a density proportional to 1/T^2 on [a, b]:
  // (integral of 1/T) / (integral of 1/T^2) = ln(b/a) / (1/a - 1/b).
  for (auto [a, b] : {std::pair{5.75713, 328.94866}, std::pair{1.0, 2.0}, std::pair{0.3, 2.7}}) {
    EXPECT_NEAR(meanCollisionLoss(a, b), std::log(b / a) / (1 / a - 1 / b),
                1e-12 * meanCollisionLoss(a, b));
    // The formula is symmetric in its bounds.
    EXPECT_NEAR(meanCollisionLoss(b, a), meanCollisionLoss(a, b), 1e-12 * meanCollisionLoss(a, b));
    EXPECT_GT(meanCollisionLoss(a, b), a);
    EXPECT_LT(meanCollisionLoss(a, b), b);
  }
}

TEST(MeanCollisionLoss, CollisionDensityIsAThousandCollisionRates) {
  const double mean = meanCollisionLoss(5.75713, 328.94866);
  EXPECT_DOUBLE_EQ(collisionDensity(548.56, 5.75713, 328.94866), 548.56 / mean * 1000);
  // Between 1 and e eV the mean loss is e/(e-1) eV.
  const double e = std::exp(1.0);
  EXPECT_NEAR(collisionDensity(2.0, 1.0, e), 2.0 * (e - 1) / e * 1000, 1e-10);
}

}  // namespace
