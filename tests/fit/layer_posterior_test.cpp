#include "fit/layer_posterior.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "fit/forward_model.h"
#include "fit/profile_rendering.h"
#include "support/measured_data.h"
#include "support/small_start_up_set.h"
#include "support/synthetic_layers.h"

namespace {

constexpr double kBeamKev = 151.0;

const AutoconvolutionSet& smallSet() {
  return smallStartUpSet(40);
}

// A buried layer 0.5-1.0 ug/cm2 under 0.1 of contamination, sharp edges,
// concentration 1, peak near 2000 counts over a background of 5.
SampleModel buriedLayer() {
  SampleModel model;
  model.maxDepth = 2.0;
  model.contamination = 0.1;
  LayerModel layer;
  layer.from = {0.5, true, 0.1, 1.5};
  layer.to = {1.0, true, 0.1, 2.0};
  model.layers.push_back(layer);
  model.multiplier = {4e4, false};
  model.background = {5.0, true, 0.0};
  return model;
}

struct FittedProblem {
  MeasuredData problem;
  FitResult fit;
};

// Counts drawn around the buried layer's curve, and the fit to them.
FittedProblem fittedBuriedLayer(double deepestBottom = 2.0) {
  const double rate = startUpCollisionRate();
  const SampleModel truth = buriedLayer();
  std::vector<double> energies;
  for (int k = -10; k <= 60; ++k) energies.push_back(kBeamKev + 0.02 * k);
  ForwardModelSettings settings;
  settings.beamEnergyKev = kBeamKev;
  settings.collisionRate = rate;
  const std::vector<double> curve =
      ForwardModel(smallSet(), settings, energies).values(renderProfile(truth));
  std::mt19937_64 noise(9);
  MeasuredData problem{&smallSet(), kBeamKev, rate, {}};
  for (std::size_t j = 0; j < energies.size(); ++j) {
    const double mean = truth.multiplier.value * curve[j] + truth.background.value;
    problem.points.push_back({static_cast<float>(energies[j]),
                              static_cast<float>(std::poisson_distribution<int>(mean)(noise))});
  }
  SampleModel start = truth;
  start.layers[0].to.max = deepestBottom;
  start.layers[0].from.value = 0.6;
  start.layers[0].to.value = 0.8;
  return {problem, fitProblem(problemFor(start, problem))};
}

TEST(LayerPosterior, IntervalsHoldTheTruthAndAgreeWithTheFitsErrors) {
  const SampleModel truth = buriedLayer();
  const auto [problem, fit] = fittedBuriedLayer();
  ASSERT_TRUE(fit.converged);

  std::mt19937_64 generator(1);
  PosteriorSettings posteriorSettings;
  posteriorSettings.steps = 1500;
  const LayerPosterior posterior =
      samplePosterior(fit, problemFor(fit.joint, problem), posteriorSettings, generator);
  EXPECT_NEAR(posterior.optimumChi2, fit.chi2, 1e-10 * fit.chi2);
  EXPECT_GT(posterior.acceptance, 0.2);
  const std::vector<std::pair<std::string, double>> truths = {
      {"layer1.from", 0.5}, {"layer1.to", 1.0}, {"background", 5.0}, {"layer1.thickness", 0.5}};
  for (const auto& [name, value] : truths) {
    const auto interval = std::find_if(posterior.intervals.begin(), posterior.intervals.end(),
                                       [&](const PosteriorInterval& p) { return p.name == name; });
    ASSERT_NE(interval, posterior.intervals.end()) << name;
    EXPECT_LE(interval->low, interval->median);
    EXPECT_LE(interval->median, interval->high);
    // Within 3 half-widths of the 68% interval: the truth, and the fit's own error
    // within a factor of two of the half-width.
    const double halfWidth = 0.5 * (interval->high - interval->low);
    EXPECT_LT(std::fabs(interval->median - value), 3 * halfWidth) << name;
    std::optional<double> error;
    for (const EstimatedValue& v : fit.parameters) error = v.name == name ? v.error : error;
    for (const EstimatedValue& v : fit.derived) error = v.name == name ? v.error : error;
    ASSERT_TRUE(error) << name;
    EXPECT_GT(halfWidth, 0.5 * *error) << name;
    // 16% below and above the median: sides alike for a likelihood this near a parabola.
    const double below = interval->median - interval->low;
    const double above = interval->high - interval->median;
    EXPECT_LT(std::max(below, above) / std::min(below, above), 1.5) << name;
    EXPECT_LT(halfWidth, 2.0 * *error) << name;
  }
  ASSERT_EQ(posterior.band.median.size(), renderProfile(truth).values.size());
  for (std::size_t i = 0; i < posterior.band.median.size(); ++i) {
    EXPECT_LE(posterior.band.low[i], posterior.band.median[i]);
    EXPECT_LE(posterior.band.median[i], posterior.band.high[i]);
  }
}

TEST(LayerPosterior, TooFewStepsSayTheyHaveNotConvergedAndASeedFixesEveryNumber) {
  const auto [problem, fit] = fittedBuriedLayer();
  PosteriorSettings settings;
  settings.steps = 100;
  const auto sample = [&](std::uint64_t seed) {
    std::mt19937_64 generator(seed);
    return samplePosterior(fit, problemFor(fit.joint, problem), settings, generator);
  };
  const LayerPosterior a = sample(1);
  EXPECT_EQ(a.steps, 100);
  EXPECT_EQ(a.ensembles, 2);
  EXPECT_FALSE(a.converged);
  ASSERT_EQ(a.warnings.size(), 1u);
  EXPECT_NE(a.warnings.front().find("has not converged in 100 steps per walker"), std::string::npos)
      << a.warnings.front();
  EXPECT_GT(a.tau, 1.0);
  // Fifty kept steps hold fewer than 50 autocorrelation times of anything: the slowest is named.
  const auto slowest = std::max_element(
      a.intervals.begin(), a.intervals.end(),
      [](const PosteriorInterval& x, const PosteriorInterval& y) { return x.tau < y.tau; });
  EXPECT_NE(a.warnings.front().find(slowest->name + " has an autocorrelation time of about"),
            std::string::npos)
      << a.warnings.front();
  const LayerPosterior again = sample(1);
  const LayerPosterior other = sample(2);
  ASSERT_EQ(again.intervals.size(), a.intervals.size());
  for (std::size_t k = 0; k < a.intervals.size(); ++k) {
    EXPECT_EQ(again.intervals[k].median, a.intervals[k].median) << a.intervals[k].name;
    EXPECT_EQ(again.intervals[k].rhat, a.intervals[k].rhat) << a.intervals[k].name;
    EXPECT_NE(other.intervals[k].median, a.intervals[k].median) << a.intervals[k].name;
  }
  EXPECT_EQ(again.band.high, a.band.high);
}

TEST(LayerPosterior, AFineGridDrawsItsBandFromFewerSamplesAndSaysSo) {
  const auto [problem, fit] = fittedBuriedLayer();
  PosteriorSettings all;
  all.steps = 100;
  PosteriorSettings thinned = all;
  thinned.mostBandBytes = 50 * fit.profile.values.size() * sizeof(double);
  std::mt19937_64 generator(1);
  const LayerPosterior full = samplePosterior(fit, problemFor(fit.joint, problem), all, generator);
  generator.seed(1);
  const LayerPosterior few =
      samplePosterior(fit, problemFor(fit.joint, problem), thinned, generator);
  // The derived values still take every kept sample; only the band is thinned.
  ASSERT_EQ(few.intervals.size(), full.intervals.size());
  for (std::size_t k = 0; k < few.intervals.size(); ++k) {
    EXPECT_EQ(few.intervals[k].median, full.intervals[k].median) << few.intervals[k].name;
  }
  EXPECT_EQ(few.warnings.size(), full.warnings.size() + 1);
  EXPECT_NE(few.warnings.back().find("band is drawn from 50 of the"), std::string::npos);
  ASSERT_EQ(few.band.median.size(), full.band.median.size());
  EXPECT_NE(few.band.high, full.band.high);
  for (std::size_t i = 0; i < few.band.median.size(); ++i) {
    EXPECT_LE(few.band.low[i], few.band.median[i]);
    EXPECT_LE(few.band.median[i], few.band.high[i]);
  }
}

// The layer's bottom bounded at where the free fit puts it: that fit ends on the bound, and no
// sample of its posterior lies beyond, so its upper percentile is the bound at the most, while
// the free posterior reaches past it.
TEST(LayerPosterior, NoSampleLiesOutsideTheBounds) {
  const double fitted = fittedBuriedLayer().fit.joint.sample.layers[0].to.value;
  PosteriorSettings settings;
  settings.steps = 600;
  std::vector<double> highs;
  for (const double bound : {fitted, 2.0}) {
    const auto [problem, fit] = fittedBuriedLayer(bound);
    std::mt19937_64 generator(4);
    const LayerPosterior posterior =
        samplePosterior(fit, problemFor(fit.joint, problem), settings, generator);
    const auto to = std::find_if(posterior.intervals.begin(), posterior.intervals.end(),
                                 [](const PosteriorInterval& p) { return p.name == "layer1.to"; });
    ASSERT_NE(to, posterior.intervals.end());
    highs.push_back(to->high);
  }
  EXPECT_LE(highs[0], fitted);
  EXPECT_GT(highs[1], fitted);
}

// A run long enough to converge says nothing of rough percentiles.
TEST(LayerPosterior, AConvergedRunGivesNoWarning) {
  const auto [problem, fit] = fittedBuriedLayer();
  PosteriorSettings settings;
  settings.mostSteps = 30000;
  std::mt19937_64 generator(1);
  const LayerPosterior posterior =
      samplePosterior(fit, problemFor(fit.joint, problem), settings, generator);
  ASSERT_TRUE(posterior.converged) << posterior.steps;
  EXPECT_TRUE(posterior.warnings.empty()) << posterior.warnings.front();
  EXPECT_GT(posterior.steps * 0.5, 50 * posterior.tau);
}

// Walkers started eight errors from the optimum walk in during the first half of the chains,
// which is discarded: the intervals are those of walkers started at the optimum.
TEST(LayerPosterior, TheDiscardedFirstHalfHoldsTheWalkInFromAStartAwayFromTheOptimum) {
  const auto [problem, fit] = fittedBuriedLayer();
  FitResult away = fit;
  const auto to = std::find_if(away.parameters.begin(), away.parameters.end(),
                               [](const EstimatedValue& v) { return v.name == "layer1.to"; });
  ASSERT_NE(to, away.parameters.end());
  ASSERT_TRUE(to->error);
  to->value += 8 * *to->error;
  away.joint.sample.layers[0].to.value = to->value;
  PosteriorSettings settings;
  settings.steps = 1000;
  std::vector<PosteriorInterval> intervals;
  const FitResult* const starts[] = {&fit, &away};
  for (const FitResult* start : starts) {
    std::mt19937_64 generator(6);
    const LayerPosterior posterior =
        samplePosterior(*start, problemFor(start->joint, problem), settings, generator);
    for (const PosteriorInterval& p : posterior.intervals) {
      if (p.name == "layer1.to") intervals.push_back(p);
    }
  }
  ASSERT_EQ(intervals.size(), 2u);
  const double halfWidth = 0.5 * (intervals[0].high - intervals[0].low);
  EXPECT_NEAR(intervals[1].low, intervals[0].low, 0.25 * halfWidth);
  EXPECT_NEAR(intervals[1].median, intervals[0].median, 0.25 * halfWidth);
  EXPECT_NEAR(intervals[1].high, intervals[0].high, 0.25 * halfWidth);
}

}  // namespace

