#include "fit/fit_statistic.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Row {
  FitStatistic statistic;
  double yield, error, fitted;
  double squared;  // the point's share of chi2
};

void PrintTo(const Row& c, std::ostream* out) {
  *out << "statistic " << static_cast<int>(c.statistic) << ", yield " << c.yield << ", fitted "
       << c.fitted;
}

double deviance(double y, double f) {
  return 2 * (f - y + (y > 0 ? y * std::log(y / f) : 0.0));
}

class StatisticResiduals : public testing::TestWithParam<Row> {};

TEST_P(StatisticResiduals, SquareToThePointsShareWithTheSignOfYMinusF) {
  const Row row = GetParam();
  const double floor = poissonYieldFloor({{row.yield, row.error}});
  const StatisticResidual r =
      statisticResidual(row.statistic, {row.yield, row.error}, row.fitted, floor);
  EXPECT_NEAR(r.value * r.value, row.squared, 1e-12 * std::max(1.0, row.squared));
  if (row.yield != row.fitted) {
    EXPECT_EQ(r.value > 0, row.yield > row.fitted);
  }
  EXPECT_LT(r.slope, 0.0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StatisticResiduals,
    testing::Values(Row{FitStatistic::Poisson, 0, 0, 2.5, 5.0},
                    Row{FitStatistic::Poisson, 10, 0, 4, deviance(10, 4)},
                    Row{FitStatistic::Poisson, 1000, 0, 1010, deviance(1000, 1010)},
                    // Where the two terms cancel: y t^2 with t = 1e-7.
                    Row{FitStatistic::Poisson, 10, 0, 10 * (1 + 1e-7), 10 * 1e-14 * (1 - 2e-7 / 3)},
                    Row{FitStatistic::Neyman, 0, 0, 2, 4.0},
                    Row{FitStatistic::Neyman, 16, 0, 12, 1.0},
                    Row{FitStatistic::Errors, 5, 2, 4, 0.25},
                    Row{FitStatistic::Equal, 5, 0, 3, 4.0}));

TEST(StatisticResiduals, PoissonStaysFiniteWhereTheModelReachesZeroOrBelow) {
  for (double f : {0.0, -3.0}) {
    const StatisticResidual r = statisticResidual(FitStatistic::Poisson, {0, 0}, f, 1e-6);
    EXPECT_TRUE(std::isfinite(r.value) && std::isfinite(r.slope));
    EXPECT_LT(r.value * r.value, 2e-6);
    const StatisticResidual counted = statisticResidual(FitStatistic::Poisson, {7, 0}, f, 1e-6);
    EXPECT_TRUE(std::isfinite(counted.value) && counted.value > 0);
    EXPECT_LT(counted.slope, 0.0);
  }
}

}  // namespace
