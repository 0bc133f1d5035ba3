#include "model/curve_convolution.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <random>
#include <thread>

#include "model/single_collision_density.h"
#include "model/convolution_engine.h"
#include "support/reference_kernels.h"

namespace {

// Values in (0, 1]; each point is zero with probability zeroShare, and
// negative with probability negativeShare.
SampledCurve randomCurve(std::size_t n, double step, std::uint64_t seed, double zeroShare = 0.0,
                         double negativeShare = 0.0) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  SampledCurve curve(n, step);
  for (double& v : curve.values) {
    const double pick = unit(rng);
    v = pick < zeroShare ? 0.0 : 1.0 - unit(rng);
    if (unit(rng) < negativeShare) v = -v;
  }
  return curve;
}

void expectLikeLiteral(const SampledCurve& a, const SampledCurve& b) {
  const SampledCurve fast = convolveCurves(a, b);
  const SampledCurve literal = reference::convolveCurves(a, b);
  EXPECT_EQ(reference::bitDifference(fast.values, literal.values), "");
  EXPECT_EQ(fast.step, a.step);
  EXPECT_EQ(fast.origin, 0.0);
}

TEST(ConvolveCurves, SpikeReturnsTheKernelTruncated) {
  for (double s : {0.5, 4.0, 4.0299934, 1.3}) {
    SCOPED_TRACE(s);
    SampledCurve spike(50, s);
    spike.values[0] = 1 / s;
    SampledCurve kernel(80, s);
    buildCollisionSpectrum(kernel, 80, s, 2.0 * s, 60.3 * s);
    const SampledCurve r = convolveCurves(spike, kernel);
    ASSERT_EQ(r.size(), 50u);
    for (std::size_t i = 0; i < 50; ++i) EXPECT_DOUBLE_EQ(r.values[i], kernel.values[i]) << i;
    // With a power-of-two step 1/s and s are exact, and so is every point.
    if (s == 0.5 || s == 4.0) {
      EXPECT_EQ(r.values, std::vector<double>(kernel.values.begin(), kernel.values.begin() + 50));
    }
  }
}

TEST(ConvolveCurves, AutoconvolutionChainMatchesTheLiteralLoop) {
  struct Grid {
    std::size_t n;
    double step, emin, emax;
  };
  for (const Grid& grid : {Grid{600, 4.0299934, 5.75713, 328.94866}, Grid{333, 1.0, 0.3, 2.7},
                           Grid{257, 2.5, 7.5, 100.0}, Grid{1001, 0.75, 3.1, 40.0}}) {
    SCOPED_TRACE(grid.n);
    SampledCurve spectrum(grid.n, grid.step);
    buildCollisionSpectrum(spectrum, grid.n, grid.step, grid.emin, grid.emax);
    SampledCurve entry = spectrum;
    for (int n = 2; n <= 6; ++n) {
      const SampledCurve next = convolveCurves(entry, spectrum);
      EXPECT_EQ(
          reference::bitDifference(next.values, reference::convolveCurves(entry, spectrum).values),
          "")
          << "entry " << n;
      entry = next;
    }
  }
}

TEST(ConvolveCurves, ArbitraryCurvesMatchTheLiteralLoop) {
  // Dense, sparse, with negative values (whose products with zero are -0),
  // odd sizes, and sizes on both sides of the threshold for using threads.
  std::uint64_t seed = 1;
  for (std::size_t n : {1u, 2u, 7u, 13u, 64u, 257u, 1001u, 1400u, 1500u}) {
    for (double zeros : {0.0, 0.5, 0.97}) {
      SCOPED_TRACE(testing::Message() << "n " << n << " zeros " << zeros);
      const SampledCurve a = randomCurve(n, 3.7, seed++, zeros, 0.2);
      const SampledCurve b = randomCurve(n + 5, 0.61, seed++, zeros, 0.2);
      expectLikeLiteral(a, b);
    }
  }
  const std::size_t dense = 1500;
  ASSERT_GT(dense * (dense + 1) / 2, kParallelTermThreshold);
  ASSERT_LT(1400u * 1401u / 2, kParallelTermThreshold);
}

TEST(ConvolveCurves, NarrowAndWideSupportsEitherWayRound) {
  // a narrow and b wide, then a wide and b narrow: the two loop orders.
  SampledCurve narrow(900, 2.0);
  for (std::size_t i = 400; i < 420; ++i) narrow.values[i] = 1.0 / static_cast<double>(i);
  narrow.values[410] = 0.0;
  const SampledCurve wide = randomCurve(900, 2.0, 99, 0.1, 0.3);
  expectLikeLiteral(narrow, wide);
  expectLikeLiteral(wide, narrow);

  SampledCurve lonely(900, 2.0);
  lonely.values[899] = 2.0;
  expectLikeLiteral(lonely, wide);
  expectLikeLiteral(wide, lonely);
  expectLikeLiteral(SampledCurve(900, 2.0), wide);  // all zeros
}

TEST(ConvolveCurves, InfinitiesAndNansGiveWhatTheLiteralLoopGives) {
  // A zero times an infinity is NaN, so no zero term may be skipped here.
  SampledCurve a = randomCurve(300, 1.0, 5, 0.5);
  SampledCurve b = randomCurve(300, 1.0, 6, 0.5);
  a.values[120] = std::numeric_limits<double>::infinity();
  expectLikeLiteral(a, b);
  b.values[3] = std::numeric_limits<double>::quiet_NaN();
  expectLikeLiteral(b, a);
  SampledCurve c = randomCurve(300, std::numeric_limits<double>::infinity(), 7, 0.5);
  expectLikeLiteral(a, c);
}

TEST(ConvolveCurves, CancellableVariantGivesTheSameCurve) {
  const SampledCurve a = randomCurve(1500, 4.0, 11, 0.3);
  const SampledCurve b = randomCurve(1500, 4.0, 12, 0.3);
  std::atomic<bool> cancel{false};
  SampledCurve result;
  EXPECT_TRUE(convolveCurvesCancellable(a, b, result, &cancel));
  EXPECT_EQ(reference::bitDifference(result.values, convolveCurves(a, b).values), "");
}

TEST(ConvolveCurves, CancelIsHonouredPromptlyOnHugeGrids) {
  std::atomic<bool> cancel{true};
  SampledCurve result;
  const SampledCurve small = randomCurve(100, 1.0, 13);
  EXPECT_FALSE(convolveCurvesCancellable(small, small, result, &cancel));

  // About 2e10 terms: tens of seconds if it ran to the end.
  const SampledCurve huge = randomCurve(200000, 1.0, 14);
  cancel = false;
  using Clock = std::chrono::steady_clock;
  Clock::time_point cancelledAt;
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    cancelledAt = Clock::now();
    cancel = true;
  });
  const bool completed = convolveCurvesCancellable(huge, huge, result, &cancel);
  const Clock::time_point returnedAt = Clock::now();
  canceller.join();
  EXPECT_FALSE(completed);
  EXPECT_LT(returnedAt - cancelledAt, std::chrono::milliseconds(100));
}

}  // namespace