namespace {

// Two overlapping layers whose tops lie closer than the resolution: the
// data cannot tell which starts first, but a sample never swaps them from
// the order they hold at the fit's optimum (their names would swap too).
TEST(LayerPosterior, LayersKeepTheirOrderFromTheOptimum) {
  const synthetic::CoverageCase c{"", {"", 0.0, {{0.3, 0.5, 1.0}, {0.31, 0.6, 0.5}}}, false, 2.0};
  const synthetic::Synthetic s = synthetic::synthesise(c.sample);
  const SampleProblem problem =
      problemFor(synthetic::coverageStart(c, s.multiplier),
                 synthetic::problemOf(synthetic::measure(s.curve, s.multiplier, c.background, 4)));
  const FitResult fit = fitProblem(problem);
  std::mt19937_64 generator(2);
  PosteriorSettings settings;
  settings.steps = 400;
  const LayerPosterior posterior =
      samplePosterior(fit, withValues(problem, fit.joint), settings, generator);
  const std::size_t columns = posterior.sampleNames.size();
  const std::size_t top1 = synthetic::nameIndex(posterior.sampleNames, "layer1.from");
  const std::size_t top2 = synthetic::nameIndex(posterior.sampleNames, "layer2.from");
  ASSERT_LT(std::max(top1, top2), columns);
  const bool firstFirst =
      fit.joint.sample.layers[0].from.value <= fit.joint.sample.layers[1].from.value;
  ASSERT_GT(posterior.samples.size(), 0u);
  for (std::size_t row = 0; row < posterior.samples.size() / columns; ++row) {
    const double* x = posterior.samples.data() + row * columns;
    ASSERT_EQ(x[top1] <= x[top2], firstFirst) << "sample " << row;
  }
}

}  // namespace
