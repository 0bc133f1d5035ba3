#include "fit/fit_covariance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>

namespace {

// A straight line a + b*x through points of unit error at x = 0..n-1: the
// covariance is the inverse of [[n, sum x], [sum x, sum x^2]].
CovarianceInput straightLine(int n, double chi2, bool duplicateSlope) {
  CovarianceInput input;
  input.names = {"a", "b"};
  if (duplicateSlope) input.names.push_back("c");
  const std::size_t p = input.names.size();
  for (int j = 0; j < n; ++j) {
    input.jacobian.push_back(-1.0);
    for (std::size_t k = 1; k < p; ++k) input.jacobian.push_back(-static_cast<double>(j));
  }
  input.chi2 = chi2;
  input.dof = n - static_cast<int>(p);
  return input;
}

TEST(FitCovariance, StraightLineErrorsScaledOnlyWhenTheFitIsWorseThanTheErrors) {
  const int n = 10;
  const double sx = 45.0;
  const double sxx = 285.0;
  const double det = n * sxx - sx * sx;
  for (double reduced : {0.5, 4.0}) {
    const CovarianceEstimate e = estimateCovariance(straightLine(n, reduced * (n - 2), false));
    const double scale = reduced > 1.0 ? 2.0 : 1.0;
    ASSERT_TRUE(e.errors[0] && e.errors[1]);
    EXPECT_NEAR(*e.errors[0], scale * std::sqrt(sxx / det), 1e-12);
    EXPECT_NEAR(*e.errors[1], scale * std::sqrt(n / det), 1e-12);
    EXPECT_NEAR(*e.correlation[0][1], -sx / std::sqrt(n * sxx), 1e-12);
    EXPECT_TRUE(e.warnings.empty());
    // a + 2b at x = 2: the delta method's variance.
    const double variance = (sxx - 4 * sx + 4 * n) / det;
    EXPECT_NEAR(*e.propagate({1.0, 2.0}), scale * std::sqrt(variance), 1e-12);
  }
}

TEST(FitCovariance, AParameterOnItsBoundIsHeldForTheOthersAndKeepsItsMarginalError) {
  CovarianceInput input = straightLine(10, 8.0, false);
  input.values = {0.0, 1.0};
  input.min = {0.0, -10.0};
  input.max = {5.0, 10.0};
  const CovarianceEstimate e = estimateCovariance(input);
  ASSERT_TRUE(e.errors[0] && e.errors[1]);
  // The slope with the intercept held at 0: sum x^2 alone.
  EXPECT_NEAR(*e.errors[1], 1.0 / std::sqrt(285.0), 1e-12);
  EXPECT_NEAR(*e.errors[0], std::sqrt(285.0 / (10 * 285.0 - 45.0 * 45.0)), 1e-12);
  EXPECT_FALSE(e.correlation[0][1]);
  EXPECT_FALSE(e.undetermined[0]);
}

TEST(FitCovariance, ParametersTheDataCannotTellApartHaveNoErrorsAndAWarning) {
  const CovarianceEstimate e = estimateCovariance(straightLine(10, 3.0, true));
  ASSERT_EQ(e.warnings.size(), 1u);
  EXPECT_NE(e.warnings[0].find("b and c"), std::string::npos) << e.warnings[0];
  // Equal columns trade one for the other: fully anticorrelated.
  EXPECT_NE(e.warnings[0].find("(correlation -1.0"), std::string::npos) << e.warnings[0];
  EXPECT_FALSE(e.errors[1]);
  EXPECT_FALSE(e.errors[2]);
  EXPECT_FALSE(e.correlation[0][1]);
  // With the slope held, the intercept's error is that of a mean of ten points.
  ASSERT_TRUE(e.errors[0]);
  EXPECT_NEAR(*e.errors[0], 1.0 / std::sqrt(10.0), 1e-12);
  EXPECT_TRUE(e.propagate({2.0, 0.0, 0.0}));
  EXPECT_FALSE(e.propagate({1.0, 1.0, 0.0}));
}

// A chi2 that does not rise at all over a parameter's error (or falls)
// gives that parameter no error and a warning whose numbers mean something:
// none of the ratios near the smallest doubles that the flat chi2 would give.
TEST(FitCovariance, AFlatChi2IsWarnedOfWithoutNumbersOfNoMeaning) {
  for (const double change : {0.0, -0.5, 1e-290}) {
    CovarianceInput input = straightLine(10, 8.0, false);
    input.values = {1.0, 1.0};
    input.min = {-10.0, -10.0};
    input.max = {10.0, 10.0};
    input.chi2At = [&](const std::vector<double>&) { return input.chi2 + change; };
    const CovarianceEstimate e = estimateCovariance(input);
    ASSERT_FALSE(e.warnings.empty()) << change;
    EXPECT_FALSE(e.errors[0] && e.errors[1]) << change;
    static const std::regex number(R"([-+]?[0-9]*\.?[0-9]+(e[-+]?[0-9]+)?)");
    for (const std::string& warning : e.warnings) {
      for (auto it = std::sregex_iterator(warning.begin(), warning.end(), number);
           it != std::sregex_iterator(); ++it) {
        const double value = std::fabs(std::stod(it->str()));
        EXPECT_TRUE(value == 0.0 || (value > 1e-4 && value < 1e4)) << warning;
      }
    }
  }
}

}  // namespace
