#include "fit/ensemble_sampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "fit/layer_posterior.h"
#include "fit/profile_band.h"

namespace {

// A correlated Gaussian in two parameters, with a hard bound far out in its tail.
constexpr double kMean[2] = {1.0, -2.0};
constexpr double kSigma[2] = {0.5, 2.0};
constexpr double kCorrelation = 0.8;

double logGaussian(const std::vector<double>& x) {
  if (x[0] > 10.0) return -std::numeric_limits<double>::infinity();
  const double u = (x[0] - kMean[0]) / kSigma[0];
  const double v = (x[1] - kMean[1]) / kSigma[1];
  return -(u * u - 2 * kCorrelation * u * v + v * v) / (2 * (1 - kCorrelation * kCorrelation));
}

EnsembleChain run(std::uint64_t seed, int steps) {
  std::mt19937_64 generator(seed);
  std::normal_distribution<double> normal;
  std::vector<std::vector<double>> start;
  for (int w = 0; w < 20; ++w)
    start.push_back({3.0 + 0.01 * normal(generator), 0.01 * normal(generator)});
  return sampleEnsemble(logGaussian, start, steps, generator);
}

TEST(EnsembleSampler, RecoversTheMeanAndCovarianceOfAGaussian) {
  const EnsembleChain chain = run(42, 4000);
  const int first = chain.steps / 2;
  double n = 0, mean[2] = {0, 0}, cross[2][2] = {{0, 0}, {0, 0}};
  std::vector<double> firstCoordinate;
  for (int s = first; s < chain.steps; ++s) {
    for (int w = 0; w < chain.walkers; ++w) {
      const double* x = chain.at(s, w);
      firstCoordinate.push_back(x[0]);
      ++n;
      for (int i = 0; i < 2; ++i) {
        mean[i] += x[i];
        for (int j = 0; j < 2; ++j) cross[i][j] += x[i] * x[j];
      }
    }
  }
  for (int i = 0; i < 2; ++i) mean[i] /= n;
  auto covariance = [&](int i, int j) { return cross[i][j] / n - mean[i] * mean[j]; };
  for (int i = 0; i < 2; ++i) {
    EXPECT_NEAR(mean[i], kMean[i], 0.05 * kSigma[i]);
    EXPECT_NEAR(std::sqrt(covariance(i, i)), kSigma[i], 0.05 * kSigma[i]);
  }
  EXPECT_NEAR(covariance(0, 1) / (kSigma[0] * kSigma[1]), kCorrelation, 0.03);
  // The 16/84% percentiles of a Gaussian lie one sigma either side.
  EXPECT_NEAR(percentile(firstCoordinate, 0.84) - percentile(firstCoordinate, 0.16), 2 * kSigma[0],
              0.1 * kSigma[0]);
  EXPECT_GT(chain.acceptance, 0.3);
  EXPECT_LT(chain.acceptance, 0.9);
  for (int i = 0; i < 2; ++i) {
    const double tau = autocorrelationTime(chain, i, first);
    EXPECT_GT(tau, 1.0);
    EXPECT_LT(tau, chain.steps / 50.0);
  }
}

TEST(EnsembleSampler, TheSameSeedGivesTheSameChain) {
  const EnsembleChain a = run(7, 50);
  const EnsembleChain b = run(7, 50);
  const EnsembleChain c = run(8, 50);
  EXPECT_EQ(a.positions, b.positions);
  EXPECT_NE(a.positions, c.positions);
}

}  // namespace

