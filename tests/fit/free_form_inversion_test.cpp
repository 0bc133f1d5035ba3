#include "fit/free_form_inversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "fit/forward_model.h"
#include "fit/free_form_problem.h"
#include "fit/layer_measures.h"
#include "fit/nonnegative_least_squares.h"
#include "fit/profile_rendering.h"
#include "model/profile_editing.h"
#include "model/profile_smoothing.h"
#include "support/measured_data.h"
#include "support/small_start_up_set.h"

namespace {

constexpr double kBeamKev = 151.0;
constexpr double kContamination = 0.1;

// The start-up spectrum on 400 points of 4.03 eV and 60 collisions, measured to 152.4 keV: depths
// to about 2.5 ug/cm2.
const AutoconvolutionSet& smallSet() {
  return smallStartUpSet(60);
}

double rate() {
  return startUpCollisionRate();
}

SampleModel invertingModel() {
  SampleModel model;
  model.maxDepth = 3.0;
  model.contamination = kContamination;
  model.background = {5.0, true, 0.0};
  return model;
}

// Poisson counts of the profile's curve scaled to `peakCounts`, over 150.6-152.4 keV (below the
// resonance the background alone); the model's multiplier is set to the scale used (a calibrated
// multiplier).
MeasuredData measure(const DepthProfile& truth, SampleModel& model, double peakCounts,
                     std::uint64_t seed) {
  std::vector<double> energies;
  for (int k = -20; k <= 70; ++k) energies.push_back(kBeamKev + 0.02 * k);
  ForwardModelSettings settings;
  settings.beamEnergyKev = kBeamKev;
  settings.collisionRate = rate();
  const std::vector<double> curve = ForwardModel(smallSet(), settings, energies).values(truth);
  model.multiplier.value = peakCounts / *std::max_element(curve.begin(), curve.end());
  std::mt19937_64 generator(seed);
  MeasuredData problem{&smallSet(), kBeamKev, rate(), {}};
  for (std::size_t j = 0; j < energies.size(); ++j) {
    const double mean = model.multiplier.value * curve[j] + model.background.value;
    problem.points.push_back({static_cast<float>(energies[j]),
                              static_cast<float>(std::poisson_distribution<int>(mean)(generator)),
                              0.0f});
  }
  return problem;
}

struct Truth {
  const char* name;
  double from, to, concentration;
  double deepTo, deepConcentration;  // a second, deeper level; deepTo = 0 for none
};

void PrintTo(const Truth& c, std::ostream* out) {
  *out << c.name;
}

class FreeFormRecovery : public testing::TestWithParam<Truth> {};

TEST_P(FreeFormRecovery, AmountCentroidAndChi2AsTheTruthWithoutNegativeValues) {
  const Truth t = GetParam();
  SampleModel model = invertingModel();
  DepthProfile truth = DepthProfile::forMaximumDepth(model.maxDepth, model.step);
  drawProfileLine(truth, t.from, t.concentration, t.to, t.concentration);
  if (t.deepTo > 0)
    drawProfileLine(truth, t.to, t.deepConcentration, t.deepTo, t.deepConcentration);
  smoothProfile(truth, 9);
  setContaminationDepth(truth, kContamination);
  double sum = 0.0, moment = 0.0;
  const int first = static_cast<int>(std::ceil(kContamination / truth.step));
  for (int i = first; i < truth.pointCount; ++i) {
    sum += truth.values[i];
    moment += i * truth.step * truth.values[i];
  }

  const MeasuredData problem = measure(truth, model, 3000.0, 17);
  std::mt19937_64 generator(5);
  const InversionResult result =
      invertProblem(problemFor(model, problem), {std::nullopt, 30}, generator);

  EXPECT_NEAR(result.amount.value, sum * truth.step, 0.05 * sum * truth.step);
  EXPECT_NEAR(result.centroid.value, moment / sum, 0.05);
  EXPECT_GT(result.reducedChi2, 0.6);
  EXPECT_LT(result.reducedChi2, 1.6);
  ASSERT_TRUE(result.amount.error && result.centroid.error);
  EXPECT_GT(*result.amount.error, 0.0);
  EXPECT_LT(*result.amount.error, 0.1 * result.amount.value);
  for (int i = 0; i < result.profile.pointCount; ++i) {
    EXPECT_GE(result.profile.values[i], 0.0) << "at point " << i;
    if (i < first) {
      EXPECT_EQ(result.profile.values[i], 0.0) << "inside the contamination";
    }
  }
  // The fitted yield is the forward model's curve of the profile written out.
  ForwardModelSettings settings;
  settings.beamEnergyKev = kBeamKev;
  settings.collisionRate = rate();
  std::vector<double> energies;
  for (const FitResult::Residual& r : result.residuals) energies.push_back(r.energy);
  const std::vector<double> curve =
      ForwardModel(smallSet(), settings, energies).values(result.profile);
  for (std::size_t j = 0; j < curve.size(); ++j) {
    EXPECT_NEAR(result.residuals[j].fitted, model.multiplier.value * curve[j] + result.background,
                1e-9 * 3000.0);
  }
  ASSERT_EQ(result.band.median.size(), result.profile.values.size());
  for (std::size_t i = 0; i < result.band.median.size(); ++i) {
    EXPECT_LE(result.band.low[i], result.band.median[i]);
    EXPECT_LE(result.band.median[i], result.band.high[i]);
    EXPECT_GE(result.band.low[i], 0.0);
  }
}

INSTANTIATE_TEST_SUITE_P(Profiles, FreeFormRecovery,
                         testing::Values(Truth{"buried", 0.6, 1.2, 1.0, 0, 0},
                                         Truth{"surface", 0.1, 0.5, 1.0, 0, 0},
                                         Truth{"two_levels", 0.4, 0.8, 1.0, 1.5, 0.4}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FreeFormInversion, OnlyBackgroundGivesAZeroProfileAndTheSameSeedTheSameBand) {
  SampleModel model = invertingModel();
  const DepthProfile empty = DepthProfile::forMaximumDepth(model.maxDepth, model.step);
  DepthProfile trace = empty;
  drawProfileLine(trace, 1.0, 1e-9, 1.1, 1e-9);
  MeasuredData problem = measure(trace, model, 1e-6, 3);
  std::vector<InversionResult> runs;
  for (int run = 0; run < 2; ++run) {
    std::mt19937_64 generator(11);
    runs.push_back(invertProblem(problemFor(model, problem), {1.0, 8}, generator));
  }
  EXPECT_NEAR(runs[0].background, 5.0, 1.0);
  EXPECT_LT(runs[0].amount.value, 0.02);
  for (double c : runs[0].profile.values) EXPECT_GE(c, 0.0);
  EXPECT_EQ(runs[0].band.high, runs[1].band.high);
  EXPECT_EQ(runs[0].amount.error, runs[1].amount.error);
}

// A set whose every collision loses exactly 10 eV: S = 50 * 10 = 500 eV per ug/cm2 at 50
// collisions per ug/cm2, and the loss in z has the variance 50 * z * 10^2 eV^2.
struct ProbedCase {
  const char* name;
  double energyKev, shiftKev;
  bool convolve;
  double depth;  // by hand
};

void PrintTo(const ProbedCase& c, std::ostream* out) {
  *out << c.name;
}

class ProbedDepthByHand : public testing::TestWithParam<ProbedCase> {};

TEST_P(ProbedDepthByHand, IsTheResonanceDepthPlusTheResolutionThere) {
  const ProbedCase c = GetParam();
  AutoconvolutionSet set(3, Autoconvolution(40, 1.0));
  set[0].values[0] = 1.0;
  set[1].values[10] = 1.0;
  set[2].values[20] = 1.0;
  MeasurementModel model;
  model.energyShift.value = c.shiftKev;
  model.convolve = c.convolve;
  const ProbedDepth probed = probedDepth(set, 50.0, 150.0, model, c.energyKev);
  EXPECT_NEAR(probed.depth, c.depth, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProbedDepthByHand,
    testing::Values(
        // z0 = 1000/500 = 2; W^2 = 100^2 + 100^2 + 4 * 50 * 2 * 100 = 60000 eV^2.
        ProbedCase{"lineShapeAndStraggling", 151.0, 0.0, true, 2.0 + std::sqrt(60000.0) / 500.0},
        // z0 = 1200/500 = 2.4; W^2 = 4 * 50 * 2.4 * 100 = 48000 eV^2.
        ProbedCase{"shiftedWithoutConvolve", 151.0, 0.2, false, 2.4 + std::sqrt(48000.0) / 500.0},
        // Below the resonance: the surface and the line shape alone.
        ProbedCase{"belowTheResonance", 149.0, 0.0, true, std::sqrt(20000.0) / 500.0}),
    [](const auto& info) { return std::string(info.param.name); });

// A profile that ends inside the data's reach passes; one that goes on past it is cut there
// with a warning. Either way the profile is 0 from the deepest probed depth on, which is the
// probed depth of the highest measured energy used.
class ReachOfTheData : public testing::TestWithParam<bool> {};

TEST_P(ReachOfTheData, ProfileEndsThereAndAWarningSaysWhenItIsStillHigh) {
  const bool goesOn = GetParam();
  SampleModel model = invertingModel();
  model.maxDepth = 5.0;  // deeper than the data see
  DepthProfile truth = DepthProfile::forMaximumDepth(model.maxDepth, model.step);
  drawProfileLine(truth, 0.5, 1.0, goesOn ? 4.5 : 1.1, 1.0);
  setContaminationDepth(truth, kContamination);
  const MeasuredData problem = measure(truth, model, 3000.0, 23);
  std::mt19937_64 generator(2);
  const InversionResult result =
      invertProblem(problemFor(model, problem), {std::nullopt, 0}, generator);

  double highest = 0.0;
  for (const FitResult::Residual& r : result.residuals) highest = std::max(highest, r.energy);
  EXPECT_EQ(result.deepestProbed, probedDepth(smallSet(), rate(), kBeamKev, model, highest).depth);
  EXPECT_GT(result.deepestProbed, 2.0);
  EXPECT_LT(result.deepestProbed, model.maxDepth);
  for (int i = 0; i < result.profile.pointCount; ++i) {
    if (i * result.profile.step >= result.deepestProbed) {
      EXPECT_EQ(result.profile.values[i], 0.0) << "at point " << i;
    }
  }
  const bool warned = std::any_of(result.warnings.begin(), result.warnings.end(),
                                  [](const std::string& w) {
                                    return w.find("material may continue deeper") != std::string::npos;
                                  });
  EXPECT_EQ(warned, goesOn);
}

INSTANTIATE_TEST_SUITE_P(Profiles, ReachOfTheData, testing::Bool(),
                         [](const auto& info) { return info.param ? "goesOn" : "endsInside"; });

// Over seeded measurements, the bootstrap errors of the background and of a region's amount
// hold the truth about as often as 1-sigma errors should; regions that tile the grid add up
// to the whole amount.
TEST(FreeFormRegions, TileTheAmountAndTheirErrorsAndTheBackgroundsCoverTheTruth) {
  SampleModel model = invertingModel();
  DepthProfile truth = DepthProfile::forMaximumDepth(model.maxDepth, model.step);
  drawProfileLine(truth, 0.6, 1.0, 1.2, 1.0);
  smoothProfile(truth, 9);
  setContaminationDepth(truth, kContamination);
  const DepthRegion layer{0.4, 1.6};
  const int first = static_cast<int>(std::ceil(kContamination / truth.step));
  const double trueAmount = profileMeasures(truth, first).amount;
  InversionSettings settings{1e-2, 30, {{0.0, 0.4}, layer, {1.6, model.maxDepth}}};
  constexpr int kMeasurements = 24;
  int backgroundsHeld = 0;
  int amountsHeld = 0;
  for (int seed = 0; seed < kMeasurements; ++seed) {
    SampleModel measured = model;
    const MeasuredData problem = measure(truth, measured, 3000.0, 100 + seed);
    std::mt19937_64 generator(seed);
    const InversionResult result =
        invertProblem(problemFor(measured, problem), settings, generator);
    ASSERT_EQ(result.regions.size(), 3u);
    double sum = 0.0;
    for (const RegionEstimate& region : result.regions) sum += region.amount.value;
    EXPECT_NEAR(sum, result.amount.value, 1e-12 * result.amount.value);
    ASSERT_TRUE(result.backgroundError && result.regions[1].amount.error);
    backgroundsHeld += std::fabs(result.background - 5.0) <= *result.backgroundError;
    amountsHeld += std::fabs(result.regions[1].amount.value - trueAmount) <=
                   *result.regions[1].amount.error;
  }
  for (int held : {backgroundsHeld, amountsHeld}) {
    EXPECT_GE(held, kMeasurements * 45 / 100);
    EXPECT_LE(held, kMeasurements * 90 / 100);
  }
}

TEST(NonNegativeLeastSquares, MeetsTheOptimalityConditionsFromAnyStartingSet) {
  // Columns nearly parallel so that the unconstrained solution has large
  // entries of both signs.
  std::mt19937_64 generator(2);
  std::normal_distribution<double> normal;
  Eigen::MatrixXd a(30, 8);
  for (Eigen::Index j = 0; j < a.cols(); ++j) {
    for (Eigen::Index i = 0; i < a.rows(); ++i)
      a(i, j) = std::sin(0.1 * i * (1 + 0.05 * j)) + 0.05 * normal(generator);
  }
  Eigen::VectorXd b(30);
  for (Eigen::Index i = 0; i < b.size(); ++i) b(i) = std::cos(0.2 * i) + 0.1 * normal(generator);
  ASSERT_LT(a.colPivHouseholderQr().solve(b).minCoeff(), 0.0);

  for (const std::vector<char>& start :
       {std::vector<char>{}, std::vector<char>(8, 1), std::vector<char>{1, 0, 1, 0, 1, 0, 1, 0}}) {
    std::vector<char> passive = start;
    const NonNegativeSolution s = solveNonNegativeLeastSquares(a, b, passive);
    ASSERT_TRUE(s.converged);
    const Eigen::VectorXd gradient = a.transpose() * (b - a * s.x);
    for (Eigen::Index j = 0; j < 8; ++j) {
      EXPECT_GE(s.x(j), 0.0);
      if (s.x(j) > 0.0) {
        EXPECT_NEAR(gradient(j), 0.0, 1e-9);
      } else {
        EXPECT_LE(gradient(j), 1e-9);
      }
    }
  }
}

}  // namespace

namespace {

// A buried layer 0.6-1.2 ug/cm2 with smoothed edges, below the contamination.
DepthProfile buriedTruth(const SampleModel& model) {
  DepthProfile truth = DepthProfile::forMaximumDepth(model.maxDepth, model.step);
  drawProfileLine(truth, 0.6, 1.0, 1.2, 1.0);
  smoothProfile(truth, 9);
  setContaminationDepth(truth, kContamination);
  return truth;
}

// The start-up set's stopping power is 548.56 eV per ug/cm2. With the line shape the nodes are
// a quarter of sqrt(100^2 + 100^2) eV / S = 0.0645 ug/cm2 apart, rounded down to 12 grid steps of
// 0.005; without it, the 20 eV between measured energies over S, 0.0365, rounded down to 7.
class FreeFormNodes : public testing::TestWithParam<bool> {};

TEST_P(FreeFormNodes, AreWholeGridStepsApartFromBelowTheContaminationToWhereTheDataSee) {
  SampleModel model = invertingModel();
  model.maxDepth = 5.0;  // deeper than the data see
  model.convolve = GetParam();
  const MeasuredData problem = measure(buriedTruth(model), model, 3000.0, 31);
  std::mt19937_64 generator(1);
  const InversionResult result = invertProblem(problemFor(model, problem), {1.0, 0}, generator);

  const int steps = model.convolve ? 12 : 7;
  EXPECT_NEAR(result.nodeSpacing, steps * model.step, 1e-12);
  ASSERT_GE(result.nodes.size(), 3u);
  EXPECT_NEAR(result.nodes.front(), std::ceil(kContamination / model.step) * model.step, 1e-12);
  for (std::size_t k = 1; k < result.nodes.size(); ++k) {
    EXPECT_NEAR(result.nodes[k] - result.nodes[k - 1], result.nodeSpacing, 1e-12) << k;
  }
  // The last node's hat has fallen to 0 by the deepest probed depth.
  ASSERT_LT(result.deepestProbed, model.maxDepth);
  EXPECT_LE(result.nodes.back() + result.nodeSpacing, result.deepestProbed + 1e-12);
  EXPECT_GT(result.nodes.back() + result.deepResolution, result.deepestProbed);
}

INSTANTIATE_TEST_SUITE_P(LineShape, FreeFormNodes, testing::Bool(),
                         [](const auto& info) { return info.param ? "convolved" : "bare"; });

// Smoothing weighed far above the data leaves only what the penalty does not see: node values
// on a straight line, which goes through the 0 that follows the last node.
TEST(FreeFormInversion, OverwhelmingSmoothingLeavesAStraightLineToZeroAfterTheLastNode) {
  SampleModel model = invertingModel();
  const MeasuredData problem = measure(buriedTruth(model), model, 3000.0, 41);
  std::mt19937_64 generator(1);
  const InversionResult result = invertProblem(problemFor(model, problem), {1e7, 0}, generator);
  std::vector<double> c;
  for (const double depth : result.nodes) {
    c.push_back(result.profile.values[static_cast<std::size_t>(std::lround(depth / model.step))]);
  }
  c.push_back(0.0);
  const double largest = *std::max_element(c.begin(), c.end());
  ASSERT_GT(largest, 0.0);
  for (std::size_t k = 1; k + 1 < c.size(); ++k) {
    EXPECT_NEAR(c[k - 1] - 2 * c[k] + c[k + 1], 0.0, 1e-3 * largest) << "at node " << k;
  }
  EXPECT_GT(c.front(), c[c.size() - 2]);  // a line that falls to the 0
  // What smoothing leaves free is that line's height and the background: two effective
  // parameters, and a little more that the penalty has not yet pressed flat.
  const double points = static_cast<double>(problem.points.size());
  EXPECT_LE(result.dof, points - 2.0 + 1e-9);
  EXPECT_GT(result.dof, points - 2.25);
}

// Cross-validation against the truth: over a scan of alpha, the weighted distance of the fitted
// curve from the true (noiseless) one is smallest near where cross-validation's score is, and the
// chosen alpha sits at the scan's lowest score. With far less noise it smooths far less.
TEST(FreeFormCrossValidation, PicksTheScansMinimumNearTheBestSmoothingAndLessOfItForCleanData) {
  SampleModel model = invertingModel();
  const DepthProfile truth = buriedTruth(model);
  std::vector<double> chosen;
  for (const double peak : {300.0, 3e5}) {
    SampleModel measured = model;
    const MeasuredData problem = measure(truth, measured, peak, 51);
    std::mt19937_64 generator(1);
    const InversionResult result =
        invertProblem(problemFor(measured, problem), {std::nullopt, 0}, generator);
    chosen.push_back(result.alpha);

    const FreeFormProblem inversion(problemFor(measured, problem), nullptr);
    const std::vector<double> exact = inversion.exactCurve(truth, {5.0});
    double bestScore = INFINITY, bestScoreLog = 0.0, bestError = INFINITY, bestErrorLog = 0.0;
    for (double logA = -6.0; logA <= 3.0 + 1e-9; logA += 0.25) {
      const FreeFormSolution s =
          inversion.solve(inversion.yields(), std::pow(10.0, logA) * inversion.penaltyScale(),
                          nullptr);
      const double score = inversion.crossValidation(s);
      double error = 0.0;
      for (std::size_t j = 0; j < exact.size(); ++j) {
        error += (s.fitted[j] - exact[j]) * (s.fitted[j] - exact[j]) / exact[j];
      }
      if (score < bestScore) bestScore = score, bestScoreLog = logA;
      if (error < bestError) bestError = error, bestErrorLog = logA;
    }
    const FreeFormSolution atChosen = inversion.solve(
        inversion.yields(), result.alpha * inversion.penaltyScale(), nullptr);
    EXPECT_LE(inversion.crossValidation(atChosen), bestScore * (1 + 1e-6)) << peak;
    EXPECT_NEAR(std::log10(result.alpha), bestScoreLog, 0.3) << peak;
    EXPECT_NEAR(bestScoreLog, bestErrorLog, 1.0) << peak;
  }
  EXPECT_GT(chosen[0], 30 * chosen[1]);
}

// The bootstrap's spread of the amount is the spread the amount has over measurements with
// independent noise.
TEST(FreeFormBootstrap, SpreadOfTheAmountIsThatOverIndependentMeasurements) {
  SampleModel model = invertingModel();
  const DepthProfile truth = buriedTruth(model);
  constexpr int kMeasurements = 16;
  std::vector<double> amounts;
  double replicaErrors = 0.0;
  for (int seed = 0; seed < kMeasurements; ++seed) {
    SampleModel measured = model;
    const MeasuredData problem = measure(truth, measured, 1000.0, 300 + seed);
    std::mt19937_64 generator(seed);
    const InversionResult result =
        invertProblem(problemFor(measured, problem), {1e-2, 30}, generator);
    ASSERT_TRUE(result.amount.error);
    amounts.push_back(result.amount.value);
    replicaErrors += *result.amount.error / kMeasurements;
  }
  double mean = 0.0;
  for (double a : amounts) mean += a / kMeasurements;
  double squares = 0.0;
  for (double a : amounts) squares += (a - mean) * (a - mean);
  const double spread = std::sqrt(squares / (kMeasurements - 1));
  EXPECT_GT(replicaErrors, spread / 1.7);
  EXPECT_LT(replicaErrors, spread * 1.7);
}

// With as few replicas as the band keeps, the errors are the replicas' sample standard
// deviation (over n - 1) of what each measures.
TEST(FreeFormBootstrap, ErrorsAreTheReplicasSampleStandardDeviation) {
  SampleModel model = invertingModel();
  const DepthProfile truth = buriedTruth(model);
  const MeasuredData problem = measure(truth, model, 1000.0, 77);
  std::mt19937_64 generator(5);
  const InversionResult result = invertProblem(problemFor(model, problem), {1e-2, 3}, generator);
  ASSERT_EQ(result.bandMembers.size(), 3u);
  ASSERT_TRUE(result.amount.error);
  std::vector<double> amounts;
  for (const DepthProfile& member : result.bandMembers) {
    amounts.push_back(profileMeasures(member, firstUncontaminatedPoint(model)).amount);
  }
  const double mean = (amounts[0] + amounts[1] + amounts[2]) / 3;
  double squares = 0.0;
  for (double a : amounts) squares += (a - mean) * (a - mean);
  EXPECT_NEAR(*result.amount.error, std::sqrt(squares / 2), 1e-9 * *result.amount.error);
}

// With the "errors" statistic the replicas are drawn with the data file's errors: the same
// yields given four times the errors fit the same profile and spread four times as far. (The
// material reaches as deep as the data see and the background is fixed, so that no bound is
// near and the spread grows as the errors.)
TEST(FreeFormBootstrap, ReplicasOfTheErrorsStatisticFollowTheFilesErrors) {
  SampleModel model = invertingModel();
  model.statistic = FitStatistic::Errors;
  model.background.free = false;
  DepthProfile truth = DepthProfile::forMaximumDepth(model.maxDepth, model.step);
  drawProfileLine(truth, kContamination, 1.0, model.maxDepth, 1.0);
  setContaminationDepth(truth, kContamination);
  const MeasuredData problem = measure(truth, model, 3000.0, 61);
  std::vector<InversionResult> results;
  for (const float sigma : {3.0f, 12.0f}) {
    MeasuredData withErrors = problem;
    for (ExperimentalPoint& p : withErrors.points) p.error = sigma;
    std::mt19937_64 generator(3);
    results.push_back(invertProblem(problemFor(model, withErrors), {1e-2, 30}, generator));
  }
  EXPECT_NEAR(results[1].amount.value, results[0].amount.value, 1e-6 * results[0].amount.value);
  ASSERT_TRUE(results[0].amount.error && results[1].amount.error);
  EXPECT_NEAR(*results[1].amount.error / *results[0].amount.error, 4.0, 1.0);
}

}  // namespace
