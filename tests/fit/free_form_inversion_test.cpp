#include "fit/free_form_inversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "fit/forward_model.h"
#include "fit/nonnegative_least_squares.h"
#include "model/profile_editing.h"
#include "model/profile_smoothing.h"
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
FitProblem measure(const DepthProfile& truth, SampleModel& model, double peakCounts,
                   std::uint64_t seed) {
  std::vector<double> energies;
  for (int k = -20; k <= 70; ++k) energies.push_back(kBeamKev + 0.02 * k);
  ForwardModelSettings settings;
  settings.beamEnergyKev = kBeamKev;
  settings.collisionRate = rate();
  const std::vector<double> curve = ForwardModel(smallSet(), settings, energies).values(truth);
  model.multiplier.value = peakCounts / *std::max_element(curve.begin(), curve.end());
  std::mt19937_64 generator(seed);
  FitProblem problem{&smallSet(), kBeamKev, rate(), {}};
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

  const FitProblem problem = measure(truth, model, 3000.0, 17);
  std::mt19937_64 generator(5);
  const InversionResult result = invertProfile(model, problem, {std::nullopt, 30}, generator);

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
  FitProblem problem = measure(trace, model, 1e-6, 3);
  std::vector<InversionResult> runs;
  for (int run = 0; run < 2; ++run) {
    std::mt19937_64 generator(11);
    runs.push_back(invertProfile(model, problem, {1.0, 8}, generator));
  }
  EXPECT_NEAR(runs[0].background, 5.0, 1.0);
  EXPECT_LT(runs[0].amount.value, 0.02);
  for (double c : runs[0].profile.values) EXPECT_GE(c, 0.0);
  EXPECT_EQ(runs[0].band.high, runs[1].band.high);
  EXPECT_EQ(runs[0].amount.error, runs[1].amount.error);
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