namespace {

// Ensembles of 20 walkers, each in its own ball far from the mode, with
// u - v (its exact distribution known) observed beside every position.
ConvergedSampling converge(std::uint64_t seed, const ConvergenceSettings& settings,
                           int threads = 0) {
  std::mt19937_64 generator(seed);
  std::normal_distribution<double> normal;
  std::vector<std::vector<std::vector<double>>> starts(2);
  for (auto& start : starts) {
    for (int w = 0; w < 20; ++w) {
      start.push_back({3.0 + 0.01 * normal(generator), 0.01 * normal(generator)});
    }
  }
  const Observables difference = [](const std::vector<double>& x) {
    return std::vector<double>{x[0] - x[1]};
  };
  SamplerControl control;
  control.threads = threads;
  return sampleUntilConverged(logGaussian, difference, starts, generator, settings, control);
}

// Every kept sample of coordinate i, over every ensemble.
std::vector<double> kept(const ConvergedSampling& run, int i) {
  std::vector<double> values;
  for (const EnsembleChain& chain : run.chains) {
    for (int s = run.first; s < chain.stored(); ++s) {
      for (int w = 0; w < chain.walkers; ++w) values.push_back(chain.at(s, w)[i]);
    }
  }
  return values;
}

TEST(EnsembleSampler, AutoStopsConvergedWithTheExactPercentilesForEverySeed) {
  // The 16th and 84th percentiles of a Gaussian lie 0.99446 sigma from its median.
  constexpr double kZ = 0.99446;
  const double differenceMean = kMean[0] - kMean[1];
  const double differenceSigma = std::sqrt(kSigma[0] * kSigma[0] + kSigma[1] * kSigma[1] -
                                           2 * kCorrelation * kSigma[0] * kSigma[1]);
  const double means[] = {kMean[0], kMean[1], differenceMean};
  const double sigmas[] = {kSigma[0], kSigma[1], differenceSigma};
  for (std::uint64_t seed = 1; seed <= 6; ++seed) {
    ConvergenceSettings settings;
    settings.mostStored = 256;  // thinned several times over
    const ConvergedSampling run = converge(seed, settings);
    ASSERT_TRUE(run.converged) << seed;
    EXPECT_LT(run.steps, settings.mostSteps);
    EXPECT_GT(run.chains.front().thin, 1);
    for (int i = 0; i < 3; ++i) {
      EXPECT_LT(run.rhat[i], 1.01);
      const EnsembleChain& chain = run.chains.front();
      EXPECT_GT((chain.stored() - run.first) * chain.thin, 50 * run.tau[i]);
      const std::vector<double> values = kept(run, i);
      const double tolerance = 0.1 * sigmas[i];
      EXPECT_NEAR(percentile(values, 0.5), means[i], tolerance) << seed << " " << i;
      EXPECT_NEAR(percentile(values, 0.16), means[i] - kZ * sigmas[i], tolerance) << seed;
      EXPECT_NEAR(percentile(values, 0.84), means[i] + kZ * sigmas[i], tolerance) << seed;
    }
  }
}

TEST(EnsembleSampler, TooFewStepsAreReportedAsNotConverged) {
  ConvergenceSettings capped;
  capped.mostSteps = 60;
  ConvergenceSettings given;
  given.steps = 60;
  for (const ConvergenceSettings& settings : {capped, given}) {
    const ConvergedSampling run = converge(3, settings);
    EXPECT_FALSE(run.converged);
    EXPECT_EQ(run.steps, 60);
  }
}

TEST(EnsembleSampler, ASeedGivesOneResultOnOneCoreOrTwoAndAnotherSeedAnother) {
  ConvergenceSettings settings;
  settings.steps = 300;
  settings.mostStored = 64;
  const ConvergedSampling one = converge(5, settings, 1);
  const ConvergedSampling two = converge(5, settings, 2);
  const ConvergedSampling other = converge(6, settings, 2);
  ASSERT_EQ(one.chains.size(), 2u);
  for (std::size_t e = 0; e < 2; ++e) {
    EXPECT_EQ(one.chains[e].positions, two.chains[e].positions);
    EXPECT_NE(one.chains[e].positions, other.chains[e].positions);
  }
  EXPECT_NE(one.chains[0].positions, one.chains[1].positions);  // independent ensembles
  EXPECT_EQ(one.tau, two.tau);
  EXPECT_EQ(one.rhat, two.rhat);
}

TEST(EnsembleSampler, ThinningKeepsEvenlySpacedStepsOfTheFullChain) {
  std::mt19937_64 generator(4);
  std::vector<std::vector<double>> start;
  for (int w = 0; w < 8; ++w) start.push_back({1.0 + 0.1 * w, -2.0 - 0.05 * w});
  std::mt19937_64 again = generator;
  Ensemble full(logGaussian, start, generator);
  Ensemble thinned(logGaussian, start, again, {}, 16);
  full.runUntil(100, nullptr, false);
  thinned.runUntil(40, nullptr, false);  // in two rounds: the same stored steps
  thinned.runUntil(100, nullptr, false);
  const EnsembleChain& f = full.chain();
  const EnsembleChain& t = thinned.chain();
  EXPECT_EQ(t.thin, 8);  // 100 steps in at most 16 stored
  EXPECT_EQ(t.stored(), 100 / 8);
  for (int n = 0; n < t.stored(); ++n) {
    for (int w = 0; w < t.walkers; ++w) {
      const double* a = t.at(n, w);
      const double* b = f.at((n + 1) * t.thin - 1, w);
      EXPECT_EQ(std::vector<double>(a, a + 2), std::vector<double>(b, b + 2)) << n;
    }
  }
}

struct RhatCase {
  const char* what;
  double shift;  // added to the second chain
  double trend;  // added along every chain, from 0 at its start
  double low;
  double high;
};

class SplitRhat : public ::testing::TestWithParam<RhatCase> {};

TEST_P(SplitRhat, SeesChainsThatDisagree) {
  const RhatCase& c = GetParam();
  std::mt19937_64 generator(11);
  std::normal_distribution<double> normal;
  std::vector<double> draws(4000);
  for (double& x : draws) x = normal(generator);
  std::vector<std::vector<double>> chains = {draws, draws};
  for (std::size_t k = 0; k < draws.size(); ++k) {
    chains[1][k] += c.shift;
    for (std::vector<double>& chain : chains) chain[k] += c.trend * k / draws.size();
  }
  const double rhat = splitRhat(chains);
  EXPECT_GT(rhat, c.low);
  EXPECT_LT(rhat, c.high);
}

// By hand: halves' means 1, 1, 2, 2 with variances 2, so W = 2, B/n = 1/3 and
// R-hat = sqrt(((n-1)/n W + B/n) / W) = sqrt(2/3).
TEST(SplitRhat, OfTwoShortChainsIsTheFormulasByHand) {
  EXPECT_NEAR(splitRhat({{0, 2, 0, 2}, {1, 3, 1, 3}}), std::sqrt(2.0 / 3.0), 1e-12);
}

INSTANTIATE_TEST_SUITE_P(EnsembleSampler, SplitRhat,
                         ::testing::Values(RhatCase{"identical", 0.0, 0.0, 0.999, 1.001},
                                           RhatCase{"means_a_tenth_apart", 0.1, 0.0, 1.0005, 1.01},
                                           RhatCase{"means_one_sigma_apart", 1.0, 0.0, 1.1, 1.5},
                                           RhatCase{"drifting", 0.0, 2.0, 1.1, 1.5}),
                         [](const ::testing::TestParamInfo<RhatCase>& info) {
                           return std::string(info.param.what);
                         });

}  // namespace

