#include "model/poisson_weights.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>

#include "support/reference_kernels.h"

namespace {

DepthProfile uniformProfile(double maxDepth, double step, double concentration) {
  DepthProfile profile = DepthProfile::forMaximumDepth(maxDepth, step);
  for (double& c : profile.values) c = concentration;
  return profile;
}

DepthProfile randomProfile(std::uint64_t seed) {
  DepthProfile profile = DepthProfile::forMaximumDepth(10.0, 0.005);
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (double& c : profile.values) c = unit(rng) < 0.4 ? 0.0 : unit(rng) - 0.1;
  return profile;
}

// s * sum_i c[i] * Poisson(k; rate * i * s), each Poisson factor formed as one
// exponential of its logarithm in double precision.
double logSpaceKn(const DepthProfile& profile, int k, double rate) {
  double sum = 0.0;
  for (int i = 1; i < profile.pointCount; ++i) {
    const double t = rate * i * profile.step;
    sum += profile.values[i] * std::exp(k * std::log(t) - t - std::lgamma(k + 1.0));
  }
  return sum * profile.step;
}

TEST(PoissonWeights, Factorial) {
  EXPECT_EQ(factorial(-3), 1.0L);
  EXPECT_EQ(factorial(0), 1.0L);
  EXPECT_EQ(factorial(1), 1.0L);
  EXPECT_EQ(factorial(5), 120.0L);
  EXPECT_EQ(factorial(20), 2432902008176640000.0L);
  EXPECT_TRUE(std::isfinite(factorial(1754)));
  EXPECT_TRUE(std::isinf(factorial(1755)));
}

// The probability is the exponential of a sum of terms as large as n, mean and
// n ln(n/mean); a few extended-precision units of those bound its relative error.
long double probabilityTolerance(int n, long double mean) {
  const long double k = n;
  return 4.0L * LDBL_EPSILON * (16.0L + k + mean + k * std::fabs(std::log(k / mean)));
}

TEST(PoissonWeights, PoissonProbabilityAgainstItsDefinition) {
  // Where mean^n and n! are both in range the definition itself is accurate to
  // a few units of 1e-19. The cases straddle the switch from ln n! to the
  // Stirling series (n = 35/36) and the two forms of the deviance.
  for (int n : {1, 2, 7, 35, 36, 37, 100, 400, 1000, 1700}) {
    for (long double mean :
         {0.01L, 0.9L, 7.5L, 33.0L, 36.0L, 40.0L, 90.0L, 110.0L, 400.0L, 995.0L, 1700.5L}) {
      const long double direct = std::pow(mean, n) * std::exp(-mean) / factorial(n);
      if (!(direct > 1e-4000L)) continue;
      const long double fast = poissonProbability(n, mean);
      EXPECT_LE(std::fabs(fast - direct), probabilityTolerance(n, mean) * direct)
          << n << " " << static_cast<double>(mean);
    }
  }
  EXPECT_EQ(poissonProbability(0, 3.0L), std::exp(-3.0L));
  EXPECT_EQ(poissonProbability(0, 0.0L), 1.0L);
  EXPECT_EQ(poissonProbability(4, 0.0L), 0.0L);
  EXPECT_EQ(poissonProbability(-1, 3.0L), 0.0L);
}

TEST(PoissonWeights, NoCollisionsWithoutRateIsTheProfileArea) {
  const DepthProfile profile = randomProfile(1);
  long double area = 0.0L;
  for (double c : profile.values) area += c;
  EXPECT_NEAR(computeKn(profile, 0, 0.0), static_cast<double>(area * 0.005), 1e-15);
  EXPECT_EQ(computeKn(profile, 3, 0.0), 0.0);
}

TEST(PoissonWeights, WeightsOverAllCollisionNumbersAddUpToTheArea) {
  // The Poisson weights of every depth sum to 1 over k.
  const DepthProfile profile = randomProfile(2);
  double area = 0.0;
  for (double c : profile.values) area += c;
  area *= profile.step;
  double total = 0.0;
  for (int k = 0; k <= 200; ++k) total += computeKn(profile, k, 6.0);  // at most 60 expected
  EXPECT_NEAR(total, area, 1e-12);
}

TEST(PoissonWeights, MatchesTheLiteralExtendedSum) {
  for (std::uint64_t seed : {3u, 4u}) {
    const DepthProfile profile = randomProfile(seed);
    for (double rate : {0.0, 0.37, 18.2, 150.0}) {
      for (int k : {0, 1, 2, 7, 40, 100, 333}) {
        EXPECT_EQ(computeKn(profile, k, rate), reference::computeKn(profile, k, rate))
            << "rate " << rate << " k " << k;
      }
    }
  }
}

TEST(PoissonWeights, ThousandCollisions) {
  // Uniform concentration 1: Kn is close to the integral of the Poisson
  // weight over depth, 1/rate, once the peak at depth k/rate is inside.
  const DepthProfile profile = uniformProfile(10.0, 0.005, 1.0);
  const double rate = 200.0;
  const double kn = computeKn(profile, 1000, rate);
  EXPECT_EQ(kn, reference::computeKn(profile, 1000, rate));  // still in extended range
  EXPECT_NEAR(kn, logSpaceKn(profile, 1000, rate), 1e-11 * kn);
  EXPECT_NEAR(kn, 1 / rate, 1e-6);
}

TEST(PoissonWeights, BeyondTheExtendedRangeOfFactorial) {
  const DepthProfile profile = uniformProfile(10.0, 0.005, 1.0);
  for (auto [k, rate] : {std::pair{2000, 400.0}, std::pair{3000, 500.0}, std::pair{2000, 150.0}}) {
    SCOPED_TRACE(k);
    const double kn = computeKn(profile, k, rate);
    const double literal = reference::computeKn(profile, k, rate);
    const bool literalUsable = std::isfinite(literal) && std::fabs(literal - kn) < 1e-3 * kn;
    EXPECT_FALSE(literalUsable) << literal;
    EXPECT_NEAR(kn, logSpaceKn(profile, k, rate), 1e-10 * kn);
  }
  // Peak at depth 5 and 6: the weight integrates to 1/rate.
  EXPECT_NEAR(computeKn(profile, 2000, 400.0), 1 / 400.0, 1e-6);
  EXPECT_NEAR(computeKn(profile, 3000, 500.0), 1 / 500.0, 1e-6);
}

TEST(PoissonWeights, PowerOfDepthUnderflowingSwitchesToLogarithms) {
  // A 1e-4 step: (1e-4)^1300 is below the extended range although k! and
  // rate^k are not.
  const DepthProfile profile = uniformProfile(2.0, 1e-4, 2.0);
  const double kn = computeKn(profile, 1300, 1400.0);
  EXPECT_NEAR(kn, logSpaceKn(profile, 1300, 1400.0), 1e-10 * kn);
  EXPECT_NEAR(kn, 2.0 / 1400.0, 1e-6);
}

}  // namespace
