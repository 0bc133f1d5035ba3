#include "fit/ensemble_sampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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