namespace {

// A chain built by hand: every walker an independent AR(1) series
// x_{t+1} = rho x_t + sqrt(1 - rho^2) e_t, whose integrated autocorrelation
// time is (1 + rho)/(1 - rho) steps, stored every `thin` steps.
EnsembleChain autoregressiveChain(double rho, int thin, std::uint64_t seed) {
  constexpr int kWalkers = 16;
  constexpr int kStored = 20000;
  std::mt19937_64 generator(seed);
  std::normal_distribution<double> normal;
  EnsembleChain chain;
  chain.walkers = kWalkers;
  chain.dimension = 1;
  chain.thin = thin;
  chain.steps = kStored * thin;
  chain.positions.resize(static_cast<std::size_t>(kWalkers) * kStored);
  std::vector<double> x(kWalkers);
  for (double& v : x) v = normal(generator);
  for (int n = 0; n < kStored; ++n) {
    for (int w = 0; w < kWalkers; ++w) {
      x[w] = rho * x[w] + std::sqrt(1.0 - rho * rho) * normal(generator);
      chain.positions[static_cast<std::size_t>(n) * kWalkers + w] = x[w];
    }
  }
  return chain;
}

struct AutoregressiveCase {
  const char* what;
  double rho;
  int thin;
};

void PrintTo(const AutoregressiveCase& c, std::ostream* out) {
  *out << c.what;
}

class AutocorrelationTime : public ::testing::TestWithParam<AutoregressiveCase> {};

TEST_P(AutocorrelationTime, OfAnAutoregressiveChainIsOnePlusRhoOverOneMinusRho) {
  const AutoregressiveCase& c = GetParam();
  const EnsembleChain chain = autoregressiveChain(c.rho, c.thin, 3);
  const double expected = c.thin * (1.0 + c.rho) / (1.0 - c.rho);
  EXPECT_NEAR(autocorrelationTime(chain, 0, chain.stored() / 2), expected, 0.1 * expected);
}

INSTANTIATE_TEST_SUITE_P(EnsembleSampler, AutocorrelationTime,
                         ::testing::Values(AutoregressiveCase{"independent", 0.0, 1},
                                           AutoregressiveCase{"rho_half", 0.5, 1},
                                           AutoregressiveCase{"rho_0_9", 0.9, 1},
                                           AutoregressiveCase{"rho_0_8_stored_every_4th", 0.8, 4}),
                         [](const ::testing::TestParamInfo<AutoregressiveCase>& info) {
                           return std::string(info.param.what);
                         });

// An unbounded Gaussian, its walkers started 200 sigma away in a tiny ball: the
// first steps walk in from there, and only the second half of the chain is kept.
TEST(EnsembleSampler, TheKeptHalfLeavesTheWalkInFromAFarStartBehind) {
  const LogDensity gaussian = [](const std::vector<double>& x) {
    return -0.5 * (x[0] * x[0] + x[1] * x[1]);
  };
  std::mt19937_64 generator(12);
  std::normal_distribution<double> normal;
  std::vector<std::vector<std::vector<double>>> starts(2);
  for (auto& start : starts) {
    for (int w = 0; w < 16; ++w) start.push_back({200.0 + 0.01 * normal(generator), 0.01 * normal(generator)});
  }
  ConvergenceSettings settings;
  settings.steps = 1200;
  const ConvergedSampling run = sampleUntilConverged(gaussian, {}, starts, generator, settings);
  for (const EnsembleChain& chain : run.chains) {
    ASSERT_EQ(chain.stored(), 1200);
    // The walk-in is still in the first half: its first stored steps lie far out.
    EXPECT_GT(std::fabs(chain.at(0, 0)[0]), 50.0);
  }
  const std::vector<double> values = kept(run, 0);
  EXPECT_EQ(values.size(), 2u * 600 * 16);
  EXPECT_NEAR(percentile(values, 0.5), 0.0, 0.2);
  EXPECT_NEAR(percentile(values, 0.84) - percentile(values, 0.16), 2 * 0.99446, 0.3);
  EXPECT_LT(*std::max_element(values.begin(), values.end()), 6.0);
}

TEST(Percentile, InterpolatesBetweenTheOrderStatistics) {
  // Sorted: 1 2 4 8 16; (n - 1) * fraction = 4 * fraction.
  const std::vector<double> values = {8.0, 1.0, 16.0, 4.0, 2.0};
  const std::pair<double, double> cases[] = {
      {0.0, 1.0}, {0.5, 4.0}, {1.0, 16.0}, {0.16, 1.64}, {0.84, 10.88}, {0.625, 6.0}};
  for (const auto& [fraction, expected] : cases) {
    EXPECT_NEAR(percentile(values, fraction), expected, 1e-12) << fraction;
  }
  EXPECT_EQ(percentile({7.0}, 0.84), 7.0);
  EXPECT_TRUE(std::isnan(percentile({}, 0.5)));
}

TEST(Percentile, ABandIsTheSixteenthMedianAndEightyFourthAtEveryDepth) {
  // Five profiles of two points; at point 0 the values 0..4, at point 1 the same reversed and
  // doubled.
  std::vector<DepthProfile> profiles;
  for (int k = 0; k < 5; ++k) {
    DepthProfile p = DepthProfile::forMaximumDepth(0.01, 0.005);
    ASSERT_EQ(p.pointCount, 2);
    p.values = {static_cast<double>(k), 2.0 * (4 - k)};
    profiles.push_back(p);
  }
  const ProfileBand band = profileBand(profiles);
  ASSERT_EQ(band.median.size(), 2u);
  EXPECT_NEAR(band.low[0], 0.64, 1e-12);
  EXPECT_NEAR(band.median[0], 2.0, 1e-12);
  EXPECT_NEAR(band.high[0], 3.36, 1e-12);
  EXPECT_NEAR(band.low[1], 1.28, 1e-12);
  EXPECT_NEAR(band.median[1], 4.0, 1e-12);
  EXPECT_NEAR(band.high[1], 6.72, 1e-12);
}

}  // namespace

