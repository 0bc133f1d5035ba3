#include "model/collision_weights.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "model/poisson_weights.h"
#include "support/reference_kernels.h"

namespace {

constexpr double kStep = 0.005;
constexpr double kTolerance = 1e-13;

DepthProfile profileOf(double maxDepth, double step,
                       const std::function<double(double depth)>& concentration) {
  DepthProfile profile = DepthProfile::forMaximumDepth(maxDepth, step);
  for (int i = 0; i < profile.pointCount; ++i) profile.values[i] = concentration(i * step);
  return profile;
}

DepthProfile layer(double from, double to, double concentration, double maxDepth = 10.0,
                   double step = kStep) {
  return profileOf(maxDepth, step,
                   [=](double z) { return z >= from && z < to ? concentration : 0.0; });
}

// The literal form leaves the extended range when some power of a depth, the
// rate to the n or n! does; computeKn then takes its logarithmic form instead.
bool literalInRange(const DepthProfile& profile, int n, double rate) {
  const long double deepest = profile.pointCount * static_cast<long double>(profile.step);
  for (long double base :
       {static_cast<long double>(profile.step), deepest, static_cast<long double>(rate)}) {
    const long double power = std::pow(base, static_cast<long double>(n));
    if (!std::isfinite(power) || (base != 0.0L && std::fabs(power) < LDBL_MIN)) return false;
  }
  return std::isfinite(factorial(n));
}

double expectedKn(const DepthProfile& profile, int n, double rate) {
  return literalInRange(profile, n, rate) ? reference::computeKn(profile, n, rate)
                                          : computeKn(profile, n, rate);
}

// Relative error against `scale` (the weight itself, or the weight of |c| for
// signed profiles). Below the smallest normal double the literal weight is only
// a few subnormal units, and the fast one must be such a value too.
::testing::AssertionResult closeTo(double fast, double expected, double scale) {
  if (std::fabs(scale) < DBL_MIN) {
    if (std::fabs(fast) <= DBL_MIN && std::fabs(expected) <= DBL_MIN) {
      return ::testing::AssertionSuccess();
    }
  } else if (std::fabs(fast - expected) <= kTolerance * std::fabs(scale)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "fast " << fast << " literal " << expected << " relative "
                                       << std::fabs(fast - expected) / std::fabs(scale);
}

// Checks every n below `dense` and every `stride`-th one above, and the last.
void expectMatchesLiteral(const DepthProfile& profile, int count, double rate, int dense = 1 << 30,
                          int stride = 1) {
  const std::vector<double> fast = collisionWeights(profile, count, rate);
  ASSERT_EQ(fast.size(), static_cast<std::size_t>(count));
  for (int n = 0; n < count; n += n < dense ? 1 : stride) {
    const double expected = expectedKn(profile, n, rate);
    ASSERT_TRUE(closeTo(fast[n], expected, expected)) << "n " << n << " rate " << rate;
  }
  const double last = expectedKn(profile, count - 1, rate);
  EXPECT_TRUE(closeTo(fast[count - 1], last, last)) << "last, rate " << rate;
}

TEST(CollisionWeights, LayersAtTheSurfaceInTheMiddleAndDeep) {
  const std::vector<std::pair<std::string, DepthProfile>> profiles = {
      {"thin at the surface", layer(0.0, 0.05, 1.0)},
      {"start-up layer", layer(0.5, 3.0, 1.0)},
      {"thin and deep", layer(8.0, 8.05, 2.5)},
      {"whole depth", layer(0.0, 10.0, 1.0)},
  };
  for (const auto& [name, profile] : profiles) {
    for (double rate : {4.0, 23.1409696, 40.0}) {
      SCOPED_TRACE(name);
      expectMatchesLiteral(profile, 1500, rate, 100, 12);
    }
  }
}

TEST(CollisionWeights, ShapedProfiles) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<double> noise(2000);
  for (double& v : noise) v = unit(rng) < 0.5 ? 0.0 : unit(rng);
  const std::vector<std::pair<std::string, DepthProfile>> profiles = {
      // Scattered zeros between values of every size.
      {"random", profileOf(10.0, kStep, [&](double z) { return noise[std::lround(z / kStep)]; })},
      {"gaussian", profileOf(10.0, kStep, [](double z) { return std::exp(-(z - 4) * (z - 4)); })},
      // A strong shallow layer whose weights a faint deep one takes over at large n.
      {"faint deep tail",
       profileOf(10.0, kStep, [](double z) { return z < 1   ? 1.0
                                                    : z > 9 ? 1e-9
                                                            : 0.0; })},
  };
  for (const auto& [name, profile] : profiles) {
    for (double rate : {6.5, 35.0}) {
      SCOPED_TRACE(name);
      expectMatchesLiteral(profile, 1200, rate, 120, 11);
    }
  }
}

TEST(CollisionWeights, ThickFilmOf52920Points) {
  // The film of a high-energy beam: 264.6 ug/cm2 at the rate of stopping power
  // 123 with Emin 9.43 eV and Emax 3667 eV; the means reach 577.
  const DepthProfile film = layer(0.0, 264.6, 1.0, 264.6);
  ASSERT_EQ(film.pointCount, 52920);
  const double rate = 2.18214348;
  const std::vector<double> fast = collisionWeights(film, 1101, rate);
  for (int n : {0, 1, 2, 3, 50, 200, 400, 560, 577, 590, 640, 700, 800, 950, 1100}) {
    const double expected = expectedKn(film, n, rate);
    EXPECT_TRUE(closeTo(fast[n], expected, expected)) << n;
  }
  // Inside the film every weight is nearly the integral of P over depth, 1/rate.
  EXPECT_NEAR(fast[300], 1 / rate, 1e-9);
  // The chunks may run on any core in any order; the sums may not change.
  EXPECT_EQ(reference::bitDifference(collisionWeights(film, 1101, rate), fast), "");
}

TEST(CollisionWeights, HighRateUnderflowsTheDeepWeights) {
  // Means up to 900: K0 = 2.5 e^-800 and its neighbours are below the double
  // range, the peak weights are ordinary numbers.
  const DepthProfile deep = layer(8.0, 9.0, 2.5);
  expectMatchesLiteral(deep, 1500, 100.0, 60, 13);
  const std::vector<double> fast = collisionWeights(deep, 1500, 100.0);
  EXPECT_EQ(fast[0], 0.0);
  EXPECT_GT(fast[850], 1e-3);
}

TEST(CollisionWeights, PowersBeyondTheExtendedRange) {
  // A 1e-4 step: step^1300 is below the extended range, so the literal form
  // fails and the logarithmic one is the reference.
  const DepthProfile fine = layer(0.0, 2.0, 2.0, 2.0, 1e-4);
  const std::vector<double> fast = collisionWeights(fine, 1400, 1400.0);
  for (int n : {0, 1, 700, 1300, 1399}) {
    const double expected = expectedKn(fine, n, 1400.0);
    EXPECT_TRUE(closeTo(fast[n], expected, expected)) << n;
  }
  EXPECT_FALSE(literalInRange(fine, 1300, 1400.0));
}

TEST(CollisionWeights, SignedProfilesAreHeldToTheWeightOfTheirMagnitudes) {
  // A profile after an error-function edge was subtracted: the terms of one
  // weight may cancel, so the error is measured against sum |c| P.
  const DepthProfile signedProfile =
      profileOf(10.0, kStep, [](double z) { return std::sin(3 * z) * (z < 6 ? 1.0 : 0.0); });
  DepthProfile magnitudes = signedProfile;
  for (double& c : magnitudes.values) c = std::fabs(c);
  const double rate = 18.2;
  const std::vector<double> fast = collisionWeights(signedProfile, 400, rate);
  for (int n = 0; n < 400; n += 3) {
    const double scale = reference::computeKn(magnitudes, n, rate);
    ASSERT_TRUE(closeTo(fast[n], reference::computeKn(signedProfile, n, rate), scale)) << n;
  }
}

TEST(CollisionWeights, SurfacePointAndEmptyProfile) {
  DepthProfile surface = DepthProfile::forMaximumDepth(10.0, kStep);
  surface.values[0] = 1.0;
  const std::vector<double> fromSurface = collisionWeights(surface, 300, 23.14);
  EXPECT_EQ(fromSurface[0], kStep);
  for (int n = 1; n < 300; ++n) ASSERT_EQ(fromSurface[n], 0.0) << n;

  const DepthProfile empty = DepthProfile::forMaximumDepth(10.0, kStep);
  for (double rate : {0.0, 23.14}) {
    EXPECT_EQ(collisionWeights(empty, 300, rate), std::vector<double>(300, 0.0)) << rate;
  }
  EXPECT_TRUE(collisionWeights(empty, 0, 23.14).empty());
}

TEST(CollisionWeights, ShallowProfileWeightsAddUpToItsArea) {
  // Means at most 120 with 1500 collision numbers: the Poisson tail beyond is
  // far below a double, so every depth's factors add up to 1.
  const DepthProfile profile =
      profileOf(10.0, kStep, [](double z) { return z < 3 ? 1 + 0.5 * std::cos(7 * z) : 0.0; });
  long double area = 0.0L;
  for (double c : profile.values) area += c;
  const std::vector<double> weights = collisionWeights(profile, 1500, 40.0);
  long double total = 0.0L;
  for (double kn : weights) total += kn;
  EXPECT_NEAR(static_cast<double>(total), static_cast<double>(area * kStep),
              1e-13 * static_cast<double>(area * kStep));
}

TEST(CollisionWeights, ArgumentsOutsideThePoissonDomainGiveTheLiteralWeights) {
  const DepthProfile profile = layer(0.5, 3.0, 1.0);
  // A zero rate leaves only K0, the area.
  const std::vector<double> atRest = collisionWeights(profile, 50, 0.0);
  EXPECT_EQ(atRest[0], computeKn(profile, 0, 0.0));
  for (int n = 1; n < 50; ++n) ASSERT_EQ(atRest[n], 0.0) << n;
  // A negative rate (from a negative stopping power) has no Poisson meaning.
  const std::vector<double> negative = collisionWeights(profile, 30, -2.0);
  for (int n = 0; n < 30; ++n) ASSERT_EQ(negative[n], computeKn(profile, n, -2.0)) << n;
  // A value that is not finite reaches every weight it touches.
  DepthProfile broken = profile;
  broken.values[700] = std::numeric_limits<double>::infinity();
  const std::vector<double> withInfinity = collisionWeights(broken, 30, 23.14);
  for (int n = 0; n < 30; ++n) ASSERT_TRUE(std::isinf(withInfinity[n])) << n;
}

}  // namespace