namespace {

// Targets whose moments are known, sampled with the posterior's mix of moves
// until converged: a banana (x ~ N(0, 1), y ~ N(x^2, 0.2^2): y's mean 1 and
// variance 2.04) and two separated Gaussians of weights 0.3 and 0.7 (at x =
// -4 and +4, unit widths) with walkers started half in each.
struct KnownTarget {
  const char* what;
  LogDensity density;
  double startX[2];  // the balls' centres in x (y at 0)
  double meanX, sdX, meanY, sdY;
  double shareRight;  // of samples with x > 0
};

void PrintTo(const KnownTarget& t, std::ostream* out) {
  *out << t.what;
}

double normalLog(double x, double mean, double sigma) {
  return -0.5 * std::pow((x - mean) / sigma, 2) - std::log(sigma);
}

const KnownTarget kTargets[] = {
    {"banana",
     [](const std::vector<double>& x) {
       return normalLog(x[0], 0, 1) + normalLog(x[1], x[0] * x[0], 0.2);
     },
     {0.0, 0.0}, 0.0, 1.0, 1.0, std::sqrt(2.04), 0.5},
    {"two Gaussians 0.3 and 0.7",
     [](const std::vector<double>& x) {
       const double left = std::exp(normalLog(x[0], -4, 1));
       const double right = std::exp(normalLog(x[0], 4, 1));
       return std::log(0.3 * left + 0.7 * right) + normalLog(x[1], 0, 1);
     },
     {-4.0, 4.0}, 1.6, std::sqrt(17.0 - 1.6 * 1.6), 0.0, 1.0, 0.7},
};

class KnownTargets : public testing::TestWithParam<KnownTarget> {};

TEST_P(KnownTargets, ConvergeToTheirMomentsAndShares) {
  const KnownTarget& target = GetParam();
  for (const std::uint64_t seed : {11u, 12u}) {
    std::mt19937_64 generator(seed);
    std::normal_distribution<double> normal;
    std::vector<std::vector<std::vector<double>>> starts(2);
    for (auto& start : starts) {
      for (int w = 0; w < 32; ++w) {
        start.push_back({target.startX[w % 2] + 0.1 * normal(generator), 0.1 * normal(generator)});
      }
    }
    ConvergenceSettings settings;
    settings.moves = kPosteriorMoves;
    const ConvergedSampling run =
        sampleUntilConverged(target.density, {}, starts, generator, settings);
    ASSERT_TRUE(run.converged) << seed;
    const std::vector<double> x = kept(run, 0);
    const std::vector<double> y = kept(run, 1);
    const auto moments = [](const std::vector<double>& v) {
      double mean = 0, squares = 0;
      for (const double a : v) mean += a / v.size();
      for (const double a : v) squares += (a - mean) * (a - mean) / v.size();
      return std::pair{mean, std::sqrt(squares)};
    };
    const auto [meanX, sdX] = moments(x);
    const auto [meanY, sdY] = moments(y);
    EXPECT_NEAR(meanX, target.meanX, 0.08 * target.sdX) << seed;
    EXPECT_NEAR(sdX, target.sdX, 0.05 * target.sdX) << seed;
    EXPECT_NEAR(meanY, target.meanY, 0.08 * target.sdY) << seed;
    EXPECT_NEAR(sdY, target.sdY, 0.05 * target.sdY) << seed;
    const double right =
        std::count_if(x.begin(), x.end(), [](double a) { return a > 0; }) / double(x.size());
    EXPECT_NEAR(right, target.shareRight, 0.05) << seed;
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, KnownTargets, testing::ValuesIn(kTargets));

}  // namespace
